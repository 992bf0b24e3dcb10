// The demo town's map and the demo fleet: determinism, plausibility, and that the computation
// finds every kind of entry in it.
#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtTest>

#include <gdal.h>
#include <ogr_api.h>

#include <cmath>

#include "common/OleDate.h"
#include "compute/Computation.h"
#include "demo/DemoFleet.h"
#include "demo/DemoLive.h"
#include "demo/DemoTown.h"
#include "demo/TownPlan.h"

using namespace telvika::server;
using namespace telvika::server::demo;

namespace {

constexpr double endTime = 46000.0 + 14.0 / 24.0;  // 2025-12-07 14:00

QByteArray fingerprint(const DemoFleet& fleet) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const DemoGroup& g : fleet.groups)
        for (const DemoVehicle& v : g.vehicles) {
            hash.addData((g.id + v.name + v.number + v.info).toUtf8());
            for (const TelemetryPoint& p : v.telemetry) {
                const double values[] = {p.time, p.lat, p.lon, p.speedKmh, p.odometerM, p.tank1, p.tank2,
                                         double(p.gpsValid), double(p.externalPower), double(p.sensors)};
                hash.addData(QByteArrayView(reinterpret_cast<const char*>(values), sizeof(values)));
            }
        }
    return hash.result();
}

double distanceToSegment(QPointF p, QPointF a, QPointF b) {
    const QPointF ab = b - a;
    const double len2 = ab.x() * ab.x() + ab.y() * ab.y();
    const double t = len2 > 0 ? std::clamp(QPointF::dotProduct(p - a, ab) / len2, 0.0, 1.0) : 0.0;
    const QPointF d = p - (a + ab * t);
    return std::hypot(d.x(), d.y());
}

// Distance in metres from a place to the nearest road of the town.
double distanceToRoads(const TownPlan& plan, double lon, double lat) {
    const QPointF p = plan.frame.toMetres(lon, lat);
    double best = 1e12;
    for (const TownRoad& road : plan.town.roads)
        for (int i = 1; i < road.points.size(); ++i) {
            const QPointF a = plan.frame.toMetres(road.points[i - 1].x(), road.points[i - 1].y());
            const QPointF b = plan.frame.toMetres(road.points[i].x(), road.points[i].y());
            best = std::min(best, distanceToSegment(p, a, b));
        }
    return best;
}

}  // namespace

class TestDemo : public QObject {
    Q_OBJECT

    DemoFleet fleet_;

private slots:
    void initTestCase() { fleet_ = generateDemoFleet(DemoOptions{20091, endTime, 14}); }

    void sameSeedSameFleet() {
        QCOMPARE(fingerprint(generateDemoFleet(DemoOptions{20091, endTime, 14})), fingerprint(fleet_));
        QVERIFY(fingerprint(generateDemoFleet(DemoOptions{7, endTime, 2})) != fingerprint(fleet_));
    }

    void groupsAndVehicles() {
        QVERIFY(fleet_.groups.size() >= 8);
        QSet<int> devices;
        QSet<QString> ids;
        qsizetype rows = 0;
        for (const DemoGroup& g : fleet_.groups) {
            QVERIFY(!ids.contains(g.id));
            ids.insert(g.id);
            QVERIFY(g.vehicles.size() >= 3 && g.vehicles.size() <= 5);
            for (const DemoVehicle& v : g.vehicles) {
                QVERIFY(!devices.contains(v.device));
                devices.insert(v.device);
                QVERIFY(QRegularExpression(QStringLiteral("^[АВЕКМНОРСТУХ]\\d{3}[АВЕКМНОРСТУХ]{2} \\d{2,3}$"))
                            .match(v.number).hasMatch());
                QVERIFY(!v.controlPointSets.isEmpty() && !v.controlPointSets[0].points.isEmpty());
                rows += v.telemetry.size();
            }
        }
        QVERIFY2(rows < 1200000, qPrintable(QString::number(rows)));
    }

