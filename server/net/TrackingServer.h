#pragma once

#include <QCborArray>
#include <QCborValue>
#include <QHash>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;

namespace telvika::server {

class ClientSession;
class ServerCore;

// Serves the clients on a local socket: reads their frames, answers their requests through one
// ClientSession per connection and pushes notifications to all of them. A client whose stream is
// broken is dropped alone; the others are served on.
class TrackingServer : public QObject {
    Q_OBJECT
public:
    explicit TrackingServer(ServerCore& core, QObject* parent = nullptr);
    ~TrackingServer() override;

    // Listens on `name` (only the current user may connect). False with *error when the name is
    // taken by a running server or cannot be used.
    bool listen(const QString& name, QString* error);

    // Sends a notification to every client that has greeted the server.
    void broadcast(int event);
    // New telemetry arrived: 202 to everyone, then the current result is computed again (205).
    void onlineDataArrived();
    // Announces 203 to every client, closes every connection and stops listening; then stopped().
    void shutdown();
    int clientCount() const { return static_cast<int>(clients_.size()); }

signals:
    void stopped();

private:
    struct Client;
    void onNewConnection();
    void onReadyRead(QLocalSocket* socket);
    void onDisconnected(QLocalSocket* socket);
    void drop(QLocalSocket* socket, const QString& reason);
    void send(QLocalSocket* socket, const QByteArray& frame);
    QCborValue handleAdmin(const QString& op, const QCborArray& args);

    ServerCore& core_;
    QLocalServer* server_ = nullptr;
    QHash<QLocalSocket*, std::shared_ptr<Client>> clients_;
    bool shuttingDown_ = false;
};

}  // namespace telvika::server
