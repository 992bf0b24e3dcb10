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
    if (!failure_.isEmpty()) {
        if (error) *error = failure_;
        return Status::Failed;
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
    if (buffered() < FrameHeaderSize + static_cast<qint64>(length)) return Status::NeedMore;
    *frame = buffer_.mid(offset_ + FrameHeaderSize, length);
    offset_ += FrameHeaderSize + length;
    if (offset_ == buffer_.size()) {
        buffer_.clear();
        offset_ = 0;
    }
    return Status::Frame;
}

QByteArray FrameReader::encode(const QByteArray& payload) {
    QByteArray out;
    out.resize(FrameHeaderSize);
    qToBigEndian<quint32>(static_cast<quint32>(payload.size()), out.data());
    out.append(payload);
    return out;
}

}  // namespace telvika::protocol
