// The demo fleet through the real server: an empty data folder is seeded on the server's first
// start, and a client computes vehicles of the demo fleet over the generated fortnight.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "../automation/ServerProcess.h"
#include "TTelvikaAutomation.h"
#include "common/DateText.h"
#include "common/Error.h"
#include "common/OleDate.h"
#include "store/Store.h"

using namespace telvika;
using namespace telvika::testing;

class TestDemoServer : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString socket_;
    std::unique_ptr<QProcess> server_;

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        socket_ = uniqueSocketName();
        server_ = std::make_unique<QProcess>();
        server_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // No --no-demo: an empty store gets the demo fleet and town.
        server_->start(serverProgram(), {QStringLiteral("--socket"), socket_, QStringLiteral("--data"), dir_.path(),
                                         QStringLiteral("--live"), QStringLiteral("1")});
        QVERIFY(server_->waitForStarted(5000));
    }

    void cleanupTestCase() {
        server_->terminate();
        if (!server_->waitForFinished(10000)) server_->kill();
    }

    void demoVehiclesCompute() {
        TTelvikaAutomation c(nullptr, socket_, serverProgram());
        c.SetAutoStart(false);
        c.SetCallTimeout(60000);
        bool connected = false;
        QString failure;
        for (int i = 0; i < 600 && !connected; ++i) {  // seeding takes a few seconds
            try {
                c.Start();
                connected = true;
            } catch (const std::exception& e) {
                failure = messageOf(e);
                QTest::qWait(100);
            }
        }
        QVERIFY2(connected, qPrintable(failure));
        QVERIFY(QFile::exists(dir_.filePath(QStringLiteral("demo-town.chart"))));
        QVERIFY(c.GroupsCount() >= 8);
        c.SetGroupIndex(8);
        const QString group = c.GroupID();
        c.SetSelectedGroupID(group);
        QVERIFY(c.CarsCount() >= 3);

        const double now = oleNow();
        QHash<QString, int> entries;
        int trips = 0;
        for (int car = 1; car <= 2; ++car) {
            c.SetCarIndex(car);
            const int device = c.CarDevice();
            QSignalSpy ended(&c, &TTelvikaAutomation::OnEndComputing);
            c.StartComputing(group, device, formatFixedDateTime(now - 14.0), formatFixedDateTime(now + 1.0),
                             QStringLiteral("GSM"), 1);
            QVERIFY(ended.wait(60000));
            // A refresh that this new client missed may end first, while this request still runs.
            QTRY_COMPARE_WITH_TIMEOUT(c.ComputingState(), 0, 120000);
            QVERIFY(c.TripsCount() >= 5);
            trips += c.TripsCount();
            for (int t = 1; t <= c.TripsCount(); ++t) {
                c.SetTripIndex(t);
                QVERIFY(c.TrackPointsCount() > 10);
                QVERIFY(c.TrackCrdsString().count(QLatin1Char(',')) == c.TrackPointsCount() - 1);
                QVERIFY(QRegularExpression(QStringLiteral("^(\\d+ )?\\d\\d:\\d\\d:\\d\\d$")).match(c.TripDuration()).hasMatch());
                for (const char* query : {"parks", "checkpoints-stages", "over_speed", "tank-num1"}) {
                    const QStringList parts = QString::fromLatin1(query).split(QLatin1Char('-'));
                    c.SetTripEntriesListTypeName(parts[0]);
                    if (parts.size() > 1) c.SetTripEntriesListKindName(parts[1]);
                    entries[QString::fromLatin1(query)] += c.TripEntriesCount();
                }
            }
        }
        qInfo() << "trips" << trips << entries;
        QVERIFY(entries.value(QStringLiteral("parks")) > 10);
        QVERIFY(entries.value(QStringLiteral("checkpoints-stages")) > 10);
    }

    // Live mode keeps the fleet going: new points arrive as online data (202), each followed by
    // exactly one refreshed result (205). Parked vehicles report sparsely, so allow a while.
    void liveModeSendsOnlineData() {
        TTelvikaAutomation c(nullptr, socket_, serverProgram());
        c.SetAutoStart(false);
        c.SetCallTimeout(60000);
        c.Start();
        QSignalSpy online(&c, &TTelvikaAutomation::OnReceiveOnlineData);
        QSignalSpy ended(&c, &TTelvikaAutomation::OnEndComputing);
        QVERIFY(online.wait(120000));
        QTRY_VERIFY_WITH_TIMEOUT(ended.count() >= online.count(), 30000);
        QTest::qWait(200);
        QVERIFY(ended.count() <= online.count() + 1);  // one 205 per 202 (one may be under way)
        QTRY_COMPARE_WITH_TIMEOUT(c.ComputingState(), 0, 60000);
    }

    // A stop asked for while the empty store is being seeded waits for the seeding: the server
    // then closes normally and leaves the whole demo behind (or, stopped harder, an empty store
    // that the next start seeds again).
    void stopDuringSeedingLeavesAWholeStore() {
        QTemporaryDir dir;
        QProcess server;
        server.start(serverProgram(), {QStringLiteral("--socket"), uniqueSocketName(), QStringLiteral("--data"), dir.path()});
        QVERIFY(server.waitForStarted(5000));
        server.setReadChannel(QProcess::StandardError);
        QByteArray said;
        while (!said.contains("создаю демонстрационный парк") && server.waitForReadyRead(20000))
            said += server.readAllStandardError();
        QVERIFY2(said.contains("создаю демонстрационный парк"), said.constData());
        server.terminate();
        QVERIFY(server.waitForFinished(120000));
        QCOMPARE(server.exitStatus(), QProcess::NormalExit);
        QCOMPARE(server.exitCode(), 0);
        server::Store store(dir.filePath(QStringLiteral("telvika-server.db")));
        QVERIFY(store.groups().size() >= 8);
        QVERIFY(!store.meta(QStringLiteral("demo_end")).isEmpty());
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("demo-town.chart"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("demo-town.chart.part"))));
    }
};

QTEST_MAIN(TestDemoServer)
#include "tst_demo_server.moc"
