#pragma once

// Starts a real telvika-server on a private socket and data folder for a test, and stops it.

#include "SocketLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocalSocket>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QUuid>

namespace telvika::testing {

inline QString serverProgram() { return QStringLiteral(TELVIKA_BIN_DIR "/telvika-server"); }
inline QString adminProgram() { return QStringLiteral(TELVIKA_BIN_DIR "/telvika-admin"); }

// Where a client looks for the socket `name` (a short name lands in the user's private folder).
inline QString socketPathOf(const QString& name) {
    QString path, error;
    return automation::resolveSocketName(name, &path, &error) ? path : name;
}

inline QString uniqueSocketName() {
    return QStringLiteral("telvika-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
}

class ServerProcess {
public:
    ServerProcess(const QString& socketName, const QString& dataFolder, const QStringList& more = {})
        : socketName_(socketName), dataFolder_(dataFolder), more_(more) {}
    ~ServerProcess() { stop(); }

    // The arguments a client passes when it starts this server itself.
    QStringList extraArguments() const {
        return QStringList{QStringLiteral("--data"), dataFolder_, QStringLiteral("--no-demo")} + more_;
    }

    // Starts the server and waits until its socket answers.
    bool start() {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(serverProgram(), QStringList{QStringLiteral("--socket"), socketName_} + extraArguments());
        if (!process_.waitForStarted(5000)) return false;
        for (int i = 0; i < 100; ++i) {
            QLocalSocket probe;
            probe.connectToServer(socketPathOf(socketName_));
            if (probe.waitForConnected(100)) return true;
            if (process_.state() != QProcess::Running) return false;
            QThread::msleep(50);
        }
        return false;
    }

    qint64 pid() const { return process_.processId(); }
    QProcess& process() { return process_; }

    void stop() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }

private:
    QString socketName_;
    QString dataFolder_;
    QStringList more_;  // further arguments, such as --store
    QProcess process_;
};

}  // namespace telvika::testing
