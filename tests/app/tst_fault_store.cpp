// The player against a bad store, with its real window, the real server process started on demand
// and a real store made by the admin tool: damaged pages at start-up, pages damaged while a track
// plays, a file that is no store at all (garbage, zero bytes) and a data folder that cannot be
// written. Each time the user sees one clear Russian reason, nothing crashes or hangs, the window
// goes on with what needs no server, and the store file keeps every byte.
#include <QtTest>

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>

#include <sys/types.h>
#include <unistd.h>
#include <csignal>

#include "../support/FaultPlayback.h"
#include "../support/PlayerFixture.h"
#include "../support/StoreDamage.h"
#include "app/ui/TSymbolButton.h"
#include "automation/TTelvikaAutomation.h"
#include "common/OleDate.h"
#include "settings/SettingsFile.h"

using telvika::TDateTime;
using namespace telvika::testing;

using fault::ManualClock;
using fault::playsOn;
using fault::processesNaming;

namespace {

// How long the client waits for a server it started; a start-up makes two such attempts.
constexpr int ClientStartWaitMs = 60000;

}  // namespace

class TestFaultStore : public QObject {
    Q_OBJECT
private:
    TPlayerFixture fx{QStringLiteral("store")};
    QByteArray soundStore_;    // the admin tool's store, as generated
    QList<qint64> telemetry_;  // its pages of telemetry rows and index

    QString storePath() const {
        return QDir(fx.dataDir.path()).filePath(QStringLiteral("telvika-server.db"));
    }

    void writeSettings() { fault::writeSettings(fx.appDir.path()); }

    // Starts a window on the store as it is now and waits, no longer than the client's two start
    // attempts, for the start-up to give up: the start-up message, then the failure's own message.
    std::unique_ptr<TForm1> windowOnRefusedStore() {
        fx.dialogs.calls.clear();
        auto w = std::make_unique<TForm1>(fx.environment());
        w->show();
        const bool settled = QTest::qWaitFor([&] { return w->StartupDone && fx.dialogs.calls.size() >= 2; },
                                             2 * ClientStartWaitMs + 20000);
        if (!settled) qWarning() << "the start-up did not give up within the client's waits";
        QTest::qWait(300);  // a third message, if any, would arrive now
        return w;
    }

    // What the user sees after a refused store: the start-up message and one reason, in Russian,
    // naming the file or folder; the window open, empty and usable; no server left running.
    void checkRefusal(TForm1& w, const QString& reasonFragment, const QString& named,
                      const QString& rawSqliteText) {
        QCOMPARE(fx.dialogs.calls.size(), 2);
        QCOMPARE(fx.dialogs.calls[0].kind, QStringLiteral("message"));
        QCOMPARE(fx.dialogs.calls[0].text, QStringLiteral("Ошибка запуска ПО Telvika"));
        QCOMPARE(fx.dialogs.calls[0].caption, QStringLiteral("Ошибка"));
        const QString reason = fx.dialogs.calls[1].text;
        QCOMPARE(fx.dialogs.calls[1].kind, QStringLiteral("exception"));
        QVERIFY2(reason.contains(QStringLiteral("Не удалось подключиться к серверу Telvika")),
                 qPrintable(reason));
        QVERIFY2(reason.contains(reasonFragment), qPrintable(reason));
        QVERIFY2(reason.contains(named), qPrintable(reason));
        if (!rawSqliteText.isEmpty()) QVERIFY2(!reason.contains(rawSqliteText), qPrintable(reason));
        qInfo() << "reported:" << reason;

        QVERIFY(w.isVisible());
        QVERIFY(w.StartupDone);
        QVERIFY(!w.SettingsLoaded);
        QCOMPARE(w.cmbGroupName->count(), 0);
        QVERIFY(processesNaming(fx.dataDir.path()).isEmpty());

        // What needs no server still works, without another message: the speed box sets the
        // replay speed, a new period with no group asks nothing, Play with no track does nothing.
        w.cmbSpeed->lineEdit()->setText(QStringLiteral("60x"));
        emit w.cmbSpeed->lineEdit()->textEdited(QStringLiteral("60x"));
        QCOMPARE(w.data.SpeedFactor, 60);
        QCOMPARE(w.Timer1->interval(), 16);
        w.DateBegin->setDate(w.DateBegin->date().addDays(-1));
        w.DateTimeChange();
        QVERIFY(!w.data.OwnComputing);
        w.btnPlay->click();
        QVERIFY(!w.Timer1->isActive());
        QCOMPARE(fx.dialogs.calls.size(), 2);

        // The settings dialog opens; closing it relists the trips, which needs the server: it is
        // tried again and the same reason is shown once more.
        bool settingsShown = false;
        w.execSettingsDialog = [&](QDialog&) {
            settingsShown = true;
            return 0;
        };
        w.btnSettings->click();
        QVERIFY(settingsShown);
        QCOMPARE(w.cmbInfoPoints->itemText(0), QStringLiteral("Список рейсов"));
        QCOMPARE(fx.dialogs.calls.size(), 3);
        QCOMPARE(fx.dialogs.calls[2].kind, QStringLiteral("exception"));
        QVERIFY2(fx.dialogs.calls[2].text.contains(reasonFragment), qPrintable(fx.dialogs.calls[2].text));
        QVERIFY(processesNaming(fx.dataDir.path()).isEmpty());
    }

