#include "ServerConnection.h"

#include "ProcessProbe.h"
#include "ServerClosedError.h"
#include "SocketLocation.h"
#include "common/Error.h"
#include "protocol/Message.h"
#include "protocol/ProtocolConstants.h"

#include <QCborMap>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>

namespace telvika::automation {

using protocol::FrameReader;
using protocol::Message;

ServerConnection::ServerConnection(QObject* parent)
    : QObject(parent), reader_(protocol::MaxReplyFrame) {}

ServerConnection::~ServerConnection() { close(); }

bool ServerConnection::isOpen() const {
    return socket_ && socket_->state() == QLocalSocket::ConnectedState;
}

void ServerConnection::close() {
    if (!socket_) return;
    QLocalSocket* s = socket_;
    socket_ = nullptr;
    s->disconnect(this);
    s->abort();
    s->deleteLater();
    reader_ = FrameReader(protocol::MaxReplyFrame);
}

bool ServerConnection::tryConnect(int waitMs, QString* error) {
    close();
    auto* s = new QLocalSocket(this);
    s->connectToServer(socketPath_);
    if (!s->waitForConnected(waitMs)) {
        switch (s->error()) {
            case QLocalSocket::ServerNotFoundError: *error = QStringLiteral("сервер не найден"); break;
            case QLocalSocket::ConnectionRefusedError: *error = QStringLiteral("соединение отклонено"); break;
            case QLocalSocket::SocketTimeoutError: *error = QStringLiteral("сервер не ответил вовремя"); break;
            case QLocalSocket::SocketAccessError: *error = QStringLiteral("нет доступа к сокету"); break;
            default: *error = s->errorString(); break;
        }
        s->deleteLater();
        return false;
    }
    checkPeer(s);
    socket_ = s;
    closeAnnounced_ = false;
    connect(s, &QLocalSocket::readyRead, this, &ServerConnection::onReadyRead);
    return true;
}

void ServerConnection::checkPeer(QLocalSocket* socket) {
    const std::optional<qint64> peer = peerUserLookup_ ? peerUserLookup_(socket->socketDescriptor()) : std::nullopt;
    if (!peer || *peer == currentUserId()) return;
    socket->abort();
    socket->deleteLater();
    throw Error(QStringLiteral("Сокет «%1» открыт процессом другого пользователя (uid %2): это не ваш сервер "
                               "Telvika, соединение с ним отклонено")
                    .arg(serverName_)
                    .arg(*peer));
}

void ServerConnection::open(const QString& serverName, const ServerStart& start) {
    serverName_ = serverName;
    QString error;
    if (!resolveSocketName(serverName, &socketPath_, &error))
        throw Error(QStringLiteral("Не удалось подключиться к серверу Telvika (сокет «%1»): %2").arg(serverName, error));
    if (tryConnect(1000, &error)) {
        handshake();
        return;
    }
    const QString head = QStringLiteral("Не удалось подключиться к серверу Telvika (сокет «%1»): %2.")
                             .arg(serverName, error);
    if (!start.enabled) throw Error(head + QStringLiteral(" Автоматический запуск сервера выключен."));
    if (start.program.isEmpty() || !QFileInfo(start.program).isExecutable())
        throw Error(head + QStringLiteral(" Программа сервера «%1» не найдена.").arg(start.program));

    // The server writes why it could not start into this file; it is read if the server exits.
    QTemporaryDir errorDir;
    const QString errorFile = errorDir.filePath(QStringLiteral("start-error.txt"));
    QStringList args{QStringLiteral("--socket"), serverName};
    if (errorDir.isValid()) args << QStringLiteral("--error-file") << errorFile;
    args += start.arguments;
    // The server outlives its starter: it must not hold the starter's terminal or pipes (a report
    // run in a pipeline or by cron would otherwise not end until the server does).
    QProcess server;
    server.setProgram(start.program);
    server.setArguments(args);
    server.setWorkingDirectory(QFileInfo(start.program).absolutePath());
    server.setStandardInputFile(QProcess::nullDevice());
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!server.startDetached(&pid))
        throw Error(head + QStringLiteral(" Не удалось запустить программу сервера «%1».").arg(start.program));

    const QDeadlineTimer deadline(start.waitMs);
    while (!deadline.hasExpired()) {
        if (tryConnect(200, &error)) {
            handshake();
            return;
        }
        if (!processIsRunning(pid)) {
            // Another client may have started a server at the same moment; this one then gave way.
            if (tryConnect(500, &error)) {
                handshake();
                return;
            }
            QFile reasonFile(errorFile);
            const QString reason = reasonFile.open(QIODevice::ReadOnly) ? QString::fromUtf8(reasonFile.readAll()).trimmed()
                                                                        : QString();
            throw Error(head + QStringLiteral(" Запущенная программа сервера «%1» завершилась, не начав работу%2")
                                   .arg(start.program,
                                        reason.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + reason));
        }
        QThread::msleep(100);
    }
    throw Error(head + QStringLiteral(" Запущенный сервер «%1» не ответил за %2 с.")
                           .arg(start.program)
                           .arg(start.waitMs / 1000.0));
}

