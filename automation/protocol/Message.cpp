#include "protocol/Message.h"

#include "protocol/ProtocolConstants.h"

#include <QCborMap>
#include <QCborParserError>

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
    QCborMap map;
    switch (message.kind) {
        case Message::Kind::Request:
            map.insert(kId, message.id);
            map.insert(kOp, message.op);
            map.insert(kArgs, message.args);
            break;
        case Message::Kind::Reply:
            map.insert(kId, message.id);
            if (message.error.isEmpty())
                map.insert(kResult, message.result);
            else
                map.insert(kError, message.error);
            break;
        case Message::Kind::Notification:
            map.insert(kEvent, message.event);
            break;
    }
    return map.toCborValue().toCbor();
}

bool decodeMessage(const QByteArray& payload, Message* message, QString* error) {
    QCborParserError parseError;
    const QCborValue value = QCborValue::fromCbor(payload, &parseError);
    if (parseError.error != QCborError::NoError)
        return fail(error, QStringLiteral("Сообщение не является корректным CBOR: %1").arg(parseError.errorString()));
    if (parseError.offset != payload.size())
        return fail(error, QStringLiteral("После сообщения остались лишние байты"));
    if (!value.isMap()) return fail(error, QStringLiteral("Сообщение должно быть CBOR-словарём"));
    const QCborMap map = value.toMap();
    Message m;
    if (map.contains(kEvent)) {
        const QCborValue ev = map.value(kEvent);
        if (!ev.isInteger() || !isKnownEvent(ev.toInteger()))
            return fail(error, QStringLiteral("Неизвестный номер уведомления"));
        m.kind = Message::Kind::Notification;
        m.event = static_cast<int>(ev.toInteger());
        *message = m;
        return true;
    }
    const QCborValue id = map.value(kId);
    if (!id.isInteger() || id.toInteger() <= 0)
        return fail(error, QStringLiteral("В сообщении нет номера запроса (поле \"id\")"));
    m.id = id.toInteger();
    if (map.contains(kOp)) {
        const QCborValue op = map.value(kOp);
        if (!op.isString() || op.toString().isEmpty())
            return fail(error, QStringLiteral("Имя операции (поле \"op\") должно быть непустой строкой"));
        const QCborValue args = map.value(kArgs);
        if (!args.isUndefined() && !args.isArray())
            return fail(error, QStringLiteral("Аргументы (поле \"args\") должны быть массивом"));
        m.kind = Message::Kind::Request;
        m.op = op.toString();
        m.args = args.toArray();
        *message = m;
        return true;
    }
    m.kind = Message::Kind::Reply;
    const bool hasResult = map.contains(kResult);
    const bool hasError = map.contains(kError);
    if (hasResult == hasError)
        return fail(error, QStringLiteral("Ответ должен содержать ровно одно из полей \"result\" и \"error\""));
    if (hasError) {
        const QCborValue text = map.value(kError);
        if (!text.isString() || text.toString().isEmpty())
            return fail(error, QStringLiteral("Текст ошибки (поле \"error\") должен быть непустой строкой"));
        m.error = text.toString();
    } else {
        m.result = map.value(kResult);
    }
    *message = m;
    return true;
}

}  // namespace telvika::protocol
