#pragma once

#include <QtGlobal>

namespace telvika::protocol {

// Version of the message set; client and server exchange it in the "Hello" request first.
inline constexpr int ProtocolVersion = 1;

// Frames are a 4-byte big-endian payload length followed by one CBOR value.
inline constexpr int FrameHeaderSize = 4;
// The longest payload a 4-byte header can announce.
inline constexpr quint64 MaxFramePayload = 0xFFFFFFFFULL;
// Requests are small; the server drops a client that announces more than this.
inline constexpr qint64 MaxRequestFrame = 16 * 1024 * 1024;
// Replies carry whole tracks (40 MB for a million points); anything beyond this is a corrupt stream.
inline constexpr qint64 MaxReplyFrame = 1024LL * 1024 * 1024;

// Notifications, by their dispatch numbers.
enum Event : int {
    EventChangeCarsList = 201,
    EventReceiveOnlineData = 202,
    EventCloseServer = 203,
    EventChangeParameters = 204,
    EventEndComputing = 205,
};

inline bool isKnownEvent(qint64 number) { return number >= EventChangeCarsList && number <= EventEndComputing; }

}  // namespace telvika::protocol
