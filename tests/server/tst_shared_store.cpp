// Several servers on one PostgreSQL store, as in an office: online data sent to one server reaches
// the clients of another, which then computes with it; a fleet change made with the admin tool
// reaches the clients of both. And the faults of a database server: unreachable at start, lost
// while running and back again.
#include "../automation/Fixture.h"
#include "../automation/ServerProcess.h"
#include "../support/StoreKinds.h"
#include "ServerConnection.h"
#include "TTelvikaAutomation.h"
#include "common/DateText.h"
#include "common/Error.h"
#include "common/OleDate.h"
#include "compute/UtcTime.h"
#include "store/Store.h"

#include <QCborMap>
#include <QDateTime>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace telvika;
using namespace telvika::testing;
using namespace telvika::server;

namespace {

// A drive of device 102 yesterday from 10:00, a point a minute at 40 km/h: one trip.
QCborArray onlineDrive(int points) {
    const double start = std::floor(oleNow()) - 1.0 + 10.0 / 24.0;
    QCborArray out;
    for (int i = 0; i < points; ++i) {
        QCborMap p;
        p.insert(QStringLiteral("device"), 102);
        p.insert(QStringLiteral("time"), start + i / 1440.0);
        p.insert(QStringLiteral("lat"), 55.70);
        p.insert(QStringLiteral("lon"), 37.50 + i * 0.0106);
        p.insert(QStringLiteral("speed"), 40.0);
        out.append(p);
    }
    return out;
}

QCborValue callServer(const QString& socket, const QString& op, const QCborArray& args = {}) {
    automation::ServerConnection connection;
    automation::ServerStart start;
    start.enabled = false;
    connection.open(socket, start);
    return connection.call(op, args);
}

bool cluster(const char* action) {
    return QProcess::execute(QStringLiteral("pg_ctlcluster"),
                             {qEnvironmentVariable("PGVERSION"), QStringLiteral("regress"), QLatin1String(action),
                              QStringLiteral("-m"), QStringLiteral("fast")}) == 0;
}

}  // namespace

class TestSharedStore : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString store_;
    std::unique_ptr<ServerProcess> a_, b_;
    QString socketA_ = uniqueSocketName(), socketB_ = uniqueSocketName();

    std::unique_ptr<TTelvikaAutomation> clientOf(const QString& socket) {
        auto c = std::make_unique<TTelvikaAutomation>(nullptr, socket, serverProgram());
        c->SetAutoStart(false);
        c->Start();
        return c;
    }

    // Computes yesterday's 10:00 to 12:00 for device 102 and waits for this computation's end.
    int tripsOfDrive(TTelvikaAutomation& client) {
        const double day = std::floor(oleNow()) - 1.0;
        QSignalSpy ended(&client, &TTelvikaAutomation::OnEndComputing);
        client.StartComputing(QStringLiteral("grp-north"), 102, formatFixedDateTime(day + 10.0 / 24.0),
                              formatFixedDateTime(day + 12.0 / 24.0), QStringLiteral("GSM"), 1);
        if (!QTest::qWaitFor([&] { return client.ComputingState() == 0 && client.ComputedCarID() == 102 && ended.count() > 0; },
                             30000))
            return -1;
        return client.TripsCount();
    }

