#include "net/TrackingServer.h"

#include "common/Error.h"
#include "compute/UtcTime.h"
#include "net/ClientSession.h"
#include "net/OutputBound.h"
#include "net/ServerCore.h"
#include "protocol/FrameReader.h"
#include "protocol/Message.h"
#include "protocol/ProtocolConstants.h"
#include "SocketLocation.h"
#include "store/Store.h"

#include <QCborMap>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTextStream>
#include <QTimer>

#include <cmath>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace telvika::server {

using protocol::FrameReader;
using protocol::Message;

struct TrackingServer::Client {
    explicit Client(ServerCore& core)
        : reader(protocol::MaxRequestFrame), session(core), output(TrackingServer::MaxUnsentOutput) {}
    FrameReader reader;
    ClientSession session;
    OutputBound output;
    bool greeted = false;
};

namespace {

void logLine(const QString& text) {
    QTextStream err(stderr);
    err << "telvika-server: " << text << Qt::endl;
}

QByteArray frameOf(const Message& m) { return protocol::encodeMessageFrame(m); }
// A reply never larger than the client accepts: a longer one becomes an error reply saying so.
QByteArray replyFrameOf(const Message& m) { return protocol::encodeReplyFrame(m, protocol::MaxReplyFrame); }

double number(const QCborMap& map, const char* key, double fallback) {
    const QCborValue v = map.value(QLatin1String(key));
    if (v.isUndefined()) return fallback;
    if (v.isInteger()) return static_cast<double>(v.toInteger());
    if (v.isDouble() && std::isfinite(v.toDouble())) return v.toDouble();
    throw Error(QStringLiteral("Поле «%1» точки должно быть числом").arg(QLatin1String(key)));
}

}  // namespace

TrackingServer::TrackingServer(ServerCore& core, QObject* parent) : QObject(parent), core_(core) {
    connect(&core_, &ServerCore::computationFinished, this, [this](const QString& error) {
        if (!error.isEmpty()) logLine(QStringLiteral("расчёт не выполнен: ") + error);
        broadcast(protocol::EventEndComputing);
    });
}

TrackingServer::~TrackingServer() = default;

bool TrackingServer::listen(const QString& name, QString* error) {
    QString path;
    if (!automation::resolveSocketName(name, &path, error)) return false;
    {
        // A socket file that answers belongs to a running server; one that does not is stale.
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(500)) {
            *error = QStringLiteral("Сервер Telvika уже работает на сокете «%1»").arg(name);
            return false;
        }
    }
    QLocalServer::removeServer(path);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    server_->setMaxPendingConnections(64);
    socketPath_ = path;
    if (!server_->listen(path)) {
        *error = QStringLiteral("Не удалось открыть сокет «%1»: %2").arg(name, server_->errorString());
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &TrackingServer::onNewConnection);
    return true;
}

void TrackingServer::onNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        if (shuttingDown_) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        const std::optional<qint64> peer = peerUserLookup_ ? peerUserLookup_(socket->socketDescriptor()) : std::nullopt;
        if (peer && *peer != automation::currentUserId()) {
            logLine(QStringLiteral("отклонено подключение процесса другого пользователя (uid %1)").arg(*peer));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        clients_.insert(socket, std::make_shared<Client>(core_));
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { onDisconnected(socket); });
        if (socket->bytesAvailable() > 0) onReadyRead(socket);
    }
}

void TrackingServer::onDisconnected(QLocalSocket* socket) {
    if (clients_.remove(socket) > 0) socket->deleteLater();
}

