#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace telvika::protocol {

// Splits a byte stream into length-prefixed frames. Bytes arrive in any pieces; a frame is handed
// out once it is complete. A length above the limit (or zero) is a broken stream: the reader then
// stays failed, since the frame boundaries after it cannot be trusted.
class FrameReader {
public:
    enum class Status { NeedMore, Frame, Failed };

    explicit FrameReader(qint64 maxFrame);

    void append(const QByteArray& bytes);
    // The next complete frame's payload into *frame; Failed sets *error.
    Status next(QByteArray* frame, QString* error);
    // The same without copying: *data points into the reader and stays valid until the next call
    // of append(), next() or nextView().
    Status nextView(const char** data, qsizetype* size, QString* error);
    qint64 buffered() const { return buffer_.size() - offset_ + pendingBytes_; }
    // Bytes the reader holds memory for (what has arrived, with room to grow).
    qint64 capacity() const { return buffer_.capacity() + pendingCapacity_; }

    // A frame holding `payload`; empty when the payload is longer than a header can announce.
    static QByteArray encode(const QByteArray& payload);

private:
    // Makes everything that has arrived one buffer.
    void join();
    void dropPending();  // forgets the pieces not joined yet

    qint64 maxFrame_;
    QByteArray buffer_;
    qint64 offset_ = 0;
    // Pieces that arrived behind buffer_, kept as they came (shared, not copied) until a frame is
    // whole: a frame of tens of megabytes is then copied once, into a buffer of its size, instead
    // of into one that grows again and again as its pieces arrive.
    QList<QByteArray> pending_;
    qint64 pendingBytes_ = 0;
    qint64 pendingCapacity_ = 0;
    QString failure_;
};

}  // namespace telvika::protocol
