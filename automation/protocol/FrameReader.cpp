#include "protocol/FrameReader.h"

#include "protocol/ProtocolConstants.h"

#include <QtEndian>

namespace telvika::protocol {

FrameReader::FrameReader(qint64 maxFrame) : maxFrame_(maxFrame) {}

void FrameReader::append(const QByteArray& bytes) {
    if (!failure_.isEmpty()) return;
    // Drop what was consumed before growing, so a long-lived connection does not keep old frames.
    if (offset_ > 0 && offset_ == buffer_.size()) {
        buffer_.clear();
        offset_ = 0;
    } else if (offset_ > (1 << 20) && offset_ * 2 > buffer_.size()) {
        buffer_.remove(0, offset_);
        offset_ = 0;
    }
    buffer_.append(bytes);
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
    if (offset_ == buffer_.size() && offset_ > 0) {
        buffer_.clear();
        offset_ = 0;
    }
    if (buffered() < FrameHeaderSize) return Status::NeedMore;
    const quint32 length = qFromBigEndian<quint32>(buffer_.constData() + offset_);
    if (length == 0 || static_cast<qint64>(length) > maxFrame_) {
        failure_ = QStringLiteral("Недопустимая длина сообщения: %1 байт (допустимо от 1 до %2)")
                       .arg(length)
                       .arg(maxFrame_);
        buffer_.clear();
        offset_ = 0;
        if (error) *error = failure_;
        return Status::Failed;
    }
    const qint64 total = FrameHeaderSize + static_cast<qint64>(length);
    if (buffered() < total) {
        // The buffer grows only with the bytes that really arrive (geometrically, so a large frame in
        // many pieces is not copied again and again): a header alone never reserves its length.
        if (offset_ > 0) {
            buffer_.remove(0, offset_);
            offset_ = 0;
        }
        return Status::NeedMore;
    }
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