    // Closes the window and checks that the settings it never read were not written over.
    void closeKeepingSettings(std::unique_ptr<TForm1> w) {
        const QByteArray settings = fx.readAppFile(QStringLiteral("TVSettings.xml"));
        w->close();
        w.reset();
        QCOMPARE(fx.readAppFile(QStringLiteral("TVSettings.xml")), settings);
    }

private slots:
    void initTestCase() {
        const QString chart = QDir(fx.dataDir.path()).filePath(QStringLiteral("demo-town.chart"));
        QVERIFY(fx.seedDemo({QStringLiteral("--chart"), chart}));
        soundStore_ = fileBytes(storePath());
        QVERIFY(soundStore_.size() > 100 * 4096);
        telemetry_ = telemetryPages(storePath());  // empty where SQLite has no page statistics
        QCOMPARE(fileBytes(storePath()), soundStore_);
        QVERIFY(
            fx.writeAppFile(QStringLiteral("MapList.ini"),
                            QStringLiteral("[MapList]\r\nMapCount=1\r\nMap1=%1\r\n").arg(chart).toUtf8()));
    }

    void init() {
        // A server left by a failed case (it names the fixture's folder) goes first, then the
        // store comes back as generated, without the files SQLite keeps beside it.
        for (qint64 pid : processesNaming(fx.dataDir.path())) ::kill(pid_t(pid), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(processesNaming(fx.dataDir.path()).isEmpty(), 10000);
        for (const char* suffix : {"-wal", "-shm", "-journal"})
            QFile::remove(storePath() + QLatin1String(suffix));
        QVERIFY(writeBytes(storePath(), soundStore_));
        writeSettings();
    }

    // Start-up on a store whose pages are damaged: the server's reason reaches the user.
    void startupOnDamagedPages() {
        QVERIFY(damageMiddlePages(storePath()));
        const QByteArray before = hashOf(storePath());
        auto w = windowOnRefusedStore();
        checkRefusal(*w, QStringLiteral("повреждена"), storePath(), QString());
        if (QTest::currentTestFailed()) return;
        closeKeepingSettings(std::move(w));
        QCOMPARE(hashOf(storePath()), before);
    }

    // The store damaged while a track plays. The running server has read it already, so it is
    // killed after the damage: the next call that needs a server starts one, which meets the check.
    void damagedWhilePlaying() {
        ManualClock clock;
        TPlayerEnvironment env = fx.environment();
        env.hold = [](int) {};
        fx.dialogs.calls.clear();
        auto w = fx.startedWindow(env, 120000);
        QVERIFY(w->StartupDone);
        QTRY_VERIFY_WITH_TIMEOUT(!w->data.OwnComputing && w->ListView1->topLevelItemCount() > 0, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(w->data.TrackPointCount > 10, 30000);
        QVERIFY2(fx.dialogs.calls.isEmpty(),
                 fx.dialogs.calls.isEmpty() ? "" : qPrintable(fx.dialogs.calls[0].text));
        QVERIFY(w->cmbCarDevice->count() >= 2);
        w->btnPlay->click();
        QVERIFY(w->Timer1->isActive());
        w->Timer1->stop();  // the test ticks by hand
        w->data.PlayTime = w->data.TrackData.time(0);

        QVERIFY(damageMiddlePages(storePath()));
        const QList<qint64> servers = processesNaming(fx.dataDir.path());
        QCOMPARE(servers.size(), 1);
        QCOMPARE(::kill(pid_t(servers[0]), SIGKILL), 0);
        QTRY_VERIFY_WITH_TIMEOUT(processesNaming(fx.dataDir.path()).isEmpty(), 10000);
        const QByteArray damaged = hashOf(storePath());
        QTRY_VERIFY_WITH_TIMEOUT(!w->data.TrackingServer->IsConnected(), 10000);  // the client saw it go

        playsOn(*w, clock);
        if (QTest::currentTestFailed()) return;
        const int rows = w->ListView1->topLevelItemCount();
        const int quietSoFar = fx.dialogs.calls.size();
        QVERIFY(quietSoFar <= 1);  // at most the lost connection, nothing about the store yet

        // Another vehicle needs the server: one message with the store's reason, and no request
        // left pending as if it had gone out.
        w->cmbCarDevice->setCurrentIndex(1);
        emit w->cmbCarDevice->activated(1);
        QTRY_VERIFY_WITH_TIMEOUT(fx.dialogs.calls.size() > quietSoFar, ClientStartWaitMs + 20000);
        QTest::qWait(300);
        QCOMPARE(fx.dialogs.calls.size(), quietSoFar + 1);
        const QString reason = fx.dialogs.calls.last().text;
        QCOMPARE(fx.dialogs.calls.last().kind, QStringLiteral("exception"));
        QVERIFY2(reason.contains(QStringLiteral("повреждена")), qPrintable(reason));
        QVERIFY2(reason.contains(storePath()), qPrintable(reason));
        QVERIFY(!w->data.OwnComputing);
        QVERIFY(processesNaming(fx.dataDir.path()).isEmpty());

        // The loaded trip is still there and still plays.
        QCOMPARE(w->ListView1->topLevelItemCount(), rows);
        QVERIFY(w->data.TrackPointCount > 10);
        playsOn(*w, clock);
        w->close();
        QCOMPARE(hashOf(storePath()), damaged);
    }

    // The telemetry pages damaged under a running server that has checked the store already: the
    // computation of another vehicle fails on them, and the user is told so instead of being shown
    // an empty trips list as if the vehicle had not moved.
    void damagedUnderARunningServer() {
        if (telemetry_.size() < 100)
            QSKIP("this SQLite has no page statistics (dbstat) to find the telemetry pages");
        fx.dialogs.calls.clear();
        auto w = fx.startedWindow(fx.environment(), 120000);
        QVERIFY(windowSettled(*w));  // no computation of the start-up left to fail on the damage
        QVERIFY(w->data.TrackPointCount > 10);
        QVERIFY(fx.dialogs.calls.isEmpty());
        const QList<qint64> servers = processesNaming(fx.dataDir.path());
        QCOMPARE(servers.size(), 1);

        QVERIFY(damagePages(storePath(), telemetry_));
        const QByteArray damaged = hashOf(storePath());
        w->cmbCarDevice->setCurrentIndex(1);
        emit w->cmbCarDevice->activated(1);
        QTRY_VERIFY_WITH_TIMEOUT(!fx.dialogs.calls.isEmpty(), 60000);
        QTest::qWait(300);
        QStringList said;
        for (const auto& c : fx.dialogs.calls) said << c.text;
        QVERIFY2(fx.dialogs.calls.size() == 1, qPrintable(said.join(QStringLiteral(" | "))));
        const QString reason = fx.dialogs.calls[0].text;
        QCOMPARE(fx.dialogs.calls[0].kind, QStringLiteral("exception"));
        QVERIFY2(reason.contains(QStringLiteral("Расчёт не выполнен")), qPrintable(reason));
        QVERIFY2(reason.contains(QStringLiteral("повреждена")), qPrintable(reason));
        QVERIFY(!w->data.OwnComputing);

        // The server goes on serving what is sound, and the same server is still the one.
        QCOMPARE(processesNaming(fx.dataDir.path()), servers);
        QVERIFY(w->cmbGroupName->count() > 0);
        w->close();
        w.reset();
        QVERIFY(fx.adminOk({QStringLiteral("close")}));
        QTRY_VERIFY_WITH_TIMEOUT(processesNaming(fx.dataDir.path()).isEmpty(), 20000);
        QCOMPARE(hashOf(storePath()), damaged);
    }

    void notAStoreAtAll_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("rawSqliteText");
        QByteArray garbage(64 * 1024, '\0');
        for (int i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 131 + 7) % 253);
        QTest::newRow("garbage") << garbage << QStringLiteral("не является базой данных")
                                 << QStringLiteral("file is not a database");
        QTest::newRow("zero bytes") << QByteArray() << QStringLiteral("пуст") << QString();
        QByteArray text = "Это текстовый файл, а не база.\n";
        QTest::newRow("text") << text.repeated(200) << QStringLiteral("не является базой данных")
                              << QStringLiteral("file is not a database");
    }

