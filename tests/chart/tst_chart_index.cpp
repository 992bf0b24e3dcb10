// The spatial index of a chart: far and huge views, features covering many cells, memory bounded
// by the features themselves, and charts beyond what one chart may hold.
#include "ChartFixture.h"
#include "chart/ChartCollection.h"
#include "chart/ChartReader.h"
#include "chart/SpatialGrid.h"
#include "core/Projection.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>
#include <random>

using namespace mvx;

namespace {

constexpr int Copies = 131000;

// A small file that holds a great many large overlapping polygons: one area of the fixture and a
// view that repeats it count times, registered as a feature layer of its own.
bool writeRepeatedArea(const QString& path, int count, QString* error) {
    ChartFixture f;
    f.addArea({{{9.47, 47.05}, {9.64, 47.05}, {9.64, 47.27}, {9.47, 47.27}}}, {{"landuse", "residential"}});
    if (!f.write(path, error)) return false;
    CPLPushErrorHandler(CPLQuietErrorHandler);  // the .chart extension warning
    GDALDataset* ds = GDALDataset::FromHandle(
        GDALOpenEx(path.toUtf8().constData(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, nullptr, nullptr, nullptr));
    CPLPopErrorHandler();
    if (ds == nullptr) return false;
    const QString statements[] = {
        QString("CREATE VIEW repeated AS WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < %1) "
                "SELECT c.n AS fid, m.geom AS geom, 'residential' AS landuse FROM c, multipolygons m")
            .arg(count),
        "INSERT INTO gpkg_contents (table_name, data_type, identifier, min_x, min_y, max_x, max_y, srs_id) "
        "VALUES ('repeated', 'features', 'repeated', 9.47, 47.05, 9.64, 47.27, 4326)",
        "INSERT INTO gpkg_geometry_columns VALUES ('repeated', 'geom', 'MULTIPOLYGON', 4326, 0, 0)"};
    bool ok = true;
    for (const QString& sql : statements) {
        CPLErrorReset();
        OGRLayer* result = ds->ExecuteSQL(sql.toUtf8().constData(), nullptr, nullptr);
        if (result != nullptr) ds->ReleaseResultSet(result);
        if (CPLGetLastErrorType() >= CE_Failure) {
            if (error) *error = QString::fromUtf8(CPLGetLastErrorMsg());
            ok = false;
        }
    }
    GDALClose(ds);
    return ok;
}

size_t countFound(const SpatialGrid& grid, const QRectF& rect) {
    size_t n = 0;
    grid.query(rect, [&](std::uint32_t) { ++n; });
    return n;
}

}  // namespace

class TestChartIndex : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void farAndHugeViewsFindEverything();
    void largeItemsAreKeptApart();
    void manyLargeOverlappingPolygons();
    void chartBeyondItsLimitsIsRefused();
    void nearestStreetAndHouseNumber();

private:
    QTemporaryDir dir_;
    QString repeated_;
};

void TestChartIndex::initTestCase() {
    QVERIFY(dir_.isValid());
    repeated_ = dir_.filePath("repeated.chart");
    QString error;
    QVERIFY2(writeRepeatedArea(repeated_, Copies, &error), qPrintable(error));
    // The whole attack fits in a few pages.
    QVERIFY(QFileInfo(repeated_).size() < 256 * 1024);
    // CHART_CORPUS_OUT=folder writes the charts made here into it (the fuzz corpus is made so).
    if (const QString out = qEnvironmentVariable("CHART_CORPUS_OUT"); !out.isEmpty()) {
        QFile::copy(repeated_, out + "/repeated-areas.chart");
    }
}

void TestChartIndex::farAndHugeViewsFindEverything() {
    // Points within a square metre: cells a tenth of a metre wide, so that a view a few hundred
    // million cells away lies beyond what an int counts.
    std::vector<QRectF> items;
    for (int i = 0; i < 400; ++i) items.emplace_back((i % 20) / 20.0, (i / 20) / 20.0, 0.0, 0.0);
    SpatialGrid grid;
    grid.build(items, QRectF(0, 0, 0.95, 0.95));
    QVERIFY(grid.columns() > 1);
    const double huge = 1e300;
    QCOMPARE(countFound(grid, QRectF(QPointF(-huge, -huge), QPointF(huge, huge))), items.size());
    QCOMPARE(countFound(grid, QRectF(QPointF(-1e12, -1e12), QPointF(1e12, 1e12))), items.size());
    // Half the world from the middle: the right half of the points.
    QCOMPARE(countFound(grid, QRectF(QPointF(0.49, -1e12), QPointF(1e12, 1e12))), items.size() / 2);
    // Far away, or not a place at all: nothing.
    QCOMPARE(countFound(grid, QRectF(QPointF(1e300, 1e300), QPointF(2e300, 2e300))), size_t(0));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QCOMPARE(countFound(grid, QRectF(QPointF(nan, 0), QPointF(1, 1))), size_t(0));
    QCOMPARE(countFound(grid, QRectF(QPointF(0, 0), QPointF(nan, nan))), size_t(0));
}

