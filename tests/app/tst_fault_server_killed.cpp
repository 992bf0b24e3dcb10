// The tracking server killed during playback, against the real server process, the real map
// control with a real .chart and real settings: the loaded track keeps playing from the window's
// own copy, and the next action that needs the server (another vehicle) either restarts the
// server on demand and succeeds, or reports one clear error; nothing crashes. And the server
// closing itself during playback: the window forgets it, plays on, and nothing reconnects.
#include <QtTest>

#include <QComboBox>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <csignal>
#include <sys/types.h>

#include "../support/FaultPlayback.h"
#include "../support/PlayerFixture.h"
#include "app/ui/TSymbolButton.h"
#include "common/OleDate.h"
#include "settings/SettingsFile.h"

using telvika::TDateTime;

using fault::ManualClock;
using fault::playsOn;
using fault::processesNaming;

class TestFaultServerKilled : public QObject {
    Q_OBJECT
private:
    TPlayerFixture fx{QStringLiteral("killed")};

    void writeSettings() { fault::writeSettings(fx.appDir.path()); }

private slots:
    void initTestCase() {
        const QString chart = QDir(fx.dataDir.path()).filePath(QStringLiteral("demo-town.chart"));
        QVERIFY(fx.seedDemo({QStringLiteral("--chart"), chart}));
        QVERIFY(fx.writeAppFile(QStringLiteral("MapList.ini"),
                                QStringLiteral("[MapList]\r\nMapCount=1\r\nMap1=%1\r\n").arg(chart).toUtf8()));
        writeSettings();
    }

    void killedDuringPlayback() {
        ManualClock clock;
        TPlayerEnvironment env = fx.environment();
        env.hold = [](int) {};
        auto w = fx.startedWindow(env, 120000);
        QVERIFY(w->StartupDone);
        QTRY_VERIFY_WITH_TIMEOUT(!w->data.OwnComputing && w->ListView1->topLevelItemCount() > 0, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(w->data.TrackPointCount > 10, 30000);
        QVERIFY2(fx.dialogs.calls.isEmpty(), fx.dialogs.calls.isEmpty() ? "" : qPrintable(fx.dialogs.calls[0].text));
        QVERIFY(w->cmbCarDevice->count() >= 2);
        const TDateTime t0 = w->data.TrackData.time(0);

        w->btnPlay->click();
        QVERIFY(w->Timer1->isActive());
        w->Timer1->stop();  // the test ticks by hand

        // The server dies without a word.
        const QList<qint64> servers = processesNaming(fx.dataDir.path());
        QCOMPARE(servers.size(), 1);
        QCOMPARE(::kill(pid_t(servers[0]), SIGKILL), 0);
        QTRY_VERIFY_WITH_TIMEOUT(processesNaming(fx.dataDir.path()).isEmpty(), 10000);
        QTest::qWait(200);  // the client's socket sees the close

        // The loaded track keeps playing: the moment and the track bar move on every tick.
        w->data.PlayTime = t0;
        playsOn(*w, clock);
        QCOMPARE(w->data.TrackPointCount > 10, true);
        const int dialogsWhilePlaying = fx.dialogs.calls.size();
        QVERIFY(dialogsWhilePlaying <= 1);

        // The next action that needs the server: another vehicle. Either the server comes back on
        // demand and the request completes, or one clear message says what failed.
        w->cmbCarDevice->setCurrentIndex(1);
        emit w->cmbCarDevice->activated(1);
        QTRY_VERIFY_WITH_TIMEOUT((!w->data.OwnComputing && w->ListView1->topLevelItemCount() > 0) ||
                                     fx.dialogs.calls.size() > dialogsWhilePlaying,
                                 90000);  // longer than the client's 60 s wait for a server to start
        QTest::qWait(500);  // a second message, if any, would arrive now
        if (fx.dialogs.calls.size() > dialogsWhilePlaying) {
            QCOMPARE(fx.dialogs.calls.size(), dialogsWhilePlaying + 1);
            QVERIFY(!fx.dialogs.calls.last().text.trimmed().isEmpty());
            qInfo() << "reported:" << fx.dialogs.calls.last().text;
        } else {
            // A new server, started again on demand.
            const QList<qint64> now = processesNaming(fx.dataDir.path());
            QCOMPARE(now.size(), 1);
            QVERIFY(now[0] != servers[0]);
            QCOMPARE(w->cmbCarDevice->currentIndex(), 1);
            qInfo() << "the server was started again and the request completed";
        }
        if (dialogsWhilePlaying > 0) qInfo() << "while playing:" << fx.dialogs.calls.first().text;
    }

    // The server announces its closing (another user closes it) during playback: the window
    // forgets it, the loaded track plays on, and what needs the server does nothing, quietly,
    // without starting a server again.
    void closedDuringPlayback() {
        writeSettings();
        ManualClock clock;
        TPlayerEnvironment env = fx.environment();
        env.hold = [](int) {};
        fx.dialogs.calls.clear();
        auto w = fx.startedWindow(env, 120000);
        QTRY_VERIFY_WITH_TIMEOUT(!w->data.OwnComputing && w->ListView1->topLevelItemCount() > 0, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(w->data.TrackPointCount > 10, 30000);
        w->btnPlay->click();
        w->Timer1->stop();  // the test ticks by hand
        w->data.PlayTime = w->data.TrackData.time(0);

        QVERIFY(fx.adminOk({QStringLiteral("close")}));
        QTRY_VERIFY_WITH_TIMEOUT(w->data.TrackingServer == nullptr, 20000);
        QVERIFY(!w->ListView1->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(processesNaming(fx.dataDir.path()).isEmpty(), 20000);
        playsOn(*w, clock);

        w->cmbCarDevice->setCurrentIndex(1);
        emit w->cmbCarDevice->activated(1);
        w->ToolButton1->click();
        w->ToolButton2->click();
        QTest::qWait(500);
        QVERIFY2(fx.dialogs.calls.isEmpty(), fx.dialogs.calls.isEmpty() ? "" : qPrintable(fx.dialogs.calls[0].text));
        QVERIFY(processesNaming(fx.dataDir.path()).isEmpty());  // nothing reconnects
        QVERIFY(w->data.TrackPointCount > 10);
        w->close();
    }

    void cleanupTestCase() { fx.closeServer(); }
};

QTEST_MAIN(TestFaultServerKilled)
#include "tst_fault_server_killed.moc"
