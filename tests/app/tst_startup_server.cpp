// Start-up of the main window against a real tracking server process with fixture data, the
// window's answers to the server's notifications sent by another user (the admin tool), and the
// end of a session from outside the window: termination signals and the loss of the display.
#include <QtTest>

#include <QComboBox>
#include <QProcess>
#include <QStandardPaths>
#include <QToolButton>
#include <QTreeWidget>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>

#include "app/PlayerApplication.h"
#include "app/TForm1.h"
#include "app/TSessionEndWatcher.h"
#include "app/ui/UserDialogs.h"
#include "automation/TTelvikaAutomation.h"
#include "mvx/IMVControl.h"

namespace {

const QString Bin = QStringLiteral(TELVIKA_BIN_DIR);

// Dialogs of the child below: a message is printed, then stays open (a nested event loop that
// never ends), as a message box does until someone answers it.
class TOpenMessageDialogs : public TRecordingUserDialogs {
public:
    void message(QWidget* owner, const QString& text, const QString& caption) override {
        TRecordingUserDialogs::message(owner, text, caption);
        std::printf("message [%s] %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
        std::fflush(stdout);
        QEventLoop().exec();
    }
};

// Child mode: the player's window as the program runs it (with its session-end watcher) against
// the parent's server, in the application folder given. Once started it turns "Пропуск остановок"
// off, so that a save is seen in the file, prints "ready" and runs until the session ends.
// "--fail-save" limits the size of the files it writes, so that the save at the end fails.
int runUntilSessionEnds(int argc, char** argv) {
    QApplication app(argc, argv);
    telvika::setUpPlayerApplication();
    const QStringList args = app.arguments();  // program, mode, socket, application and data folder
    TOpenMessageDialogs dialogs;
    TPlayerEnvironment env;
    env.serverName = args.value(2);
    env.appDir = args.value(3);
    env.controlDir = Bin;
    env.serverProgram = Bin + QStringLiteral("/telvika-server");
    env.serverArguments = {QStringLiteral("--data"), args.value(4), QStringLiteral("--no-demo")};
    env.dialogs = &dialogs;
    TForm1 form(env);
    form.show();
    if (!QTest::qWaitFor([&] { return form.StartupDone && form.data.MarkerShape.size() == 2; }, 60000) ||
        !form.SettingsLoaded)
        return 3;
    form.ToolButton3->setChecked(false);
    if (args.contains(QStringLiteral("--fail-save"))) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 64;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 4;
    }
    TSessionEndWatcher sessionEnd(form);
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

}  // namespace

class TestStartupServer : public QObject {
    Q_OBJECT
private:
    QTemporaryDir appDir;
    QTemporaryDir dataDir;
    QString socket;
    TRecordingUserDialogs dialogs;

    // Runs telvika-admin against the fixture's store and server; true when it succeeded.
    bool admin(const QStringList& args) {
        QProcess p;
        p.start(Bin + QStringLiteral("/telvika-admin"),
                QStringList{QStringLiteral("--data"), dataDir.path(), QStringLiteral("--socket"), socket} + args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            qWarning() << "telvika-admin" << args << "failed:" << QString::fromUtf8(p.readAllStandardError());
            return false;
        }
        return true;
    }

    std::unique_ptr<TForm1> window() {
        TPlayerEnvironment env;
        env.appDir = appDir.path();
        env.controlDir = Bin;
        env.serverName = socket;
        env.serverProgram = Bin + QStringLiteral("/telvika-server");
        env.serverArguments = {QStringLiteral("--data"), dataDir.path(), QStringLiteral("--no-demo")};
        env.dialogs = &dialogs;
        return std::make_unique<TForm1>(env);
    }

    // Starts the child mode above with its own application folder; true once it is ready.
    bool startChild(QProcess& child, const QString& folder, const QStringList& extra = {},
                    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(),
                    QStringList{QStringLiteral("--until-session-ends"), socket, folder, dataDir.path()} + extra);
        return child.waitForStarted() && waitForOutput(child, "ready");
    }

