#pragma once

#include <QByteArray>
#include <QCborArray>
#include <QCborValue>
#include <QString>

namespace telvika::protocol {

// One message of the wire protocol, as a CBOR map:
//   request       {"id": n, "op": "Name", "args": [...]}
//   reply         {"id": n, "result": value}  or  {"id": n, "error": "text"}
//   notification  {"event": 201..205}
struct Message {
    enum class Kind { Request, Reply, Notification };

    Kind kind = Kind::Request;
    qint64 id = 0;
    QString op;
    QCborArray args;
    QCborValue result;
    // A byte-string result (numeric arrays) is kept apart from the CBOR tree: tens of megabytes then
    // go from the frame to the caller without being copied into and out of a QCborValue.
    QByteArray resultBytes;
    bool resultIsBytes = false;
    // A long text result (a track's coordinates) is kept as its UTF-8 bytes, copied once from the
    // frame, not through a QCborValue that holds a copy and converts it again when read.
    QByteArray resultUtf8;
    bool resultIsText = false;
    QString error;   // a failed request's reason; empty on success
    int event = 0;

    bool failed() const { return kind == Kind::Reply && !error.isEmpty(); }

    static Message request(qint64 id, const QString& op, const QCborArray& args = {});
    static Message reply(qint64 id, const QCborValue& result);
    static Message bytesReply(qint64 id, const QByteArray& bytes);
    static Message errorReply(qint64 id, const QString& error);
    static Message notification(int event);
};

// The CBOR payload of a message (without the frame header).
QByteArray encodeMessage(const Message& message);
// The whole frame (length header and payload) of a message, written in one buffer; empty when the
// payload is longer than a frame header can announce.
QByteArray encodeMessageFrame(const Message& message);
// The frame of a reply whose payload is at most `maxPayload` bytes (what the client accepts); a
// longer one is replaced by an error reply to the same request that says so.
QByteArray encodeReplyFrame(const Message& reply, qint64 maxPayload);
// Text results of at least this many bytes are kept apart in resultUtf8.
constexpr qsizetype LongTextResult = 64 * 1024;
// Reads a payload; false with *error for anything that is not a well-formed message.
bool decodeMessage(const QByteArray& payload, Message* message, QString* error);
bool decodeMessage(const char* data, qsizetype size, Message* message, QString* error);

}  // namespace telvika::protocol
