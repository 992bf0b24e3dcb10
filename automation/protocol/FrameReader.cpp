#include "protocol/FrameReader.h"

#include "protocol/ProtocolConstants.h"

#include <QtEndian>

namespace telvika::protocol {

FrameReader::FrameReader(qint64 maxFrame) : maxFrame_(maxFrame) {}

void FrameReader::append(const QByteArray& bytes) {
    if (!failure_.isEmpty() || bytes.isEmpty()) return;
    if (offset_ == buffer_.size() && pending_.isEmpty()) {
        buffer_ = bytes;  // nothing is waiting: the piece becomes the buffer as it is
        offset_ = 0;
        return;
    }
    pending_.append(bytes);
    pendingBytes_ += bytes.size();
    pendingCapacity_ += bytes.capacity();
}

void FrameReader::join() {
    if (pending_.isEmpty()) return;
    const qint64 rest = buffer_.size() - offset_;
    if (rest == 0 && pending_.size() == 1) {
        buffer_ = pending_.takeFirst();
    } else {
        QByteArray joined;
        joined.reserve(rest + pendingBytes_);  // what has arrived, nothing announced
        joined.append(buffer_.constData() + offset_, rest);
        for (const QByteArray& piece : std::as_const(pending_)) joined.append(piece);
        buffer_ = std::move(joined);
    }
    offset_ = 0;
    dropPending();
}

void FrameReader::dropPending() {
    pending_.clear();
    pendingBytes_ = 0;
    pendingCapacity_ = 0;
}

FrameReader::Status FrameReader::next(QByteArray* frame, QString* error) {
    const char* data = nullptr;
    qsizetype size = 0;
    const Status status = nextView(&data, &size, error);
    if (status == Status::Frame) *frame = QByteArray(data, size);
    return status;
}

FrameReader::Status FrameReader::nextView(const char** data, qsizetype* size, QString* error) {
    if (!failure_.isEmpty()) {
        if (error) *error = failure_;
        return Status::Failed;
    }
    if (offset_ == buffer_.size() && offset_ > 0 && pending_.isEmpty()) {
        buffer_.clear();
        offset_ = 0;
    }
    if (buffered() < FrameHeaderSize) return Status::NeedMore;
    if (buffer_.size() - offset_ < FrameHeaderSize) join();
    const quint32 length = qFromBigEndian<quint32>(buffer_.constData() + offset_);
    if (length == 0 || static_cast<qint64>(length) > maxFrame_) {
        failure_ = QStringLiteral("Недопустимая длина сообщения: %1 байт (допустимо от 1 до %2)")
                       .arg(length)
                       .arg(maxFrame_);
        buffer_.clear();
        offset_ = 0;
        dropPending();
        if (error) *error = failure_;
        return Status::Failed;
    }
    const qint64 total = FrameHeaderSize + static_cast<qint64>(length);
    // Nothing is copied until the frame is whole; then it is joined once.
    if (buffered() < total) return Status::NeedMore;
    if (buffer_.size() - offset_ < total) join();
    *data = buffer_.constData() + offset_ + FrameHeaderSize;
    *size = length;
    offset_ += total;
    return Status::Frame;
}

QByteArray FrameReader::encode(const QByteArray& payload) {
    if (static_cast<quint64>(payload.size()) > MaxFramePayload) return QByteArray();
    QByteArray out;
    out.resize(FrameHeaderSize);
    qToBigEndian<quint32>(static_cast<quint32>(payload.size()), out.data());
    out.append(payload);
    return out;
}

}  // namespace telvika::protocol