    static bool waitForOutput(QProcess& child, const QByteArray& text) {
        QByteArray seen;
        while (!seen.contains(text)) {
            if (!child.waitForReadyRead(60000)) return false;
            seen += child.readAllStandardOutput();
        }
        return true;
    }

    static QByteArray settingsOf(const QString& folder) {
        QFile f(QDir(folder).filePath(QStringLiteral("TVSettings.xml")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void initTestCase() {
        socket = QStringLiteral("telvika-test-startup-%1").arg(QCoreApplication::applicationPid());
        // Groups added out of name and identifier order; the player must keep the server's order.
        QVERIFY(admin({QStringLiteral("add-group"), QStringLiteral("Z9"), QStringLiteral("Яблоневая")}));
        QVERIFY(admin({QStringLiteral("add-group"), QStringLiteral("A1"), QStringLiteral("Берёзовая")}));
        QVERIFY(admin({QStringLiteral("add-group"), QStringLiteral("M5"), QStringLiteral("Альфа \"плюс\"")}));
        QVERIFY(admin({QStringLiteral("add-vehicle"), QStringLiteral("A1"), QStringLiteral("101"),
                        QStringLiteral("КамАЗ"), QStringLiteral("А001АА77")}));
    }

    void cleanupTestCase() { admin({QStringLiteral("close")}); }

    void init() { dialogs.calls.clear(); }

    void groupsAndTablesAfterStartup() {
        auto w = window();
        w->show();
        QTRY_VERIFY_WITH_TIMEOUT(w->StartupDone && w->data.MarkerShape.size() == 2, 60000);
        QVERIFY2(dialogs.calls.isEmpty(), dialogs.calls.isEmpty() ? "" : qPrintable(dialogs.calls[0].text));

        // The group list in the server's order, identifiers aligned, item 0 selected.
        TTelvikaAutomation probe(nullptr, socket);
        const int n = probe.GroupsCount();
        QCOMPARE(n, 3);
        QCOMPARE(w->cmbGroupName->count(), n);
        QCOMPARE(w->data.GroupIDs.size(), n);
        for (int i = 1; i <= n; ++i) {
            probe.SetGroupIndex(i);
            QCOMPARE(w->cmbGroupName->itemText(i - 1), probe.GroupName());
            QCOMPARE(w->data.GroupIDs[i - 1], probe.GroupID());
        }
        // The default settings of a first start select the group at position 7; with three groups
        // there is none, so no group stays selected.
        QCOMPARE(w->cmbGroupName->currentIndex(), -1);
        QVERIFY(w->data.GroupIDs.contains(QStringLiteral("M5")));

        // The seven map tables with their fields in order.
        const QVector<std::pair<mvx::IMapTable*, QStringList>> tables = {
            {w->data.tblTrackBase, {"TEXT metr metr"}},
            {w->data.tblTrackLine, {"TEXT metr metr"}},
            {w->data.tblCheckAreas, {"TEXT metr metr", "TEXT Name Name"}},
            {w->data.tblCheckLabels, {"DOUBLE XCOORD Longitude", "DOUBLE YCOORD Latitude", "TEXT style style"}},
            {w->data.tblInfoPoints,
             {"DOUBLE XCOORD Longitude", "DOUBLE YCOORD Latitude", "TEXT style style", "TEXT Name Name"}},
            {w->data.tblStopLabel, {"DOUBLE XCOORD Longitude", "DOUBLE YCOORD Latitude", "TEXT style style"}},
            {w->data.tblVehicles,
             {"DOUBLE XCOORD Longitude", "DOUBLE YCOORD Latitude", "TEXT style style", "TEXT Name Name"}},
        };
        QSet<mvx::IMapTable*> distinct;
        for (const auto& [table, fields] : tables) {
            QVERIFY(table);
            distinct.insert(table);
            QCOMPARE(table->FieldCount(), fields.size());
            for (int f = 0; f < fields.size(); ++f)
                QCOMPARE(table->FieldType(f) + ' ' + table->FieldName(f) + ' ' + table->FieldCaption(f), fields[f]);
            QCOMPARE(table->GetRecordCount(), 0);
        }
        QCOMPARE(distinct.size(), 7);
        QCOMPARE(w->cmbInfoPoints->currentIndex(), 0);
        w->close();
    }

    void notificationsFromAnotherUser() {
        auto w = window();
        w->show();
        QTRY_VERIFY_WITH_TIMEOUT(w->StartupDone && w->data.MarkerShape.size() == 2, 60000);

        // Online data arrives for the fleet: the next end of computing is to be skipped. The flag is
        // read right after the window's own handler ran (it was connected first), because the
        // refresh's end of computing clears it again soon after.
        QVERIFY(!w->data.SkipNextEndComputing);
        bool skipAfterOnlineData = false;
        connect(w->data.TrackingServer, &TTelvikaAutomation::OnReceiveOnlineData, this,
                [&] { skipAfterOnlineData = w->data.SkipNextEndComputing; });
        QVERIFY(admin({QStringLiteral("online")}));
        QTRY_VERIFY_WITH_TIMEOUT(skipAfterOnlineData, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!w->data.SkipNextEndComputing, 20000);  // consumed by that notice

        // The server closes: the window forgets it and disables the list.
        QVERIFY(w->ListView1->isEnabled());
        QVERIFY(admin({QStringLiteral("close")}));
        QTRY_VERIFY_WITH_TIMEOUT(w->data.TrackingServer == nullptr, 20000);
        QVERIFY(!w->ListView1->isEnabled());
        QVERIFY(dialogs.calls.isEmpty());
        w->close();
    }

    // A hang-up (a closed terminal or session) closes the window as its close button does: the
    // settings are saved and the program ends normally.
    void signalClosesAndSaves() {
        QTemporaryDir folder;
        QProcess child;
        QVERIFY(startChild(child, folder.path()));
        QVERIFY(settingsOf(folder.path()).contains("<Stops>true</Stops>"));
        ::kill(child.processId(), SIGHUP);
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QVERIFY(settingsOf(folder.path()).contains("<Stops>false</Stops>"));
    }

    // The save at the end fails (no room for the file): the message is the failure's own, with an
    // empty caption, the old file stays byte for byte, and a second signal while the message is
    // open ends the process at once.
    void failedSaveKeepsTheFileAndASecondSignalEnds() {
        QTemporaryDir folder;
        QProcess child;
        QVERIFY(startChild(child, folder.path(), {QStringLiteral("--fail-save")}));
        const QByteArray before = settingsOf(folder.path());
        QVERIFY(!before.isEmpty());
        ::kill(child.processId(), SIGTERM);
        QVERIFY(waitForOutput(child, "message [] Не удалось записать файл настроек"));
        ::kill(child.processId(), SIGTERM);
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(settingsOf(folder.path()), before);
        QCOMPARE(QDir(folder.path()).entryList({QStringLiteral("TVSettings.xml*")}, QDir::Files),
                 QStringList{QStringLiteral("TVSettings.xml")});
    }

    // The X server goes away under the running window: Qt ends the process, but the settings are
    // saved first.
    void lostDisplaySaves() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty()) QSKIP("needs Xvfb");
        QProcess server;
        // -displayfd 1: the server picks a free display and writes its number on its output.
        server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                            QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                            QStringLiteral("1024x768x24")});
        QVERIFY(server.waitForStarted() && server.waitForReadyRead(30000));
        const QString display = QStringLiteral(":") + QString::fromLatin1(server.readAllStandardOutput()).trimmed();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("DISPLAY"), display);
        QTemporaryDir folder;
        QProcess child;
        const bool ready = startChild(child, folder.path(), {}, environment);
        server.kill();
        server.waitForFinished(20000);
        QVERIFY2(ready, child.readAllStandardError().constData());
        QVERIFY(child.waitForFinished(60000));
        const QByteArray errors = child.readAllStandardError();
        QVERIFY2(errors.contains("connection broke"), errors.constData());
        QVERIFY(settingsOf(folder.path()).contains("<Stops>false</Stops>"));
    }
};

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--until-session-ends") == 0) return runUntilSessionEnds(argc, argv);
    QApplication app(argc, argv);
    TestStartupServer test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_startup_server.moc"