private slots:
    void initTestCase() {
        const QString why = postgresUnavailable();
        if (!why.isEmpty()) QFAIL(qPrintable(why));
        store_ = newPostgresStore(QStringLiteral("office"));
        writeFixture(store_);
        a_ = std::make_unique<ServerProcess>(socketA_, dir_.filePath(QStringLiteral("a")), QStringList{QStringLiteral("--store"), store_});
        b_ = std::make_unique<ServerProcess>(socketB_, dir_.filePath(QStringLiteral("b")), QStringList{QStringLiteral("--store"), store_});
        QVERIFY(a_->start());
        QVERIFY(b_->start());
    }

    void onlineDataAtOneServerReachesTheClientsOfAnother() {
        auto client = clientOf(socketB_);
        QCOMPARE(tripsOfDrive(*client), 0);
        QSignalSpy online(client.get(), &TTelvikaAutomation::OnReceiveOnlineData);
        callServer(socketA_, QStringLiteral("AdminOnline"), onlineDrive(30));
        QTRY_VERIFY_WITH_TIMEOUT(online.count() >= 1, 10000);
        QCOMPARE(tripsOfDrive(*client), 1);
        client->SetTripIndex(1);
        QVERIFY(client->TrackPointsCount() > 1);
    }

    void fleetChangeByTheAdminToolReachesEveryServer() {
        auto clientA = clientOf(socketA_);
        auto clientB = clientOf(socketB_);
        QSignalSpy carsA(clientA.get(), &TTelvikaAutomation::OnChangeCarsList);
        QSignalSpy carsB(clientB.get(), &TTelvikaAutomation::OnChangeCarsList);
        QCOMPARE(QProcess::execute(adminProgram(), {QStringLiteral("--store"), store_, QStringLiteral("--socket"),
                                                    uniqueSocketName(), QStringLiteral("add-group"),
                                                    QStringLiteral("grp-east"), QStringLiteral("Восток")}),
                 0);
        QTRY_VERIFY_WITH_TIMEOUT(carsA.count() == 1 && carsB.count() == 1, 10000);
        QCOMPARE(clientB->GroupsCount(), 3);
    }

    // A database of the first schema kept a row per point: opened, its points are packed into
    // blocks, each month in a partition of the same name, and read back as they were.
    void rowsOfTheFirstSchemaAreMovedIntoBlocks() {
        const QString location = newPostgresStore(QStringLiteral("rows"));
        const QString database = location.mid(QStringLiteral("postgresql:///").size());
        {
            Store fresh(location);
            fresh.addGroup({QStringLiteral("g"), QStringLiteral("G")});
            for (int device : {7, 8}) fresh.addVehicle({device, QStringLiteral("g"), QStringLiteral("A"), QStringLiteral("N"), QString(), 0, 0, 0});
        }
        QCOMPARE(onCluster({QStringLiteral("DROP TABLE telemetry_blocks"), QStringLiteral("DELETE FROM schema_version WHERE version > 1"),
                            QStringLiteral("CREATE TABLE telemetry (device integer NOT NULL, time timestamptz NOT NULL, lat "
                                           "double precision NOT NULL, lon double precision NOT NULL, speed double precision "
                                           "NOT NULL, odometer double precision NOT NULL, gps_valid boolean NOT NULL, ext_power "
                                           "boolean NOT NULL, tank1 double precision, tank2 double precision, sensors smallint "
                                           "NOT NULL, PRIMARY KEY (device, time)) PARTITION BY RANGE (time)"),
                            QStringLiteral("CREATE TABLE telemetry_2025_06 PARTITION OF telemetry FOR VALUES FROM ('2025-06-01 "
                                           "00:00+00') TO ('2025-07-01 00:00+00')"),
                            QStringLiteral("CREATE TABLE telemetry_2025_07 PARTITION OF telemetry FOR VALUES FROM ('2025-07-01 "
                                           "00:00+00') TO ('2025-08-01 00:00+00')"),
                            QStringLiteral("INSERT INTO telemetry VALUES (7, '2025-06-30 23:59:59.250+00', 55.5, 37.25, 12.5, "
                                           "1000.5, true, false, NULL, 20.125, 5), (7, '2025-06-30 22:10:00+00', 55.4, 37.2, 0, "
                                           "900, false, true, 3.5, NULL, 0), (7, '2025-07-01 00:00:00+00', 55.6, 37.3, 40, 1100, "
                                           "true, true, NULL, NULL, 63), (8, '2025-06-30 23:00:00+00', 50, 30, 1, 2, true, true, "
                                           "NULL, NULL, 0)")},
                           database),
                 QString());
        Store s(location);
        QCOMPARE(s.telemetryCount(7), 3);
        const double june30 = utcFromEpochSeconds(QDateTime(QDate(2025, 6, 30), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch());
        const QVector<TelemetryPoint> t = s.telemetry(7, june30, june30 + 2);
        QCOMPARE(t.size(), 3);
        QCOMPARE(storedSeconds(t[0].time), storedSeconds(june30 + 22 / 24.0 + 10 / 1440.0));
        QCOMPARE(storedSeconds(t[1].time), storedSeconds(june30 + 1 - 0.75 / 86400.0));
        QCOMPARE(storedSeconds(t[2].time), storedSeconds(june30 + 1));
        QVERIFY(!t[0].gpsValid && t[0].externalPower && t[0].tank1 == 3.5 && std::isnan(t[0].tank2));
        QVERIFY(t[1].gpsValid && !t[1].externalPower && std::isnan(t[1].tank1) && t[1].tank2 == 20.125);
        QVERIFY(t[1].lat == 55.5 && t[1].lon == 37.25 && t[1].speedKmh == 12.5 && t[1].odometerM == 1000.5);
        QCOMPARE(t[1].sensors, quint8(5));
        QCOMPARE(t[2].sensors, quint8(63));
        QCOMPARE(s.telemetry(8, june30, june30 + 2).size(), 1);
        QCOMPARE(s.appendTelemetry(7, {t[2]}).alreadyStored, 1);
        QCOMPARE(onCluster({QStringLiteral("ALTER TABLE telemetry_blocks DETACH PARTITION telemetry_2025_06")}, database), QString());
        QCOMPARE(s.telemetryCount(7), 1);
    }

    // A block damaged in the database is an error with its reason, never points made up of it.
    void damagedBlockIsRefused() {
        const QString location = newPostgresStore(QStringLiteral("damaged"));
        const QString database = location.mid(QStringLiteral("postgresql:///").size());
        Store s(location);
        s.addGroup({QStringLiteral("g"), QStringLiteral("G")});
        s.addVehicle({1, QStringLiteral("g"), QStringLiteral("A"), QStringLiteral("N"), QString(), 0, 0, 0});
        const double day = utcFromEpochSeconds(QDateTime(QDate(2025, 6, 1), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch());
        QVector<TelemetryPoint> track(10);
        for (int i = 0; i < track.size(); ++i) track[i].time = day + i / 86400.0;
        s.appendTelemetry(1, track);
        // A record repeated at the end, its instant not rising; then a record cut short.
        for (const char* damage : {"UPDATE telemetry_blocks SET count = count + 1, points = points || substring(points FROM 1 FOR 59)",
                                   "UPDATE telemetry_blocks SET points = substring(points FROM 2)"}) {
            QCOMPARE(onCluster({QString::fromLatin1(damage)}, database), QString());
            try {
                const QVector<TelemetryPoint> read = s.telemetry(1, day, day + 1);
                QFAIL(qPrintable(QStringLiteral("%1 points read").arg(read.size())));
            } catch (const Error& e) {
                QVERIFY2(e.message().contains(QStringLiteral("повреждён")), qPrintable(e.message()));
            }
        }
    }

    void unreachableDatabaseStopsTheStartWithItsHostAndReason() {
        QTcpServer closed;  // a port that nothing listens on once this is closed
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        QProcess server;
        server.start(serverProgram(), {QStringLiteral("--socket"), uniqueSocketName(), QStringLiteral("--data"),
                                       dir_.filePath(QStringLiteral("c")), QStringLiteral("--store"),
                                       QStringLiteral("postgresql://127.0.0.1:%1/fleet").arg(port)});
        QVERIFY(server.waitForFinished(30000));
        QCOMPARE(server.exitCode(), 1);
        const QString message = QString::fromUtf8(server.readAllStandardError());
        QVERIFY2(message.contains(QStringLiteral("127.0.0.1:%1").arg(port)), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("не принимает подключения")), qPrintable(message));
    }

    // Last: the cluster goes down and comes back.
    void lostDatabaseRefusesRequestsAndOnlineDataUntilItIsBack() {
        auto client = clientOf(socketA_);
        const int groups = client->GroupsCount();
        QVERIFY(cluster("stop"));
        try {
            client->GroupsCount();
            QFAIL("a request was answered without the database");
        } catch (const Error& e) {
            QVERIFY2(e.message().contains(QStringLiteral("Нет связи с базой данных PostgreSQL")) ||
                         e.message().contains(QStringLiteral("нет связи с базой данных PostgreSQL")),
                     qPrintable(e.message()));
        }
        QVERIFY_THROWS_EXCEPTION(Error, callServer(socketA_, QStringLiteral("AdminOnline"), onlineDrive(40)));
        QVERIFY(cluster("start"));
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     try {
                                         return client->GroupsCount() == groups;
                                     } catch (const Error&) {
                                         return false;
                                     }
                                 }()),
                                 60000);
        // The refused batch was not stored: ten of its forty points are new now, the rest were
        // stored before the loss.
        server::Store store(store_);
        QCOMPARE(store.telemetryCount(102), 30);
        callServer(socketA_, QStringLiteral("AdminOnline"), onlineDrive(40));
        QCOMPARE(store.telemetryCount(102), 40);
        QCOMPARE(store.telemetryCount(101), 122);  // the fixture's two hours, kept
    }

    void cleanupTestCase() {
        a_.reset();
        b_.reset();
    }
};

QTEST_GUILESS_MAIN(TestSharedStore)
#include "tst_shared_store.moc"
