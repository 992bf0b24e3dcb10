#pragma once

#include <QCborArray>
#include <QCborValue>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

#include "PeerCredentials.h"
#include "protocol/FrameReader.h"
#include "protocol/Message.h"

class QLocalSocket;

namespace telvika::automation {

// How to start the server when nothing answers on its socket.
struct ServerStart {
    bool enabled = true;
    QString program;          // the executable; empty: no start possible
    QStringList arguments;    // added after "--socket NAME"
    int waitMs = 60000;       // how long a started server may take before it answers
};

// One connection to the tracking server: blocking request/reply calls over a local socket, and
// notifications that are queued while a call waits and delivered later through the event loop.
// Failures throw telvika::Error with a Russian message (ServerClosedError when the server announced
// its closing on this connection before it dropped); after a failed call the connection is closed
// and the next open() starts afresh. A short server name is a socket in the user's private folder
// (SocketLocation.h); a socket whose other end runs as another user is refused.
class ServerConnection : public QObject {
    Q_OBJECT
public:
    explicit ServerConnection(QObject* parent = nullptr);
    ~ServerConnection() override;

    // Connects to `serverName` (starting the server as `start` says) and exchanges versions.
    void open(const QString& serverName, const ServerStart& start);
    void close();
    bool isOpen() const;
    QString serverName() const { return serverName_; }

    void setTimeout(int ms) { timeoutMs_ = ms; }
    qint64 requestCount() const { return nextId_ - 1; }
    int timeout() const { return timeoutMs_; }

    // Sends one request and waits for its reply; the reply's error text is thrown as telvika::Error.
    // A reply that is a byte string goes to *bytes when given (without copying it into a QCborValue),
    // and so does a long text's UTF-8 to *utf8 (the value returned is then an empty one of its type).
    QCborValue call(const QString& op, const QCborArray& args = {}, QByteArray* bytes = nullptr,
                    QByteArray* utf8 = nullptr);

    // Called at once (not through the event loop) whenever a notification arrives, before it is
    // delivered: lets the owner drop values that the notification may have made stale.
    void setArrivalHook(std::function<void(int)> hook) { arrivalHook_ = std::move(hook); }
    // Counts the notifications that arrived so far: a value fetched while it changed may be stale.
    quint64 arrivals() const { return arrivals_; }
    // How the user id of the server's end is found (the kernel by default).
    void setPeerUserLookup(PeerUserLookup lookup) { peerUserLookup_ = std::move(lookup); }

signals:
    // A notification of the server, always emitted from the event loop.
    void notified(int event);

private:
    bool tryConnect(int waitMs, QString* error);
    void checkPeer(QLocalSocket* socket);
    void handshake();
    void onReadyRead();
    void drain(qint64 awaitedId, bool* gotReply, protocol::Message* reply, QString* error);
    void queueNotification(int event);
    void deliverQueued();
    [[noreturn]] void failCall(const QString& message);

    QLocalSocket* socket_ = nullptr;
    protocol::FrameReader reader_;
    QString serverName_;
    QString socketPath_;
    qint64 nextId_ = 1;
    int timeoutMs_ = 10000;
    bool inCall_ = false;
    bool deliveryScheduled_ = false;
    bool closeAnnounced_ = false;  // the server said it closes, on this connection
    QVector<int> queued_;
    std::function<void(int)> arrivalHook_;
    quint64 arrivals_ = 0;
    PeerUserLookup peerUserLookup_ = &peerUserId;
};

}  // namespace telvika::automation
