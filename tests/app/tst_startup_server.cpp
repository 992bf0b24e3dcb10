// Start-up of the main window against a real tracking server process with fixture data, and the
// window's answers to the server's notifications sent by another user (the admin tool).
#include <QtTest>

#include <QComboBox>
#include <QProcess>
#include <QTreeWidget>

#include "app/TForm1.h"
#include "app/ui/UserDialogs.h"
#include "automation/TTelvikaAutomation.h"
#include "mvx/IMVControl.h"

namespace {

const QString Bin = QStringLiteral(TELVIKA_BIN_DIR);

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
};

QTEST_MAIN(TestStartupServer)
#include "tst_startup_server.moc"
