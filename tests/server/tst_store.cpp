// The server's store on real database files.
#include "common/Error.h"
#include "store/Store.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace telvika;
using namespace telvika::server;

namespace {
QByteArray fileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

TelemetryPoint point(double time, double lat, double lon) {
    TelemetryPoint p;
    p.time = time;
    p.lat = lat;
    p.lon = lon;
    return p;
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
    void fleetRoundTrip() {
        const QString path = dir_.filePath(QStringLiteral("a/b/fleet.db"));  // folders are created
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
        Store s(dir_.filePath(QStringLiteral("reject.db")));
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
                                        << QStringLiteral("не удаётся прочитать");
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

    void readersSeeCommittedWritesOfAnotherConnection() {
        const QString path = dir_.filePath(QStringLiteral("shared.db"));
        Store writer(path);
        Store reader(path);
        writer.addGroup({QStringLiteral("g"), QStringLiteral("G")});
        QCOMPARE(reader.groups().size(), 1);
        QVERIFY(!QSqlDatabase::contains(QSqlDatabase::defaultConnection));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