void TrackingServer::drop(QLocalSocket* socket, const QString& reason) {
    logLine(QStringLiteral("клиент отключён: ") + reason);
    if (clients_.remove(socket) == 0) return;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

bool TrackingServer::send(QLocalSocket* socket, const QByteArray& frame, bool isReply) {
    if (socket->state() != QLocalSocket::ConnectedState) return true;
    const auto it = clients_.constFind(socket);
    if (it != clients_.constEnd()) {
        const qint64 unsent = socket->bytesToWrite();
        if (!(*it)->output.admit(unsent, frame.size(), isReply)) {
            drop(socket, QStringLiteral("клиент не читает ответы (не отправлено %1 байт)").arg(unsent));
            return false;
        }
    }
    socket->write(frame);
    return true;
}

int TrackingServer::greetedCount() const {
    int count = 0;
    for (const auto& client : clients_) count += client->greeted ? 1 : 0;
    return count;
}

void TrackingServer::onReadyRead(QLocalSocket* socket) {
    auto it = clients_.find(socket);
    if (it == clients_.end()) return;
    std::shared_ptr<Client> client = *it;  // stays alive even if the socket is dropped below
    client->reader.append(socket->readAll());
    QByteArray frame;
    QString error;
    while (!shuttingDown_ && clients_.contains(socket)) {
        const FrameReader::Status status = client->reader.next(&frame, &error);
        if (status == FrameReader::Status::NeedMore) return;
        if (status == FrameReader::Status::Failed) return drop(socket, error);
        Message request;
        if (!protocol::decodeMessage(frame, &request, &error)) return drop(socket, error);
        if (request.kind != Message::Kind::Request)
            return drop(socket, QStringLiteral("клиент прислал не запрос"));

        if (request.op == QStringLiteral("Hello")) {
            const QCborValue version = request.args.at(0);
            if (request.args.size() != 1 || !version.isInteger() || version.toInteger() != protocol::ProtocolVersion) {
                send(socket,
                     frameOf(Message::errorReply(
                         request.id, QStringLiteral("Неподдерживаемая версия протокола %1: сервер понимает версию %2")
                                         .arg(version.toVariant().toString())
                                         .arg(protocol::ProtocolVersion))),
                     true);
                if (clients_.remove(socket) == 0) return;  // dropped while answering
                socket->disconnect(this);
                socket->disconnectFromServer();
                connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
                return;
            }
            client->greeted = true;
            QCborMap hello;
            hello.insert(QStringLiteral("version"), protocol::ProtocolVersion);
            hello.insert(QStringLiteral("server"), QStringLiteral("telvika-server"));
            if (!send(socket, frameOf(Message::reply(request.id, hello)), true)) return;
            if (std::exchange(refreshOwed_, false)) core_.refresh();
            continue;
        }
        if (!client->greeted) {
            if (!send(socket,
                      frameOf(Message::errorReply(request.id,
                                                  QStringLiteral("Сначала нужен запрос Hello с версией протокола"))),
                      true))
                return;
            continue;
        }
        Message reply;
        try {
            QByteArray bytes;
            const QCborValue result = request.op.startsWith(QStringLiteral("Admin"))
                                          ? handleAdmin(request.op, request.args)
                                          : client->session.handle(request.op, request.args, &bytes);
            reply = result.isByteArray() ? Message::bytesReply(request.id, bytes) : Message::reply(request.id, result);
        } catch (const std::exception& e) {
            reply = Message::errorReply(request.id, messageOf(e));
        }
        if (!send(socket, replyFrameOf(reply), true)) return;
    }
}

QCborValue TrackingServer::handleAdmin(const QString& op, const QCborArray& args) {
    if (op == QStringLiteral("AdminCarsListChanged")) {
        broadcast(protocol::EventChangeCarsList);
        core_.store().announce(StoreEvent::FleetChanged);
        return true;
    }
    if (op == QStringLiteral("AdminParametersChanged")) {
        broadcast(protocol::EventChangeParameters);
        core_.store().announce(StoreEvent::ParametersChanged);
        return true;
    }
    if (op == QStringLiteral("AdminOnline")) {
        // Optional points, each {"device", "time", "lat", "lon", ...}; all are checked before any is stored.
        QVector<QPair<int, TelemetryPoint>> points;
        for (const QCborValue& v : args) {
            if (!v.isMap()) throw Error(QStringLiteral("Точка телеметрии должна быть словарём"));
            const QCborMap m = v.toMap();
            const QCborValue device = m.value(QStringLiteral("device"));
            if (!device.isInteger() || device.toInteger() <= 0 || device.toInteger() > INT_MAX)
                throw Error(QStringLiteral("У точки телеметрии нет номера устройства"));
            TelemetryPoint p;
            p.time = number(m, "time", NAN);
            p.lat = number(m, "lat", NAN);
            p.lon = number(m, "lon", NAN);
            if (std::isnan(p.time) || std::isnan(p.lat) || std::isnan(p.lon))
                throw Error(QStringLiteral("У точки телеметрии должны быть time, lat и lon"));
            p.time = utcFromLocalOle(p.time);  // the wire carries the user's local date
            p.speedKmh = number(m, "speed", 0.0);
            p.odometerM = number(m, "odometer", 0.0);
            points.append({static_cast<int>(device.toInteger()), p});
        }
        if (!points.isEmpty()) core_.store().appendTelemetry(points);
        onlineDataArrived();
        return true;
    }
    if (op == QStringLiteral("AdminClose")) {
        QTimer::singleShot(0, this, &TrackingServer::shutdown);
        return true;
    }
    throw Error(QStringLiteral("Неизвестная операция «%1»").arg(op));
}

void TrackingServer::broadcast(int event) {
    const QByteArray frame = frameOf(Message::notification(event));
    // Sending may drop a client that does not read, so the list is taken first.
    QList<QLocalSocket*> greeted;
    for (auto it = clients_.constBegin(); it != clients_.constEnd(); ++it)
        if ((*it)->greeted) greeted.append(it.key());
    for (QLocalSocket* socket : greeted)
        if (clients_.contains(socket)) send(socket, frame, false);
}

void TrackingServer::onlineDataArrived() {
    telemetryArrived();
    core_.store().announce(StoreEvent::TelemetryArrived);
}

void TrackingServer::storeAnnounced(StoreEvent event) {
    if (shuttingDown_) return;
    switch (event) {
        case StoreEvent::FleetChanged: broadcast(protocol::EventChangeCarsList); break;
        case StoreEvent::ParametersChanged: broadcast(protocol::EventChangeParameters); break;
        case StoreEvent::TelemetryArrived: telemetryArrived(); break;
    }
}

void TrackingServer::storeResumed() {
    if (shuttingDown_) return;
    broadcast(protocol::EventChangeCarsList);
    broadcast(protocol::EventChangeParameters);
    telemetryArrived();
}

void TrackingServer::telemetryArrived() {
    broadcast(protocol::EventReceiveOnlineData);
    // Without a client nobody would read the refreshed result; the first one to greet gets it.
    if (greetedCount() == 0) refreshOwed_ = true;
    else core_.refresh();
}

void TrackingServer::shutdown() {
    if (shuttingDown_) return;
    broadcast(protocol::EventCloseServer);
    shuttingDown_ = true;
    if (server_) server_->close();
    const QList<QLocalSocket*> sockets = clients_.keys();
    clients_.clear();
    // Every client gets the announcement followed by the end of the stream, and its connection is
    // kept, its requests read and dropped, until it closes it or the deadline passes. Closed at
    // once, a connection holding an unread request is reset: a client writing a request just then
    // saw its connection fail and lost the announcement still unread in its socket.
    const QDeadlineTimer deadline(3000);
    for (QLocalSocket* socket : sockets) {
        socket->disconnect(this);
        socket->flush();
        while (socket->bytesToWrite() > 0 && !deadline.hasExpired())
            if (!socket->waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) break;
#ifdef Q_OS_UNIX
        if (socket->state() == QLocalSocket::ConnectedState && socket->bytesToWrite() == 0)
            ::shutdown(static_cast<int>(socket->socketDescriptor()), SHUT_WR);
#endif
    }
    for (QLocalSocket* socket : sockets) {
        while (socket->state() == QLocalSocket::ConnectedState && !deadline.hasExpired()) {
            socket->readAll();
            if (!socket->waitForReadyRead(static_cast<int>(deadline.remainingTime()))) break;
        }
        socket->abort();
        socket->deleteLater();
    }
    emit stopped();
}

}  // namespace telvika::server
