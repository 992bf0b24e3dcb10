#include "protocol/Message.h"

#include "protocol/ProtocolConstants.h"

#include <QBuffer>
#include <QCborMap>
#include <QCborStreamReader>
#include <QCborStreamWriter>
#include <QHash>
#include <QtEndian>

#include <limits>

namespace telvika::protocol {

namespace {
const QString kId = QStringLiteral("id");
const QString kOp = QStringLiteral("op");
const QString kArgs = QStringLiteral("args");
const QString kResult = QStringLiteral("result");
const QString kError = QStringLiteral("error");
const QString kEvent = QStringLiteral("event");

bool fail(QString* error, const QString& text) {
    if (error) *error = text;
    return false;
}

void writeMessage(QCborStreamWriter& w, const Message& message) {
    switch (message.kind) {
        case Message::Kind::Request:
            w.startMap(3);
            w.append(kId);
            w.append(message.id);
            w.append(kOp);
            w.append(message.op);
            w.append(kArgs);
            message.args.toCborValue().toCbor(w);
            w.endMap();
            break;
        case Message::Kind::Reply:
            w.startMap(2);
            w.append(kId);
            w.append(message.id);
            if (!message.error.isEmpty()) {
                w.append(kError);
                w.append(message.error);
            } else if (message.resultIsBytes) {
                w.append(kResult);
                w.appendByteString(message.resultBytes.constData(), message.resultBytes.size());
            } else {
                w.append(kResult);
                message.result.toCbor(w);
            }
            w.endMap();
            break;
        case Message::Kind::Notification:
            w.startMap(1);
            w.append(kEvent);
            w.append(message.event);
            w.endMap();
            break;
    }
}

bool readText(QCborStreamReader& r, QString* out) {
    out->clear();
    auto chunk = r.readString();
    while (chunk.status == QCborStreamReader::Ok) {
        *out += chunk.data;
        chunk = r.readString();
    }
    return chunk.status == QCborStreamReader::EndOfString;
}

// A text string of known length as its bytes, read into a buffer of that length once.
bool readUtf8(QCborStreamReader& r, QByteArray* out) {
    const quint64 length = r.length();
    if (length > quint64(std::numeric_limits<qsizetype>::max() / 2)) return false;
    out->resize(static_cast<qsizetype>(length));
    qsizetype at = 0;
    for (;;) {
        const auto chunk = r.readStringChunk(out->data() + at, out->size() - at);
        if (chunk.status == QCborStreamReader::EndOfString) return at == out->size();
        if (chunk.status != QCborStreamReader::Ok) return false;
        at += chunk.data;
    }
}

bool readBytes(QCborStreamReader& r, QByteArray* out) {
    out->clear();
    auto chunk = r.readByteArray();
    while (chunk.status == QCborStreamReader::Ok) {
        if (out->isEmpty()) *out = chunk.data;  // a definite-length string is one chunk: no second copy
        else out->append(chunk.data);
        chunk = r.readByteArray();
    }
    return chunk.status == QCborStreamReader::EndOfString;
}

}  // namespace

Message Message::request(qint64 id, const QString& op, const QCborArray& args) {
    Message m;
    m.kind = Kind::Request;
    m.id = id;
    m.op = op;
    m.args = args;
    return m;
}

Message Message::reply(qint64 id, const QCborValue& result) {
    Message m;
    m.kind = Kind::Reply;
    m.id = id;
    m.result = result;
    return m;
}

Message Message::bytesReply(qint64 id, const QByteArray& bytes) {
    Message m;
    m.kind = Kind::Reply;
    m.id = id;
    m.resultBytes = bytes;
    m.resultIsBytes = true;
    return m;
}

Message Message::errorReply(qint64 id, const QString& error) {
    Message m;
    m.kind = Kind::Reply;
    m.id = id;
    m.error = error.isEmpty() ? QStringLiteral("Неизвестная ошибка сервера") : error;
    return m;
}

Message Message::notification(int event) {
    Message m;
    m.kind = Kind::Notification;
    m.event = event;
    return m;
}

QByteArray encodeMessage(const Message& message) {
    QByteArray out;
    QCborStreamWriter w(&out);
    writeMessage(w, message);
    return out;
}

QByteArray encodeMessageFrame(const Message& message) {
    QByteArray out;
    out.reserve(FrameHeaderSize + 64 + (message.resultIsBytes ? message.resultBytes.size() : 0));
    out.resize(FrameHeaderSize);
    {
        // Appended after the header (a writer on the array itself would start at its beginning).
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly | QIODevice::Append);
        QCborStreamWriter w(&buffer);
        writeMessage(w, message);
    }
    const qint64 payload = out.size() - FrameHeaderSize;
    if (static_cast<quint64>(payload) > MaxFramePayload) return QByteArray();
    qToBigEndian<quint32>(static_cast<quint32>(payload), out.data());
    return out;
}

