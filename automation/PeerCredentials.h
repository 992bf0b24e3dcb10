#pragma once

// The few platform calls behind the local socket's trust: who the current user is and which user
// runs the process on the other end of a connected local socket.

#include <QtGlobal>

#include <functional>
#include <optional>

namespace telvika::automation {

// The user id of this process (0 where the platform has none).
qint64 currentUserId();

// The user id of the process at the other end of a connected local socket, by its descriptor.
// Linux asks the kernel (SO_PEERCRED), the BSDs and macOS use getpeereid(); elsewhere, or when the
// call fails, there is no answer and the caller relies on the socket folder's protection alone.
std::optional<qint64> peerUserId(qintptr socketDescriptor);

// How a connection end finds its peer's user id; tests put in their own to play a foreign user.
using PeerUserLookup = std::function<std::optional<qint64>(qintptr socketDescriptor)>;

}  // namespace telvika::automation