    // A file that is no store at all: refused with its reason, and left exactly as it was (an
    // empty file is not taken for a new store).
    void notAStoreAtAll() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QFETCH(QString, rawSqliteText);
        QVERIFY(writeBytes(storePath(), bytes));
        auto w = windowOnRefusedStore();
        checkRefusal(*w, reason, storePath(), rawSqliteText);
        if (QTest::currentTestFailed()) return;
        closeKeepingSettings(std::move(w));
        QCOMPARE(fileBytes(storePath()), bytes);
    }

    // A data folder the server cannot write into: refused with that reason, the store untouched.
    // Runs last: as root it takes the permission override away from the servers started after it.
    void unwritableDataFolder() {
        if (::geteuid() == 0) {
#if defined(Q_OS_LINUX)
            if (!dropPermissionOverrideForChildren())
                QSKIP("root, and its permission override cannot be dropped");
#else
            QSKIP("root writes into any folder");
#endif
        }
        const QString folder = fx.dataDir.path();
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        const auto restore = qScopeGuard(
            [&] { QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
        const QByteArray before = hashOf(storePath());
        auto w = windowOnRefusedStore();
        checkRefusal(*w, QStringLiteral("недоступна для записи"), folder,
                     QStringLiteral("attempt to write a readonly database"));
        if (QTest::currentTestFailed()) return;
        closeKeepingSettings(std::move(w));
        QCOMPARE(hashOf(storePath()), before);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot).size(), 2);  // store and chart
    }

    void cleanupTestCase() {
        fx.closeServer();
    }
};

QTEST_MAIN(TestFaultStore)
#include "tst_fault_store.moc"