QByteArray encodeReplyFrame(const Message& reply, qint64 maxPayload) {
    const QByteArray frame = encodeMessageFrame(reply);
    const qint64 payload = frame.size() - FrameHeaderSize;
    if (!frame.isEmpty() && payload <= maxPayload) return frame;
    const QString size = frame.isEmpty() ? QStringLiteral("более 4 ГиБ") : QStringLiteral("%1 байт").arg(payload);
    return encodeMessageFrame(Message::errorReply(
        reply.id, QStringLiteral("Ответ сервера Telvika слишком велик: %1, клиент принимает не более %2 байт")
                      .arg(size)
                      .arg(maxPayload)));
}

bool decodeMessage(const QByteArray& payload, Message* message, QString* error) {
    return decodeMessage(payload.constData(), payload.size(), message, error);
}

bool decodeMessage(const char* data, qsizetype size, Message* message, QString* error) {
    QCborStreamReader r(data, size);
    if (r.lastError() != QCborError::NoError || !r.isMap())
        return fail(error, QStringLiteral("Сообщение должно быть CBOR-словарём"));
    if (!r.enterContainer()) return fail(error, QStringLiteral("Сообщение не является корректным CBOR"));
    QHash<QString, QCborValue> fields;
    QByteArray bytes;
    bool resultIsBytes = false;
    QByteArray text;
    bool resultIsText = false;
    QString key;
    while (r.lastError() == QCborError::NoError && r.hasNext()) {
        if (!r.isString() || !readText(r, &key))
            return fail(error, QStringLiteral("Ключи сообщения должны быть строками"));
        if (key == kResult && r.isString() && r.isLengthKnown() && r.length() >= LongTextResult) {
            if (!readUtf8(r, &text)) break;
            resultIsText = true;
            fields.insert(key, QCborValue(QCborValue::String));  // present; the text is kept apart
            continue;
        }
        if (key == kResult && r.isByteArray()) {
            if (!readBytes(r, &bytes)) break;
            resultIsBytes = true;
            fields.insert(key, QCborValue(QCborValue::ByteArray));  // present; the bytes are kept apart
            continue;
        }
        const QCborValue value = QCborValue::fromCbor(r);
        if (r.lastError() != QCborError::NoError) break;
        fields.insert(key, value);
    }
    if (r.lastError() == QCborError::NoError) r.leaveContainer();
    if (r.lastError() != QCborError::NoError)
        return fail(error, QStringLiteral("Сообщение не является корректным CBOR: %1").arg(r.lastError().toString()));
    if (r.currentOffset() != size) return fail(error, QStringLiteral("После сообщения остались лишние байты"));

    Message m;
    if (fields.contains(kEvent)) {
        const QCborValue ev = fields.value(kEvent);
        if (!ev.isInteger() || !isKnownEvent(ev.toInteger()))
            return fail(error, QStringLiteral("Неизвестный номер уведомления"));
        m.kind = Message::Kind::Notification;
        m.event = static_cast<int>(ev.toInteger());
        *message = m;
        return true;
    }
    const QCborValue id = fields.value(kId);
    if (!id.isInteger() || id.toInteger() <= 0)
        return fail(error, QStringLiteral("В сообщении нет номера запроса (поле \"id\")"));
    m.id = id.toInteger();
    if (fields.contains(kOp)) {
        const QCborValue op = fields.value(kOp);
        if (!op.isString() || op.toString().isEmpty())
            return fail(error, QStringLiteral("Имя операции (поле \"op\") должно быть непустой строкой"));
        const QCborValue args = fields.value(kArgs);
        if (!args.isUndefined() && !args.isArray())
            return fail(error, QStringLiteral("Аргументы (поле \"args\") должны быть массивом"));
        m.kind = Message::Kind::Request;
        m.op = op.toString();
        m.args = args.toArray();
        *message = m;
        return true;
    }
    m.kind = Message::Kind::Reply;
    const bool hasResult = fields.contains(kResult);
    const bool hasError = fields.contains(kError);
    if (hasResult == hasError)
        return fail(error, QStringLiteral("Ответ должен содержать ровно одно из полей \"result\" и \"error\""));
    if (hasError) {
        const QCborValue text = fields.value(kError);
        if (!text.isString() || text.toString().isEmpty())
            return fail(error, QStringLiteral("Текст ошибки (поле \"error\") должен быть непустой строкой"));
        m.error = text.toString();
    } else if (resultIsBytes) {
        m.resultBytes = bytes;
        m.resultIsBytes = true;
    } else if (resultIsText) {
        m.resultUtf8 = std::move(text);
        m.resultIsText = true;
    } else {
        m.result = fields.value(kResult);
    }
    *message = std::move(m);
    return true;
}

}  // namespace telvika::protocol
