#pragma once

// A fake tracking server for client tests: a QLocalServer on its own thread that answers each
// request with the bytes a script gives (several frames in one write when the script says so), and
// optionally more bytes a little later. It speaks the wire protocol only as far as the script does.

#include "SocketLocation.h"
#include "protocol/FrameReader.h"
#include "protocol/Message.h"
#include "protocol/ProtocolConstants.h"

#include <QCborMap>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMutex>
#include <QSemaphore>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

namespace telvika::testing {

struct ScriptedAnswer {
    QByteArray now;    // written at once, in one write
    QByteArray later;  // written laterMs afterwards, when not empty
    int laterMs = 0;
};

inline QByteArray frameOf(const protocol::Message& m) { return protocol::encodeMessageFrame(m); }

class ScriptedServer : public QThread {
public:
    using Script = std::function<ScriptedAnswer(const protocol::Message& request)>;

    // `name` as the client is given it; the server listens where the client will look.
    ScriptedServer(const QString& name, Script script) : script_(std::move(script)) {
        QString error;
        automation::resolveSocketName(name, &path_, &error);
    }
    ~ScriptedServer() override {
        quit();
        wait();
    }

    bool startListening() {
        start();
        ready_.acquire();
        return listening_;
    }

    // Operations received so far, in order.
    QStringList ops() const {
        QMutexLocker lock(&mutex_);
        return ops_;
    }

    // The usual answer to the greeting.
    static ScriptedAnswer hello(const protocol::Message& request) {
        QCborMap m;
        m.insert(QStringLiteral("version"), protocol::ProtocolVersion);
        return {frameOf(protocol::Message::reply(request.id, m)), {}, 0};
    }

protected:
    void run() override {
        QLocalServer server;
        QLocalServer::removeServer(path_);
        listening_ = server.listen(path_);
        ready_.release();
        if (!listening_) return;
        QObject::connect(&server, &QLocalServer::newConnection, &server, [&] {
            while (QLocalSocket* socket = server.nextPendingConnection()) {
                auto reader = std::make_shared<protocol::FrameReader>(protocol::MaxRequestFrame);
                QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket, reader] {
                    reader->append(socket->readAll());
                    QByteArray frame;
                    QString error;
                    while (reader->next(&frame, &error) == protocol::FrameReader::Status::Frame) {
                        protocol::Message request;
                        if (!protocol::decodeMessage(frame, &request, &error)) continue;
                        {
                            QMutexLocker lock(&mutex_);
                            ops_ << request.op;
                        }
                        const ScriptedAnswer answer = request.op == QStringLiteral("Hello") ? hello(request)
                                                                                            : script_(request);
                        if (!answer.now.isEmpty()) socket->write(answer.now);
                        socket->flush();
                        if (!answer.later.isEmpty()) {
                            const QByteArray later = answer.later;
                            QTimer::singleShot(answer.laterMs, socket, [socket, later] {
                                socket->write(later);
                                socket->flush();
                            });
                        }
                    }
                });
                QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        exec();
    }

private:
    Script script_;
    QString path_;
    bool listening_ = false;
    QSemaphore ready_;
    mutable QMutex mutex_;
    QStringList ops_;
};

}  // namespace telvika::testing
