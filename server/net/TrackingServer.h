#pragma once

#include <QCborArray>
#include <QCborValue>
#include <QHash>
#include <QObject>
#include <QString>

#include <memory>

#include "PeerCredentials.h"
#include "store/StoreBackend.h"

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

    // Listens on `name`, a short name in the user's private socket folder or a path (only the
    // current user may connect). False with *error when the name is taken by a running server or
    // cannot be used.
    bool listen(const QString& name, QString* error);
    QString socketPath() const { return socketPath_; }

    // How a connecting client's user id is found (the kernel by default); one of another user is
    // refused.
    void setPeerUserLookup(automation::PeerUserLookup lookup) { peerUserLookup_ = std::move(lookup); }
    // A client whose unsent output exceeds this (beyond the largest reply queued for it since its
    // output was last within the bound) is dropped: one that sends requests and never reads must not
    // grow the server.
    static constexpr qint64 MaxUnsentOutput = 32LL * 1024 * 1024;

    // Sends a notification to every client that has greeted the server.
    void broadcast(int event);
    // New telemetry was stored through this server: 202 to everyone, then the current result is
    // computed again (205); the other servers of a shared store are told.
    void onlineDataArrived();
    // Another server of a shared store announced a change: this server's clients get the same
    // notification as that server's (new telemetry is followed by a refresh here too).
    void storeAnnounced(telvika::server::StoreEvent event);
    // The shared store is back after a loss: what others announced meanwhile may have been missed,
    // so the clients hear of every kind of change once.
    void storeResumed();
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
    // False when the client was dropped for its unread output.
    bool send(QLocalSocket* socket, const QByteArray& frame, bool isReply);
    int greetedCount() const;
    // 202 and the refresh that follows it.
    void telemetryArrived();
    QCborValue handleAdmin(const QString& op, const QCborArray& args);

    ServerCore& core_;
    QLocalServer* server_ = nullptr;
    QHash<QLocalSocket*, std::shared_ptr<Client>> clients_;
    bool shuttingDown_ = false;
    // Online data arrived while no client was there to see its refresh: the next greeting runs it.
    bool refreshOwed_ = false;
    QString socketPath_;
    automation::PeerUserLookup peerUserLookup_ = &automation::peerUserId;
};

}  // namespace telvika::server
