#pragma once

// Plumbing shared by the tests that drive the real main window against a real tracking server
// process: temporary application and data folders, a private socket, the admin tool for fixture
// data and "another user", and the window factory. Header-only; include it from a test file.

#include <QtTest>

#include <QDateTime>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <memory>

#include "app/TForm1.h"
#include "app/ui/UserDialogs.h"

// The demo fleet of the tests drives the week before this local moment, whatever day the tests
// run on, so that every run sees the same fleet. The period the tests ask for is the last four
// days of that week (Thursday to Sunday): two working days for the weekday groups.
inline const QDateTime DemoUntil(QDate(2026, 1, 12), QTime(0, 0));
inline const QDateTime DemoPeriodBegin = DemoUntil.addDays(-4);
inline const QDateTime DemoPeriodEnd = DemoUntil;

// Restoring the settings sends two requests (the group's, then the vehicle's); the window is at
// rest once trips are listed, nothing is pending and it stays so for a second.
inline bool windowSettled(TForm1& w) {
    auto quiet = [&] {
        return w.ListView1->topLevelItemCount() > 0 && !w.data.OwnComputing && !w.data.FollowingServer;
    };
    for (int round = 0; round < 60; ++round) {
        if (!QTest::qWaitFor(quiet, 60000)) return false;
        QTest::qWait(1000);
        if (quiet()) return true;
    }
    return false;
}

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

    // The week of demo data before DemoUntil in the fixture's store; extra arguments such as
    // "--chart" PATH go to the admin tool as well.
    bool seedDemo(const QStringList& extra = {}) const {
        return adminOk(QStringList{QStringLiteral("demo"), QStringLiteral("--days"), QStringLiteral("7"),
                                   QStringLiteral("--until"), DemoUntil.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))} +
                       extra);
    }

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
