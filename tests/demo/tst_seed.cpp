// Seeding the demo fleet into a store: all of it or nothing, and the live continuation going on
// from where the stored history ends, whatever the user's zone.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

#include "../compute/ZoneScope.h"
#include "common/Error.h"
#include "compute/GeoDistance.h"
#include "compute/UtcTime.h"
#include "seed/DemoSeeder.h"
#include "seed/LiveFeed.h"
#include "store/Store.h"

using namespace telvika;
using namespace telvika::server;

class TestSeed : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    // A map that cannot be written stops the seeding before the store is touched, so the next
    // start seeds the store again.
    void failedSeedingLeavesTheStoreEmpty() {
        const QString chart = dir_.filePath(QStringLiteral("demo-town.chart"));
        QVERIFY(QDir().mkpath(chart + QStringLiteral("/in-the-way")));  // a folder where the map goes
        Store store(dir_.filePath(QStringLiteral("seed.db")));
        QVERIFY_THROWS_EXCEPTION(Error, DemoSeeder::seed(store, chart, utcNow(), 1));
        QVERIFY(store.isEmpty());
        QCOMPARE(store.meta(QStringLiteral("demo_end")), QString());
        QVERIFY(!QFile::exists(chart + QStringLiteral(".part")));

        QVERIFY(QDir(chart).removeRecursively());
        DemoSeeder::seed(store, chart, utcNow(), 1);
        QVERIFY(!store.isEmpty());
        QVERIFY(!store.meta(QStringLiteral("demo_end")).isEmpty());
        QVERIFY(QFileInfo(chart).isFile());
        QVERIFY(!QFile::exists(chart + QStringLiteral(".part")));
    }

    // The live feed regenerates the seeded fleet from the stored values: its first points start
    // where each vehicle's stored history ends, also under a zone far from UTC.
    void liveFeedContinuesTheStoredHistory() {
        ZoneScope zone("Asia/Tokyo");
        Store store(dir_.filePath(QStringLiteral("live.db")));
        const double end = utcNow();
        DemoSeeder::seed(store, QString(), end, 1);
        QCOMPARE(store.meta(QStringLiteral("demo_utc_offset")), QStringLiteral("32400"));
        QHash<int, VehicleRecord> before;
        for (const GroupRecord& g : store.groups())
            for (const VehicleRecord& v : store.vehicles(g.id)) before.insert(v.device, v);
        QVERIFY(before.size() > 10);

        LiveFeed live(store);
        QVERIFY(live.tick(end + 20.0 / 1440.0) > 0);
        int moved = 0;
        for (auto it = before.constBegin(); it != before.constEnd(); ++it) {
            const QVector<TelemetryPoint> fresh = store.telemetry(it.key(), it->lastTime + 0.01 / 86400.0, end + 1.0);
            if (fresh.isEmpty()) continue;
            ++moved;
            // Twenty minutes at town speeds at most; a fleet regenerated on another clock starts elsewhere.
            const double metres = distanceMetres(it->lat, it->lon, fresh.first().lat, fresh.first().lon);
            QVERIFY2(metres < 500.0, qPrintable(QStringLiteral("%1: %2 m").arg(it.key()).arg(metres)));
            QVERIFY(fresh.first().time > it->lastTime);
        }
        QVERIFY(moved > 0);
    }
};

QTEST_GUILESS_MAIN(TestSeed)
#include "tst_seed.moc"