    void telemetryIsPlausible() {
        const TownPlan& plan = townPlan(20091);
        for (const DemoGroup& g : fleet_.groups)
            for (const DemoVehicle& v : g.vehicles) {
                const auto& t = v.telemetry;
                QVERIFY(t.size() > 1000);
                QVERIFY(t.first().time >= endTime - 14.0);
                QVERIFY(t.last().time <= endTime);
                QVERIFY(endTime - t.last().time < 1.0 / 24.0);
                for (int i = 0; i < t.size(); ++i) {
                    const TelemetryPoint& p = t[i];
                    if (i > 0) {
                        QVERIFY(p.time > t[i - 1].time);
                        QVERIFY(p.odometerM >= t[i - 1].odometerM);
                        // Acceleration between records stays within what a vehicle can do.
                        const double dt = (p.time - t[i - 1].time) * 86400.0;
                        if (dt < 20)
                            QVERIFY2((p.speedKmh - t[i - 1].speedKmh) / 3.6 / dt < 3.5,
                                     qPrintable(QStringLiteral("%1 -> %2 km/h in %3 s").arg(t[i - 1].speedKmh).arg(p.speedKmh).arg(dt)));
                    }
                    QVERIFY2(p.speedKmh <= 130.0, qPrintable(QString::number(p.speedKmh)));
                    if (v.tankCapacity1 > 0) QVERIFY(p.tank1 >= 0 && p.tank1 <= v.tankCapacity1);
                    else QVERIFY(std::isnan(p.tank1));
                    // Every hundredth fix is checked to be on a road (the check is slow).
                    if (i % 100 == 0 && p.gpsValid) {
                        const double off = distanceToRoads(plan, p.lon, p.lat);
                        QVERIFY2(off < 25.0, qPrintable(QStringLiteral("%1 m off the road").arg(off)));
                    }
                }
            }
    }

    void everyEntryKindOccurs() {
        QHash<QString, int> counts;
        int trips = 0;
        for (const DemoGroup& g : fleet_.groups)
            for (const DemoVehicle& v : g.vehicles) {
                const ComputeResult r = computeTrips(v.telemetry, endTime - 14.0, endTime, ComputeSettings{},
                                                     v.controlPointSets[0].points);
                QCOMPARE(r.droppedPoints, 0);
                trips += r.trips.size();
                for (const Trip& t : r.trips)
                    for (auto it = t.entries.cbegin(); it != t.entries.cend(); ++it) counts[it.key()] += it.value().size();
            }
        QVERIFY(trips > 200);
        for (const QString& key : entryKeys())
            QVERIFY2(counts.value(key) > 0, qPrintable(key));
        qInfo() << "trips" << trips << counts;
    }

    void liveContinuesTheHistory() {
        DemoLive live(fleet_, 20091);
        const double t1 = endTime + 10.0 / 1440.0;
        const auto first = live.advanceTo(t1);
        QVERIFY(!first.isEmpty());
        QSet<int> moving;
        for (int i = 0; i < first.size(); ++i) {
            QVERIFY(first[i].second.time > endTime - 1.0 / 24.0 && first[i].second.time <= t1);
            if (i > 0) QVERIFY(first[i].second.time >= first[i - 1].second.time);
            if (first[i].second.speedKmh > 10) moving.insert(first[i].first);
        }
        QVERIFY(moving.size() > 10);
        const auto second = live.advanceTo(t1 + 30.0 / 86400.0);
        for (const auto& row : second) QVERIFY(row.second.time > t1 - 1e-9);
        QVERIFY(live.advanceTo(t1).isEmpty());
    }

