#pragma once

// Plumbing shared by the tests that drive the real main window against a real tracking server
// process: temporary application and data folders, a private socket, the admin tool for fixture
// data and "another user", and the window factory. Header-only; include it from a test file.

#include <QtTest>

#include <QProcess>
#include <QTemporaryDir>

#include <memory>

#include "app/TForm1.h"
#include "app/ui/UserDialogs.h"

class TPlayerFixture {
public:
    // tag names the socket, so that two test programs never share a server.
    explicit TPlayerFixture(const QString& tag)
        : socket(QStringLiteral("telvika-test-%1-%2").arg(tag).arg(QCoreApplication::applicationPid())) {}

    ~TPlayerFixture() { closeServer(); }

    const QString bin = QStringLiteral(TELVIKA_BIN_DIR);
    QTemporaryDir appDir;   // TVSettings.xml, MapList.ini and the .res copies of the window
    QTemporaryDir dataDir;  // the server's store
    QString socket;
    TRecordingUserDialogs dialogs;
    QStringList extraServerArguments;  // e.g. "--live", "5"

    // Runs telvika-admin against the fixture's store and server; returns its standard output, or
    // a null string (with a warning) when it failed.
    QString admin(const QStringList& args, int timeoutMs = 60000) const {
        QProcess p;
        p.start(bin + QStringLiteral("/telvika-admin"),
                QStringList{QStringLiteral("--data"), dataDir.path(), QStringLiteral("--socket"), socket} + args);
        if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            qWarning() << "telvika-admin" << args << "failed:" << QString::fromUtf8(p.readAllStandardError());
            return QString();
        }
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        return out.isNull() ? QStringLiteral("") : out;
    }
    bool adminOk(const QStringList& args) const { return !admin(args).isNull(); }

    // Writes a file into the application folder (settings, map list) before a window starts.
    bool writeAppFile(const QString& name, const QByteArray& bytes) const {
        QFile f(QDir(appDir.path()).filePath(name));
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    }
    QByteArray readAppFile(const QString& name) const {
        QFile f(QDir(appDir.path()).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    TPlayerEnvironment environment() {
        TPlayerEnvironment env;
        env.appDir = appDir.path();
        env.controlDir = bin;
        env.serverName = socket;
        env.serverProgram = bin + QStringLiteral("/telvika-server");
        env.serverArguments =
            QStringList{QStringLiteral("--data"), dataDir.path(), QStringLiteral("--no-demo")} + extraServerArguments;
        env.dialogs = &dialogs;
        env.preferencesFile = QDir(appDir.path()).filePath(QStringLiteral("preferences.ini"));
        return env;
    }

    // A window that is shown and has run its start-up sequence (or the part of it that could run).
    std::unique_ptr<TForm1> startedWindow(TPlayerEnvironment env, int timeoutMs = 60000) {
        auto w = std::make_unique<TForm1>(env);
        w->show();
        if (!QTest::qWaitFor([&] { return w->StartupDone && w->data.MarkerShape.size() == 2; }, timeoutMs))
            qWarning() << "the window did not finish its start-up";
        return w;
    }
    std::unique_ptr<TForm1> startedWindow() { return startedWindow(environment()); }

    void closeServer() {
        if (!closed_) {
            closed_ = true;
            QProcess p;
            p.start(bin + QStringLiteral("/telvika-admin"),
                    {QStringLiteral("--data"), dataDir.path(), QStringLiteral("--socket"), socket,
                     QStringLiteral("close")});
            p.waitForFinished(20000);
        }
    }

private:
    bool closed_ = false;
};