void TestChartIndex::largeItemsAreKeptApart() {
    // Small items spread out and large ones each covering most of the extent.
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> pos(0, 10000), len(0, 30), big(6000, 10000);
    std::vector<QRectF> items;
    for (int i = 0; i < 20000; ++i) items.emplace_back(pos(rng), pos(rng), len(rng), len(rng));
    for (int i = 0; i < 20000; ++i) items.emplace_back(pos(rng) / 4, pos(rng) / 4, big(rng), big(rng));
    SpatialGrid grid;
    grid.build(items, QRectF(0, 0, 12500, 12500));
    QCOMPARE(grid.largeItemCount(), size_t(20000));
    // At most MaxCellsPerItem entries per small item, one per large item, and the cell table.
    const size_t cells = size_t(grid.columns()) * size_t(grid.rows());
    QVERIFY(grid.memoryBytes() <= items.size() * (SpatialGrid::MaxCellsPerItem + 1) * 4 + (cells + 1) * 8);
    // Every item meeting a query is still found, once.
    for (int q = 0; q < 50; ++q) {
        const QRectF query(pos(rng), pos(rng), len(rng) * 20, len(rng) * 20);
        std::vector<int> hits(items.size(), 0);
        grid.query(query, [&](std::uint32_t i) { ++hits[i]; });
        for (size_t i = 0; i < items.size(); ++i) {
            QVERIFY(hits[i] <= 1);
            if (items[i].intersects(query)) QVERIFY2(hits[i] == 1, qPrintable(QString("item %1 missed").arg(i)));
        }
    }
}

void TestChartIndex::manyLargeOverlappingPolygons() {
    ChartCollection charts;
    QCOMPARE(charts.load(repeated_), int(ChartLoaded));
    const ChartReader::Result r = ChartReader::read(repeated_);
    QCOMPARE(r.code, int(ChartLoaded));
    QCOMPARE(r.chart->countOf(FeatureKind::Residential), size_t(Copies + 1));
    // Every polygon covers every cell; the index still holds no more than the features do.
    QCOMPARE(r.chart->index().largeItemCount(), size_t(Copies + 1));
    QVERIFY2(r.chart->indexBytes() <= r.chart->contentBytes(),
             qPrintable(QString("index %1 bytes, content %2").arg(r.chart->indexBytes()).arg(r.chart->contentBytes())));
    // Drawn small, every one of them is in view.
    MapView view(lonLatToMercator(9.55, 47.15), 1.0, QSize(24, 16));
    view.setScaleDenominator(300000, 96.0);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    RenderReport report;
    charts.render(painter, view, report);
    QCOMPARE(report.drawn[size_t(kindIndex(FeatureKind::Residential))], Copies + 1);
}

void TestChartIndex::chartBeyondItsLimitsIsRefused() {
    ChartLimits limits;
    limits.maxPoints = 100000;
    ChartReader::Result r = ChartReader::read(repeated_, "GPKG", limits);
    QCOMPARE(r.code, int(ChartSystemError));
    QVERIFY(r.chart == nullptr);
    QVERIFY2(r.error.contains("more than 100000 points"), qPrintable(r.error));
    limits = ChartLimits();
    limits.maxFeatures = 5000;
    r = ChartReader::read(repeated_, "GPKG", limits);
    QCOMPARE(r.code, int(ChartSystemError));
    QVERIFY2(r.error.contains("more than 5000 features"), qPrintable(r.error));
    // Within the limits the same file loads.
    limits.maxFeatures = Copies + 1;
    QCOMPARE(ChartReader::read(repeated_, "GPKG", limits).code, int(ChartLoaded));
}

void TestChartIndex::nearestStreetAndHouseNumber() {
    // A named street along 47.1 N, an unnamed service road nearer to the places asked, house 12 of
    // the street (a building) and house 3 of another street (a point) beside it.
    ChartFixture f;
    f.addLine({{9.50, 47.1}, {9.51, 47.1}}, {{"highway", "residential"}, {"name", "улица Ленина"}});
    f.addLine({{9.50, 47.1004}, {9.51, 47.1004}}, {{"highway", "service"}});
    f.addArea({{{9.5019, 47.1002}, {9.5021, 47.1002}, {9.5021, 47.1003}, {9.5019, 47.1003}}},
              {{"building", "yes"}, {"addr:housenumber", "12"}, {"addr:street", "улица Ленина"}});
    f.addPoint({9.5020, 47.1001}, {{"addr:housenumber", "3"}, {"addr:street", "Другая улица"}});
    const QString path = dir_.filePath("street.chart");
    QString error;
    QVERIFY2(f.write(path, &error), qPrintable(error));
    ChartCollection charts;
    QCOMPARE(charts.load(path), 0);

    const StreetPlace atHouse = charts.nearestStreet(9.5020, 47.1003, 200);
    QVERIFY(atHouse.found);
    QCOMPARE(atHouse.street, QString("улица Ленина"));
    QCOMPARE(atHouse.house, QString("12"));
    QVERIFY(std::fabs(atHouse.metres - 33.4) < 1.0);  // 0.0003 degrees of latitude
    const StreetPlace along = charts.nearestStreet(9.5080, 47.1010, 200);  // 111 m off, no house near
    QCOMPARE(along.street, QString("улица Ленина"));
    QVERIFY(along.house.isEmpty());
    QVERIFY(!charts.nearestStreet(9.5050, 47.1025, 200).found);  // 278 m off
}

QTEST_MAIN(TestChartIndex)
#include "tst_chart_index.moc"