    void chartHasTheMapLayers() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("town.chart"));
        QString error;
        QVERIFY2(writeDemoTownChart(path, 20091, &error), qPrintable(error));
        QVERIFY2(writeDemoTownChart(path, 20091, &error), qPrintable(error));  // replaces the file
        GDALAllRegister();
        const char* const drivers[] = {"GPKG", nullptr};
        GDALDatasetH ds = GDALOpenEx(path.toUtf8().constData(), GDAL_OF_VECTOR, drivers, nullptr, nullptr);
        QVERIFY(ds);
        QHash<QString, QHash<QString, int>> tagCounts;  // layer -> "key=value" -> features
        QSet<QString> names;
        int holes = 0;
        for (int l = 0; l < GDALDatasetGetLayerCount(ds); ++l) {
            OGRLayerH layer = GDALDatasetGetLayer(ds, l);
            const QString layerName = QString::fromUtf8(OGR_L_GetName(layer));
            OGRFeatureDefnH defn = OGR_L_GetLayerDefn(layer);
            OGR_L_ResetReading(layer);
            while (OGRFeatureH f = OGR_L_GetNextFeature(layer)) {
                for (const char* key : {"highway", "waterway", "railway", "landuse", "natural", "leisure", "building", "place"}) {
                    const int idx = OGR_FD_GetFieldIndex(defn, key);
                    if (idx >= 0 && OGR_F_IsFieldSetAndNotNull(f, idx))
                        ++tagCounts[layerName][QStringLiteral("%1=%2").arg(QString::fromLatin1(key), QString::fromUtf8(OGR_F_GetFieldAsString(f, idx)))];
                }
                const int nameIdx = OGR_FD_GetFieldIndex(defn, "name");
                if (nameIdx >= 0 && OGR_F_IsFieldSetAndNotNull(f, nameIdx)) names.insert(QString::fromUtf8(OGR_F_GetFieldAsString(f, nameIdx)));
                OGRGeometryH g = OGR_F_GetGeometryRef(f);
                if (g && wkbFlatten(OGR_G_GetGeometryType(g)) == wkbMultiPolygon)
                    for (int k = 0; k < OGR_G_GetGeometryCount(g); ++k)
                        holes += OGR_G_GetGeometryCount(OGR_G_GetGeometryRef(g, k)) - 1;
                OGR_F_Destroy(f);
            }
        }
        GDALClose(ds);
        for (const char* tag : {"highway=primary", "highway=secondary", "highway=tertiary", "highway=residential",
                                "highway=service", "highway=trunk", "waterway=river", "railway=rail"})
            QVERIFY2(tagCounts[QStringLiteral("lines")].value(QString::fromLatin1(tag)) > 0, tag);
        for (const char* tag : {"landuse=residential", "landuse=industrial", "landuse=commercial", "landuse=forest",
                                "landuse=grass", "leisure=park", "natural=water", "building=yes"})
            QVERIFY2(tagCounts[QStringLiteral("multipolygons")].value(QString::fromLatin1(tag)) > 0, tag);
        QVERIFY(tagCounts[QStringLiteral("multipolygons")].value(QStringLiteral("building=yes")) > 500);
        QCOMPARE(tagCounts[QStringLiteral("points")].value(QStringLiteral("place=town")), 1);
        QVERIFY(tagCounts[QStringLiteral("points")].value(QStringLiteral("place=suburb")) >= 3);
        for (const char* name : {"Орманск", "Кольцевая автодорога", "река Ормань", "улица Ленина", "Городской парк"})
            QVERIFY2(names.contains(QString::fromUtf8(name)), name);
        QVERIFY(holes >= 1);  // the park around its pond

        error.clear();
        QVERIFY(!writeDemoTownChart(dir.filePath(QStringLiteral("no/such/folder/town.chart")), 20091, &error));
        QVERIFY(!error.isEmpty());
    }

    void townRoadsAreConnected() {
        const TownPlan& plan = townPlan(20091);
        QCOMPARE(&plan, &townPlan(20091));
        const int from = plan.depots[0].node;
        for (const TownSite& s : plan.customers + plan.stations + plan.depots)
            QVERIFY2(plan.graph.shortestPath(from, s.node).size() >= 2 || s.node == from, qPrintable(s.name));
        QCOMPARE(demoTown(20091).roads.size(), plan.town.roads.size());
    }
};

QTEST_GUILESS_MAIN(TestDemo)
#include "tst_demo.moc"
