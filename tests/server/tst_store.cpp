// The server's store on real databases: every case on an SQLite file and on a PostgreSQL database,
// the cases about the file itself on SQLite alone.
#include "../compute/ZoneScope.h"
#include "../support/StoreKinds.h"
#include "common/Error.h"
#include "common/OleDate.h"
#include "compute/UtcTime.h"
#include "demo/DemoFleet.h"
#include "store/Store.h"
#include "store/TelemetryWriter.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <cmath>

using namespace telvika;
using namespace telvika::server;
using namespace telvika::testing;

namespace {
QByteArray fileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

TelemetryPoint point(double time, double lat, double lon) {
    TelemetryPoint p;
    p.speedKmh = 0.0;
    p.time = time;
    p.lat = lat;
    p.lon = lon;
    return p;
}

// Instant (UTC days) of a UTC date and time.
double instant(int y, int mo, int d, int h, int mi, int sec = 0) {
    return utcFromEpochSeconds(QDateTime(QDate(y, mo, d), QTime(h, mi, sec), QTimeZone::utc()).toSecsSinceEpoch());
}

bool sameMoment(double a, double b) { return std::fabs(a - b) * 86400.0 < 1e-3; }

QStringList telemetryDrive(int device, int count, double start) {
    QStringList rows;
    for (int i = 0; i < count; ++i)
        rows << QStringLiteral("INSERT INTO telemetry VALUES(%1, %2, 55.0, 37.0, 10, 0, 1, 1, NULL, NULL, 0)")
                    .arg(device)
                    .arg(start + i / 1440.0, 0, 'f', 10);
    return rows;
}

void rawSql(const QString& path, const QStringList& statements) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString& s : statements) QVERIFY2(q.exec(s), qPrintable(s));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
}
}  // namespace

