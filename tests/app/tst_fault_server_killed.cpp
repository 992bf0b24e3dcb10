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

#include "../support/PlayerFixture.h"
#include "app/ui/TSymbolButton.h"
#include "common/OleDate.h"
#include "settings/SettingsFile.h"

using telvika::TDateTime;

namespace {

// A wall clock the test moves by hand.
struct ManualClock {
    TDateTime now = telvika::oleNow();
    ManualClock() {
        telvika::setNowSource([this] { return now; });
    }
    ~ManualClock() { telvika::setNowSource({}); }
    void advanceSeconds(double s) { now += s / 86400.0; }
};

// The processes whose command line names the folder: the fixture's server (the admin tool has
// exited by then).
QList<qint64> processesNaming(const QString& folder) {
    QProcess p;
    p.start(QStringLiteral("pgrep"), {QStringLiteral("-f"), QStringLiteral("--"), folder});
    p.waitForFinished(10000);
    QList<qint64> pids;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
        if (!line.trimmed().isEmpty()) pids << line.trimmed().toLongLong();
    pids.removeAll(QCoreApplication::applicationPid());
    return pids;
}

// Ticks by hand: five moves of the wall clock; each must move the moment and the track bar on.
void playsOn(TForm1& w, ManualClock& clock) {
    TDateTime last = w.data.PlayTime;
    int position = w.TrackBar->value();
    for (int i = 0; i < 5; ++i) {
        clock.advanceSeconds(0.5);  // 300 s of track time at 600x
        w.Timer1Timer();
        QVERIFY(w.data.PlayTime > last);
        QVERIFY(w.TrackBar->value() > position);
        last = w.data.PlayTime;
        position = w.TrackBar->value();
    }
}

}  // namespace

class TestFaultServerKilled : public QObject {
    Q_OBJECT
private:
    TPlayerFixture fx{QStringLiteral("killed")};

    // Group 0, vehicle 0, the last three days at 600x, stops not skipped. Written before each
    // window, because a window saves its own selection when it closes.
    void writeSettings() {
        const QDateTime now = QDateTime::currentDateTime();
        telvika::TSettingsValues v = telvika::defaultSettingsValues();
        v.GroupID = 0;
        v.CarID = 0;
        v.DateTimeBegin = QDateTime(now.date().addDays(-3), QTime(0, 0));
        v.DateTimeEnd = QDateTime(now.date().addDays(1), QTime(0, 0));
        v.Speed = QStringLiteral("600x");
        v.Stops = false;
        v.Cont = QStringLiteral("0");
        QString error;
        QVERIFY2(telvika::writeSettingsFile(QDir(fx.appDir.path()).filePath(QStringLiteral("TVSettings.xml")), v,
                                            &error),
                 qPrintable(error));
    }

private slots:
    void initTestCase() {
        const QString chart = QDir(fx.dataDir.path()).filePath(QStringLiteral("demo-town.chart"));
        // A week of data, so that the last three days always hold a whole working day (see the
        // acceptance test).
        QVERIFY(fx.adminOk({QStringLiteral("demo"), QStringLiteral("--chart"), chart, QStringLiteral("--days"),
                            QStringLiteral("7")}));
        const QDateTime now = QDateTime::currentDateTime();
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
