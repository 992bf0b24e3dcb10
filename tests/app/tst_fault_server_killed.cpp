// The tracking server killed during playback, against the real server process, the real map
// control with a real .chart and real settings: the loaded track keeps playing from the window's
// own copy, and the next action that needs the server (another vehicle) either restarts the
// server on demand and succeeds, or reports one clear error; nothing crashes.
#include <QtTest>

#include <QComboBox>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>

#include <csignal>
#include <sys/types.h>

#include "../support/PlayerFixture.h"
#include "app/ui/TSymbolButton.h"
#include "common/OleDate.h"

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

QByteArray settings(const QString& begin, const QString& end) {
    QString xml = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\r\n"
        "<AppSettings xmlns=\"urn:telvika:player:settings\">\r\n<Settings>\r\n"
        "<LoadKT>false</LoadKT>\r\n<LoadIT>false</LoadIT>\r\n<IconNum>0</IconNum>\r\n<GroupID>0</GroupID>\r\n"
        "<CarID>0</CarID>\r\n<DateTimeBegin>%1</DateTimeBegin>\r\n<DateTimeEnd>%2</DateTimeEnd>\r\n"
        "<Speed>600x</Speed>\r\n<Stops>false</Stops>\r\n<Cont>0</Cont>\r\n<InfoPointsCount>13</InfoPointsCount>\r\n"
        "<InfoPoints>\r\n").arg(begin, end);
    const char* kinds[13][3] = {
        {"Контрольные точки", "checkpoints-stages", "IcC"}, {"Список остановок", "parks", "IcP"},
        {"Периоды отсутствия сигнала", "blinds", "IcV"}, {"Периоды пропадания питания", "power_off", "IcB"},
        {"Периоды превышения скорости", "over_speed", "IcS"}, {"Заправки и сливы бака №1", "tank-num1", "IcZ"},
        {"Заправки и сливы бака №2", "tank-num2", "IcZ"}, {"Включения датчика №1", "sensor_on-num1", "Ic1"},
        {"Включения датчика №2", "sensor_on-num2", "Ic2"}, {"Включения датчика №3", "sensor_on-num3", "Ic3"},
        {"Включения датчика №4", "sensor_on-num4", "Ic4"}, {"Включения датчика №5", "sensor_on-num5", "Ic5"},
        {"Включения датчика №6", "sensor_on-num6", "Ic6"}};
    for (int i = 0; i < 13; ++i)
        xml += QStringLiteral("<InfoPoints%1 name=\"%2\" VisibleList=\"true\" VisibleIcon=\"true\" query=\"%3\" "
                              "Icon=\"%4\" />\r\n")
                   .arg(i + 1)
                   .arg(QString::fromUtf8(kinds[i][0]), QString::fromUtf8(kinds[i][1]),
                        QString::fromUtf8(kinds[i][2]));
    xml += QStringLiteral("</InfoPoints>\r\n</Settings>\r\n</AppSettings>\r\n");
    return xml.toUtf8();
}

}  // namespace

class TestFaultServerKilled : public QObject {
    Q_OBJECT
private:
    TPlayerFixture fx{QStringLiteral("killed")};

private slots:
    void initTestCase() {
        const QString chart = QDir(fx.dataDir.path()).filePath(QStringLiteral("demo-town.chart"));
        QVERIFY(fx.adminOk({QStringLiteral("demo"), QStringLiteral("--chart"), chart, QStringLiteral("--days"),
                            QStringLiteral("2")}));
        const QDateTime now = QDateTime::currentDateTime();
        QVERIFY(fx.writeAppFile(QStringLiteral("MapList.ini"),
                                QStringLiteral("[MapList]\r\nMapCount=1\r\nMap1=%1\r\n").arg(chart).toUtf8()));
        QVERIFY(fx.writeAppFile(QStringLiteral("TVSettings.xml"),
                                settings(now.addDays(-3).toString(QStringLiteral("dd.MM.yyyy 00:00:00")),
                                         now.addDays(1).toString(QStringLiteral("dd.MM.yyyy 00:00:00")))));
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
        TDateTime last = t0;
        int position = w->TrackBar->value();
        for (int i = 0; i < 5; ++i) {
            clock.advanceSeconds(0.5);  // 300 s of track time at 600x
            w->Timer1Timer();
            QVERIFY(w->data.PlayTime > last);
            QVERIFY(w->TrackBar->value() > position);
            last = w->data.PlayTime;
            position = w->TrackBar->value();
        }
        QCOMPARE(w->data.TrackPointCount > 10, true);
        const int dialogsWhilePlaying = fx.dialogs.calls.size();
        QVERIFY(dialogsWhilePlaying <= 1);

        // The next action that needs the server: another vehicle. Either the server comes back on
        // demand and the request completes, or one clear message says what failed.
        w->cmbCarDevice->setCurrentIndex(1);
        emit w->cmbCarDevice->activated(1);
        QTRY_VERIFY_WITH_TIMEOUT((!w->data.OwnComputing && w->ListView1->topLevelItemCount() > 0) ||
                                     fx.dialogs.calls.size() > dialogsWhilePlaying,
                                 60000);
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

    void cleanupTestCase() { fx.closeServer(); }
};

QTEST_MAIN(TestFaultServerKilled)
#include "tst_fault_server_killed.moc"