class TestStore : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void initTestCase_data() { addStoreKinds(); }

    void fleetRoundTrip() {
        QFETCH_GLOBAL(QString, store);
        TELVIKA_FRESH_STORE(path, store, dir_, QStringLiteral("a/b/fleet.db"));  // folders are created
        {
            Store s(path);
            QVERIFY(s.isEmpty());
            s.addGroup({QStringLiteral("g2"), QStringLiteral("Вторая")});
            s.addGroup({QStringLiteral("g1"), QStringLiteral("Первая")});
            s.addVehicle({7, QStringLiteral("g1"), QStringLiteral("Б"), QStringLiteral("Х001ХХ"), QString(), 0, 0, 0});
            s.addVehicle({5, QStringLiteral("g1"), QStringLiteral("А"), QStringLiteral("Х002ХХ"), QStringLiteral("i"), 0, 0, 0});
            TelemetryPoint p = point(46000.5, 55.1, 37.2);
            p.tank1 = 41.5;  // tank 2 stays NaN: no such sensor
            p.sensors = 0b100101;
            p.gpsValid = false;
            s.appendTelemetry(7, {point(46000.25, 55.0, 37.0), p});
            s.addControlPoint(7, QStringLiteral("Набор"), {QStringLiteral("КП"), QStringLiteral("н"), 55, 37, 99.5});
            s.setMeta(QStringLiteral("demo_seed"), QStringLiteral("1"));
        }
        Store s(path);  // reopened: everything was committed
        QVERIFY(!s.isEmpty());
        const QVector<GroupRecord> groups = s.groups();
        QCOMPARE(groups.size(), 2);
        QCOMPARE(groups[0].id, QStringLiteral("g2"));  // insertion order, not by identifier
        const QVector<VehicleRecord> cars = s.vehicles(QStringLiteral("g1"));
        QCOMPARE(cars.size(), 2);
        QCOMPARE(cars[0].device, 7);
        QCOMPARE(cars[0].lat, 55.1);  // the latest point is the last position
        QCOMPARE(cars[0].lastTime, 46000.5);
        const QVector<TelemetryPoint> t = s.telemetry(7, 46000.3, 47000);
        QCOMPARE(t.size(), 1);
        QCOMPARE(t[0].tank1, 41.5);
        QVERIFY(std::isnan(t[0].tank2));
        QCOMPARE(t[0].sensors, quint8(0b100101));
        QVERIFY(!t[0].gpsValid);
        QCOMPARE(s.telemetry(7, 0, 1e9).size(), 2);
        const QVector<ControlPointSet> sets = s.controlPointSets(7);
        QCOMPARE(sets.size(), 1);
        QCOMPARE(sets[0].points.size(), 1);
        QCOMPARE(sets[0].points[0].radiusM, 99.5);
        QCOMPARE(s.meta(QStringLiteral("demo_seed")), QStringLiteral("1"));
        QCOMPARE(s.meta(QStringLiteral("unset")), QString());
    }

    void rejectedWritesChangeNothing() {
        QFETCH_GLOBAL(QString, store);
        TELVIKA_FRESH_STORE(location, store, dir_, QStringLiteral("reject.db"));
        Store s(location);
        s.addGroup({QStringLiteral("g"), QStringLiteral("G")});
        s.addVehicle({1, QStringLiteral("g"), QStringLiteral("A"), QStringLiteral("N"), QString(), 0, 0, 0});
        QVERIFY_THROWS_EXCEPTION(Error, s.addGroup({QStringLiteral("g"), QStringLiteral("again")}));
        QVERIFY_THROWS_EXCEPTION(Error, s.addGroup({QStringLiteral(" "), QStringLiteral("blank")}));
        QVERIFY_THROWS_EXCEPTION(Error, s.addVehicle({1, QStringLiteral("g"), QStringLiteral("dup"), {}, {}, 0, 0, 0}));
        QVERIFY_THROWS_EXCEPTION(Error, s.addVehicle({2, QStringLiteral("nope"), QStringLiteral("x"), {}, {}, 0, 0, 0}));
        QVERIFY_THROWS_EXCEPTION(Error, s.addControlPoint(9, QStringLiteral("S"), {}));
        // A batch naming one unknown device stores none of its points.
        QVector<QPair<int, TelemetryPoint>> batch{{1, point(1, 1, 1)}, {99, point(2, 2, 2)}};
        QVERIFY_THROWS_EXCEPTION(Error, s.appendTelemetry(batch));
        QCOMPARE(s.telemetryCount(1), 0);
        QCOMPARE(s.groups().size(), 1);
        QCOMPARE(s.vehicles(QStringLiteral("g")).size(), 1);
    }

    void foreignOrNewerFilesAreRefusedUntouched_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("sql");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("not a database") << QStringLiteral("text.db") << QStringList()
                                        << QByteArray("this is not sqlite at all, just some text\n").repeated(200)
                                        << QStringLiteral("это не файл базы SQLite");
        QTest::newRow("newer schema") << QStringLiteral("newer.db")
                                      << QStringList{QStringLiteral("CREATE TABLE future(x)"), QStringLiteral("PRAGMA user_version=9")}
                                      << QByteArray() << QStringLiteral("более новой версией");
        QTest::newRow("another program's database") << QStringLiteral("other.db")
                                                    << QStringList{QStringLiteral("CREATE TABLE notes(x)")} << QByteArray()
                                                    << QStringLiteral("не является базой");
        QTest::newRow("table missing") << QStringLiteral("broken.db")
                                       << QStringList{QStringLiteral("CREATE TABLE groups(x)"), QStringLiteral("PRAGMA user_version=1")}
                                       << QByteArray() << QStringLiteral("повреждена");
    }

    void foreignOrNewerFilesAreRefusedUntouched() {
        QFETCH(QString, name);
        QFETCH(QStringList, sql);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QFETCH_GLOBAL(QString, store);
        if (store == PostgresKind) {
            if (name != QStringLiteral("newer.db")) QSKIP("a file that is no store exists only for SQLite");
            TELVIKA_FRESH_STORE(location, store, dir_, name);
            const QString database = location.mid(QStringLiteral("postgresql:///").size());
            QCOMPARE(onCluster({QStringLiteral("CREATE TABLE schema_version (version integer PRIMARY KEY)"),
                                QStringLiteral("INSERT INTO schema_version VALUES (9)")},
                               database),
                     QString());
            try {
                Store s(location);
                QFAIL("a database of a newer schema was accepted");
            } catch (const Error& e) {
                QVERIFY2(e.message().contains(expected), qPrintable(e.message()));
            }
            QCOMPARE(onCluster({QStringLiteral("SELECT 1 FROM groups")}, database).isEmpty(), false);  // nothing made
            return;
        }
        const QString path = dir_.filePath(name);
        if (!bytes.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        } else {
            rawSql(path, sql);
        }
        const QByteArray before = fileHash(path);
        try {
            Store s(path);
            QFAIL("the file was accepted");
        } catch (const Error& e) {
            QVERIFY2(e.message().contains(expected), qPrintable(e.message()));
            QVERIFY2(e.message().contains(path), qPrintable(e.message()));
        }
        QCOMPARE(fileHash(path), before);
    }

    // Online data, imports and the demo all go through the same ranges: one bad point refuses the
    // batch, so a vehicle's last position is never pinned by a point dated 9999.
    void pointsOutsideTheRangesRefuseTheBatch() {
        QFETCH_GLOBAL(QString, store);
        TELVIKA_FRESH_STORE(location, store, dir_, QStringLiteral("ranges.db"));
        Store s(location);
        s.addGroup({QStringLiteral("g"), QStringLiteral("G")});
        s.addVehicle({1, QStringLiteral("g"), QStringLiteral("A"), QStringLiteral("N"), QString(), 0, 0, 0});
        const double now = utcNow();
        TelemetryPoint negative = point(now - 0.5, 55, 37);
        negative.speedKmh = -3;
        const QVector<TelemetryPoint> bad{point(now - 0.5, 1e308, 37),
                                          point(oleFromDateAndTime(QDate(1702, 1, 1), QTime(0, 0)), 55, 37),
                                          point(oleFromDateAndTime(QDate(9999, 1, 1), QTime(0, 0)), 55, 37),
                                          point(now + 2.0, 55, 37), negative};
        for (const TelemetryPoint& p : bad) {
            try {
                s.appendTelemetry(1, {point(now - 0.6, 50, 30), p});
                QFAIL("a point out of range was stored");
            } catch (const Error& e) {
                QVERIFY2(e.message().contains(QStringLiteral("отклонена")), qPrintable(e.message()));
            }
        }
        QCOMPARE(s.telemetryCount(1), 0);
        QCOMPARE(s.vehicle(1)->lastTime, 0.0);
        s.appendTelemetry(1, {point(now + 1.0 / 24.0, 55.5, 37.5)});  // a clock an hour fast is fine
        QCOMPARE(s.vehicle(1)->lat, 55.5);
    }

    // A long import goes in batches within one transaction: nothing is visible before the commit,
    // and an append that fails in a later batch, or is abandoned, leaves nothing behind.
    void batchesCommitTogetherOrNotAtAll() {
        QFETCH_GLOBAL(QString, store);
        TELVIKA_FRESH_STORE(path, store, dir_, QStringLiteral("batches.db"));
        Store s(path);
        s.addGroup({QStringLiteral("g"), QStringLiteral("G")});
        s.addVehicle({1, QStringLiteral("g"), QStringLiteral("A"), QStringLiteral("N"), QString(), 0, 0, 0});
        auto batch = [](int first) {
            QVector<TelemetryPoint> b;
            for (int i = first; i < first + 100; ++i) b << point(instant(2025, 6, 1, 8, 0, 0) + i / 86400.0, 55 + i * 1e-5, 37);
            return b;
        };
        {
            TelemetryBatches abandoned(s, 1);
            abandoned.append(batch(0));
        }
        QCOMPARE(s.telemetryCount(1), 0);
        {
            TelemetryBatches failing(s, 1);
            failing.append(batch(0));
            QVector<TelemetryPoint> bad = batch(100);
            bad[50].lat = 1e308;
            QVERIFY_THROWS_EXCEPTION(Error, failing.append(bad));
        }
        QCOMPARE(s.telemetryCount(1), 0);
        TelemetryBatches batches(s, 1);
        batches.append(batch(0));
        batches.append(batch(50));  // half of it stored already in this append
        QCOMPARE(Store(path).telemetryCount(1), 0);  // another connection sees nothing yet
        const TelemetryAppend added = batches.commit();
        QCOMPARE(added.stored, 150);
        QCOMPARE(added.alreadyStored, 50);
        QCOMPARE(Store(path).telemetryCount(1), 150);
        QVERIFY(sameMoment(s.vehicle(1)->lastTime, instant(2025, 6, 1, 8, 0, 0) + 149 / 86400.0));
    }

    void samePointTwiceIsStoredOnce() {
        QFETCH_GLOBAL(QString, store);
        TELVIKA_FRESH_STORE(location, store, dir_, QStringLiteral("twice.db"));
        Store s(location);
        s.addGroup({QStringLiteral("g"), QStringLiteral("G")});
        s.addVehicle({1, QStringLiteral("g"), QStringLiteral("A"), QStringLiteral("N"), QString(), 0, 0, 0});
        s.addVehicle({2, QStringLiteral("g"), QStringLiteral("B"), QStringLiteral("N"), QString(), 0, 0, 0});
        QVector<TelemetryPoint> track;
        for (int i = 0; i < 50; ++i) track << point(instant(2025, 6, 1, 8, 0) + i * 1.5 / 86400.0, 55 + i * 1e-4, 37);
        TelemetryAppend first = s.appendTelemetry(1, track);
        QCOMPARE(first.stored, 50);
        QCOMPARE(first.alreadyStored, 0);
        track << point(instant(2025, 6, 1, 9, 0), 56, 37);
        const TelemetryAppend again = s.appendTelemetry(1, track);
        QCOMPARE(again.stored, 1);
        QCOMPARE(again.alreadyStored, 50);
        QCOMPARE(s.telemetryCount(1), 51);
        QCOMPARE(s.appendTelemetry(2, track).stored, 51);  // the same instants of another device
        const TelemetryPoint late = point(instant(2025, 6, 1, 10, 0), 56, 37);
        const TelemetryAppend doubled = s.appendTelemetry(2, {late, late});  // one instant twice in a batch
        QCOMPARE(doubled.stored, 1);
        QCOMPARE(doubled.alreadyStored, 1);
    }

    // Days of data read back whole: every point once and in time order (also the one midway,
    // where a long read is cut in two), nothing of another device.
    void longPeriodsReadEveryPointOnceInOrder() {
        QFETCH_GLOBAL(QString, store);
        TELVIKA_FRESH_STORE(location, store, dir_, QStringLiteral("long.db"));
        Store s(location);
        s.addGroup({QStringLiteral("g"), QStringLiteral("G")});
        s.addVehicle({1, QStringLiteral("g"), QStringLiteral("A"), QStringLiteral("N"), QString(), 0, 0, 0});
        s.addVehicle({2, QStringLiteral("g"), QStringLiteral("B"), QStringLiteral("N"), QString(), 0, 0, 0});
        const double t0 = instant(2025, 6, 1, 0, 0);
        QVector<TelemetryPoint> track;
        for (int h = 0; h <= 72; ++h) track << point(t0 + h / 24.0, 55 + h * 1e-3, 37);
        track[36].tank1 = 12.5;
        s.appendTelemetry(1, track);
        s.appendTelemetry(2, {point(t0 + 1.25, 50, 30)});
        const QVector<TelemetryPoint> t = s.telemetry(1, t0 - 1, t0 + 4);
        QCOMPARE(t.size(), track.size());
        for (int i = 0; i < t.size(); ++i) {
            QCOMPARE(t[i].time, track[i].time);
            QCOMPARE(t[i].lat, track[i].lat);
        }
        QCOMPARE(t[36].tank1, 12.5);
        QCOMPARE(s.telemetry(1, t0 + 1, t0 + 2).size(), 25);
    }

    // A store whose telemetry pages are damaged is refused at opening, not read as empty trips.
    void damagedPagesAreRefusedUntouched() {
        QFETCH_GLOBAL(QString, store);
        if (store != SqliteKind) QSKIP("pages of a file: SQLite only");
        const QString path = dir_.filePath(QStringLiteral("damaged.db"));
        {
            Store s(path);
            s.addGroup({QStringLiteral("g"), QStringLiteral("G")});
            s.addVehicle({1, QStringLiteral("g"), QStringLiteral("A"), QStringLiteral("N"), QString(), 0, 0, 0});
            QVector<TelemetryPoint> track;
            for (int i = 0; i < 30000; ++i) track << point(instant(2025, 6, 1, 0, 0) + i / 86400.0, 55 + i * 1e-6, 37);
            s.appendTelemetry(1, track);
        }
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.size() > 100 * 4096);
            QByteArray garbage(8 * 4096, '\0');
            for (int i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 7919 + 13) % 251);
            f.seek((f.size() / 4096 / 2) * 4096);
            f.write(garbage);
        }
        const QByteArray before = fileHash(path);
        try {
            Store s(path);
            QFAIL("a damaged store was opened");
        } catch (const Error& e) {
            QVERIFY2(e.message().contains(QStringLiteral("повреждена")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(path), qPrintable(e.message()));
        }
        QCOMPARE(fileHash(path), before);
    }

    // Schema 1 kept the local wall clock: opened again, its times become instants in this
    // user's zone, the repeated rows of one instant are kept once, and the demo's values follow.
    void localTimeStoreIsMigratedToInstants() {
        QFETCH_GLOBAL(QString, store);
        if (store != SqliteKind) QSKIP("the first schema of the SQLite file");
        ZoneScope zone("Europe/Moscow");  // UTC+3 all year
        const QString path = dir_.filePath(QStringLiteral("schema1.db"));
        const double localNoon = oleFromDateAndTime(QDate(2025, 6, 1), QTime(12, 0));
        QStringList sql{
            QStringLiteral("CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE groups (seq INTEGER PRIMARY KEY AUTOINCREMENT, id TEXT NOT NULL UNIQUE, name TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE vehicles (seq INTEGER PRIMARY KEY AUTOINCREMENT, device INTEGER NOT NULL UNIQUE, "
                           "group_id TEXT NOT NULL REFERENCES groups(id), name TEXT NOT NULL, number TEXT NOT NULL, "
                           "info TEXT NOT NULL, lat REAL NOT NULL DEFAULT 0, lon REAL NOT NULL DEFAULT 0, "
                           "last_time REAL NOT NULL DEFAULT 0)"),
            QStringLiteral("CREATE TABLE telemetry (device INTEGER NOT NULL, time REAL NOT NULL, lat REAL NOT NULL, "
                           "lon REAL NOT NULL, speed REAL NOT NULL, odometer REAL NOT NULL, gps_valid INTEGER NOT NULL, "
                           "ext_power INTEGER NOT NULL, tank1 REAL, tank2 REAL, sensors INTEGER NOT NULL)"),
            QStringLiteral("CREATE INDEX telemetry_device_time ON telemetry(device, time)"),
            QStringLiteral("CREATE TABLE control_point_sets (seq INTEGER PRIMARY KEY AUTOINCREMENT, device INTEGER NOT NULL, "
                           "name TEXT NOT NULL, UNIQUE(device, name))"),
            QStringLiteral("CREATE TABLE control_points (seq INTEGER PRIMARY KEY AUTOINCREMENT, set_seq INTEGER NOT NULL, "
                           "name TEXT NOT NULL, note TEXT NOT NULL, lat REAL NOT NULL, lon REAL NOT NULL, radius REAL NOT NULL)"),
            QStringLiteral("INSERT INTO groups(id, name) VALUES('g', 'G')"),
            QStringLiteral("INSERT INTO vehicles(device, group_id, name, number, info, lat, lon, last_time) "
                           "VALUES(1, 'g', 'A', 'N', '', 55, 37, %1)").arg(localNoon + 9.0 / 1440.0, 0, 'f', 10),
            QStringLiteral("INSERT INTO meta VALUES('demo_end', '%1')").arg(localNoon, 0, 'g', 17),
            QStringLiteral("PRAGMA user_version=1")};
        sql += telemetryDrive(1, 10, localNoon);
        sql += telemetryDrive(1, 3, localNoon);  // the same three instants again
        rawSql(path, sql);

        Store s(path);
        QCOMPARE(s.telemetryCount(1), 10);
        const QVector<TelemetryPoint> t = s.telemetry(1, instant(2025, 6, 1, 0, 0), instant(2025, 6, 2, 0, 0));
        QCOMPARE(t.size(), 10);
        QVERIFY(sameMoment(t.first().time, instant(2025, 6, 1, 9, 0)));
        QVERIFY(sameMoment(t.last().time, instant(2025, 6, 1, 9, 9)));
        QVERIFY(sameMoment(s.vehicle(1)->lastTime, instant(2025, 6, 1, 9, 9)));
        QVERIFY(sameMoment(s.meta(QStringLiteral("demo_end")).toDouble(), instant(2025, 6, 1, 9, 0)));
        QCOMPARE(s.meta(QStringLiteral("demo_utc_offset")), QStringLiteral("10800"));
        QCOMPARE(s.appendTelemetry(1, {point(instant(2025, 6, 1, 9, 0), 1, 1)}).alreadyStored, 1);
    }

    // Instants do not depend on the zone they were written or read in.
    void instantsReadTheSameUnderAnotherZone() {
        QFETCH_GLOBAL(QString, store);
        TELVIKA_FRESH_STORE(path, store, dir_, QStringLiteral("zones.db"));
        const double autumn = instant(2025, 10, 26, 0, 30);
        {
            ZoneScope zone("Europe/Lisbon");
            Store s(path);
            s.addGroup({QStringLiteral("g"), QStringLiteral("G")});
            s.addVehicle({1, QStringLiteral("g"), QStringLiteral("A"), QStringLiteral("N"), QString(), 0, 0, 0});
            s.appendTelemetry(1, {point(autumn, 38.7, -9.1), point(autumn + 1.0 / 24.0, 38.8, -9.1)});
        }
        ZoneScope zone("Asia/Tokyo");
        Store s(path);
        const QVector<TelemetryPoint> t = s.telemetry(1, autumn, autumn + 1.0 / 24.0);
        QCOMPARE(t.size(), 2);
        QVERIFY(sameMoment(t[0].time, autumn));
        QCOMPARE(std::llround((t[1].time - t[0].time) * 86400.0), 3600LL);
        QVERIFY(sameMoment(s.vehicle(1)->lastTime, autumn + 1.0 / 24.0));
    }

    // The fleet and the server's values are one transaction: a failure part way leaves nothing.
    void fleetAndItsValuesCommitTogether() {
        QFETCH_GLOBAL(QString, store);
        TELVIKA_FRESH_STORE(location, store, dir_, QStringLiteral("fleet-once.db"));
        Store s(location);
        demo::DemoFleet fleet;
        demo::DemoVehicle v;
        v.device = 5;
        v.telemetry = {point(instant(2025, 6, 1, 8, 0), 55, 37)};
        fleet.groups = {demo::DemoGroup{QStringLiteral("a"), QStringLiteral("A"), {v}},
                        demo::DemoGroup{QStringLiteral("a"), QStringLiteral("again"), {}}};
        QVERIFY_THROWS_EXCEPTION(Error, s.importFleet(fleet, {{QStringLiteral("demo_end"), QStringLiteral("1")}}));
        QVERIFY(s.isEmpty());
        QCOMPARE(s.meta(QStringLiteral("demo_end")), QString());
        QCOMPARE(s.telemetryCount(5), 0);
        fleet.groups.removeLast();
        s.importFleet(fleet, {{QStringLiteral("demo_end"), QStringLiteral("1")}});
        QCOMPARE(s.meta(QStringLiteral("demo_end")), QStringLiteral("1"));
        QCOMPARE(s.telemetryCount(5), 1);
    }

    void readersSeeCommittedWritesOfAnotherConnection() {
        QFETCH_GLOBAL(QString, store);
        TELVIKA_FRESH_STORE(path, store, dir_, QStringLiteral("shared.db"));
        Store writer(path);
        Store reader(path);
        writer.addGroup({QStringLiteral("g"), QStringLiteral("G")});
        QCOMPARE(reader.groups().size(), 1);
        QVERIFY(!QSqlDatabase::contains(QSqlDatabase::defaultConnection));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