void ServerConnection::handshake() {
    const QCborValue reply = call(QStringLiteral("Hello"), QCborArray{protocol::ProtocolVersion});
    const qint64 version = reply.toMap().value(QStringLiteral("version")).toInteger(-1);
    if (version != protocol::ProtocolVersion) {
        close();
        throw Error(QStringLiteral("Сервер Telvika говорит на другой версии протокола (%1, нужна %2)")
                        .arg(version)
                        .arg(protocol::ProtocolVersion));
    }
}

void ServerConnection::failCall(const QString& message) {
    close();
    throw Error(message);
}

QCborValue ServerConnection::call(const QString& op, const QCborArray& args, QByteArray* bytes, QByteArray* utf8) {
    if (!isOpen())
        throw Error(QStringLiteral("Нет соединения с сервером Telvika для вызова «%1»").arg(op));
    const QByteArray frame = protocol::encodeMessageFrame(Message::request(nextId_, op, args));
    if (frame.isEmpty() || frame.size() - protocol::FrameHeaderSize > protocol::MaxRequestFrame)
        throw Error(QStringLiteral("Запрос «%1» слишком велик для сервера Telvika: %2 байт (допустимо до %3)")
                        .arg(op)
                        .arg(frame.size() - protocol::FrameHeaderSize)
                        .arg(protocol::MaxRequestFrame));
    const qint64 id = nextId_++;
    socket_->write(frame);

    // Restores the flag it found: a call made while another waits (from the arrival hook) must not
    // leave the outer one unguarded.
    struct CallGuard {
        bool& flag;
        const bool saved;
        explicit CallGuard(bool& f) : flag(f), saved(f) { flag = true; }
        ~CallGuard() { flag = saved; }
    } guard(inCall_);

    const QDeadlineTimer deadline(timeoutMs_);
    bool gotReply = false;
    Message reply;
    QString streamError;
    for (;;) {
        drain(id, &gotReply, &reply, &streamError);
        if (!streamError.isEmpty()) failCall(streamError);
        if (gotReply) {
            if (reply.failed()) throw Error(reply.error);
            if (reply.resultIsText) {
                if (!utf8) return QCborValue(QString::fromUtf8(reply.resultUtf8));
                *utf8 = std::move(reply.resultUtf8);
                return QCborValue(QCborValue::String);
            }
            if (!reply.resultIsBytes) return reply.result;
            if (bytes) {
                *bytes = reply.resultBytes;
                return QCborValue(QCborValue::ByteArray);
            }
            return QCborValue(reply.resultBytes);
        }
        if (!socket_ || socket_->state() != QLocalSocket::ConnectedState) {
            if (closeAnnounced_) {
                close();
                throw ServerClosedError(QStringLiteral("Сервер Telvika закрыт во время вызова «%1»").arg(op));
            }
            failCall(QStringLiteral("Соединение с сервером Telvika прервано во время вызова «%1»").arg(op));
        }
        if (deadline.hasExpired())
            failCall(QStringLiteral("Сервер Telvika не ответил на вызов «%1» за %2 мс").arg(op).arg(timeoutMs_));
        if (socket_->bytesToWrite() > 0) socket_->waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
        else socket_->waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
}

void ServerConnection::drain(qint64 awaitedId, bool* gotReply, Message* reply, QString* error) {
    if (!socket_) return;
    if (socket_->bytesAvailable() > 0) reader_.append(socket_->readAll());
    const char* frame = nullptr;
    qsizetype frameSize = 0;
    QString frameError;
    for (;;) {
        const FrameReader::Status status = reader_.nextView(&frame, &frameSize, &frameError);
        if (status == FrameReader::Status::NeedMore) return;
        if (status == FrameReader::Status::Failed) {
            *error = QStringLiteral("Сервер Telvika прислал повреждённые данные: %1").arg(frameError);
            return;
        }
        Message m;
        if (!protocol::decodeMessage(frame, frameSize, &m, &frameError)) {
            *error = QStringLiteral("Сервер Telvika прислал повреждённое сообщение: %1").arg(frameError);
            return;
        }
        if (m.kind == Message::Kind::Notification) {
            queueNotification(m.event);
        } else if (m.kind == Message::Kind::Reply && awaitedId != 0 && m.id == awaitedId) {
            // Frames behind the reply (notifications) are taken now: no readyRead will come for
            // bytes that were already read from the socket.
            *gotReply = true;
            *reply = std::move(m);
        }
        // Replies to calls abandoned earlier and requests from the server are ignored.
    }
}

void ServerConnection::onReadyRead() {
    if (inCall_) return;  // the waiting call reads the socket itself
    bool gotReply = false;
    Message reply;
    QString error;
    drain(0, &gotReply, &reply, &error);
    if (!error.isEmpty()) close();
}

void ServerConnection::queueNotification(int event) {
    ++arrivals_;
    if (event == protocol::EventCloseServer) closeAnnounced_ = true;
    if (arrivalHook_) arrivalHook_(event);
    queued_.append(event);
    if (!deliveryScheduled_) {
        deliveryScheduled_ = true;
        QMetaObject::invokeMethod(this, &ServerConnection::deliverQueued, Qt::QueuedConnection);
    }
}

void ServerConnection::deliverQueued() {
    deliveryScheduled_ = false;
    const QVector<int> events = std::exchange(queued_, {});
    for (int event : events) emit notified(event);
}

}  // namespace telvika::automation
