// Loading .chart files: every result code, the set of loaded maps, files made by GDAL's OSM
// driver, and the silenced extension warning.
#include "ChartFixture.h"
#include "SyntheticCity.h"
#include "chart/ChartCollection.h"
#include "chart/ChartLoadCode.h"
#include "chart/ChartReader.h"
#include "core/Projection.h"

#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace mvx;

class TestChartLoad : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void missingFiles();
    void filesThatAreNotMaps();
    void geoPackagesWithoutDrawableLayers();
    void systemErrorWhenTheDriverIsMissing();
    void loadAlreadyLoadedAndClose();
    void extentIsTheUnionOfTheMaps();
    void coordinatesOffTheEarthAreDropped();
    void readsTheOsmDriverSchema();
    void reprojectsLayersInOtherSystems();
    void layersThatCannotBePlacedAreSkipped();
    void noExtensionWarningReachesGdal();

private:
    QString writeFile(const QString& name, const QByteArray& bytes);
    QString smallChart(const QString& name, double lon0);
    QTemporaryDir dir_;
};

void TestChartLoad::initTestCase() { QVERIFY(dir_.isValid()); }

QString TestChartLoad::writeFile(const QString& name, const QByteArray& bytes) {
    const QString path = dir_.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    return path;
}

QString TestChartLoad::smallChart(const QString& name, double lon0) {
    ChartFixture fixture;
    fixture.addLine({{lon0, 55.0}, {lon0 + 0.01, 55.01}}, {{"highway", "residential"}, {"name", "Садовая улица"}});
    fixture.addArea({{{lon0, 55.0}, {lon0 + 0.002, 55.0}, {lon0 + 0.002, 55.002}}}, {{"landuse", "forest"}});
    const QString path = dir_.filePath(name);
    return fixture.write(path) ? path : QString();
}

void TestChartLoad::missingFiles() {
    ChartCollection charts;
    QCOMPARE(charts.load(dir_.filePath("nothing-here.chart")), int(ChartFileMissing));
    QCOMPARE(charts.load(QString()), int(ChartFileMissing));
    QCOMPARE(charts.load(dir_.filePath("no-such-folder/town.chart")), int(ChartFileMissing));
    QVERIFY(charts.isEmpty());
}

void TestChartLoad::filesThatAreNotMaps() {
    ChartCollection charts;
    QCOMPARE(charts.load(writeFile("empty.chart", {})), int(ChartInvalidFile));
    QCOMPARE(charts.load(writeFile("text.chart", "[MapList]\nMapCount=1\n")), int(ChartInvalidFile));
    QCOMPARE(charts.load(writeFile("header.chart", QByteArray("SQLite format 3\0", 16))), int(ChartInvalidFile));
    // An SQLite database that is not a GeoPackage (made with the sqlite3 shell when present).
    const QString plain = dir_.filePath("plain.chart");
    if (QProcess::execute("sqlite3", {plain, "CREATE TABLE t(a); INSERT INTO t VALUES (1);"}) == 0)
        QCOMPARE(charts.load(plain), int(ChartInvalidFile));
    // A folder is not a map file.
    QVERIFY(QDir(dir_.path()).mkpath("folder.chart"));
    QCOMPARE(charts.load(dir_.filePath("folder.chart")), int(ChartInvalidFile));
    QVERIFY(charts.isEmpty());
    QVERIFY(!charts.lastError().isEmpty());
}

void TestChartLoad::geoPackagesWithoutDrawableLayers() {
    ChartCollection charts;
    const QString untagged = dir_.filePath("untagged.chart");
    QVERIFY(ChartFixture::writeUntagged(untagged));
    QCOMPARE(charts.load(untagged), int(ChartNoDrawableLayer));
    const QString attributes = dir_.filePath("attributes.chart");
    QVERIFY(ChartFixture::writeAttributesOnly(attributes));
    QCOMPARE(charts.load(attributes), int(ChartNoDrawableLayer));
    QVERIFY(charts.isEmpty());
    // Layers with tag columns but no features make an empty, valid map.
    const QString empty = dir_.filePath("no-features.chart");
    QVERIFY(ChartFixture().write(empty));
    QCOMPARE(charts.load(empty), int(ChartLoaded));
    QVERIFY(charts.extentMercator().isNull());
}

void TestChartLoad::systemErrorWhenTheDriverIsMissing() {
    const QString path = smallChart("driver.chart", 37.0);
    QCOMPARE(ChartReader::read(path, "NoSuchDriver").code, int(ChartSystemError));
    QVERIFY(ChartReader::read(path, "NoSuchDriver").chart == nullptr);
    QCOMPARE(ChartReader::read(path).code, int(ChartLoaded));
}

void TestChartLoad::loadAlreadyLoadedAndClose() {
    const QString a = smallChart("a.chart", 37.0);
    const QString b = smallChart("b.chart", 38.0);
    ChartCollection charts;
    QCOMPARE(charts.load(a), int(ChartLoaded));
    QCOMPARE(charts.load(a), int(ChartAlreadyLoaded));
    // The same file under another spelling of its path is the same map.
    QCOMPARE(charts.load(dir_.path() + "/./a.chart"), int(ChartAlreadyLoaded));
    QCOMPARE(charts.load(b), int(ChartLoaded));
    QCOMPARE(charts.paths(), QStringList({a, b}));
    QVERIFY(charts.close(a));
    QVERIFY(!charts.close(a));
    QCOMPARE(charts.paths(), QStringList({b}));
    QCOMPARE(charts.load(a), int(ChartLoaded));
    // A loaded map whose file was deleted can still be closed.
    QVERIFY(QFile::remove(b));
    QVERIFY(charts.close(b));
    QCOMPARE(charts.paths(), QStringList({a}));
    QVERIFY(!charts.close(dir_.filePath("never.chart")));
}

void TestChartLoad::extentIsTheUnionOfTheMaps() {
    const QString a = smallChart("ea.chart", 37.0);
    const QString b = smallChart("eb.chart", 38.0);
    ChartCollection charts;
    QVERIFY(charts.extentMercator().isNull());
    QCOMPARE(charts.load(a), 0);
    const QRectF ea = charts.extentMercator();
    QVERIFY(std::abs(ea.left() - lonLatToMercator(37.0, 55.0).x()) < 0.01);
    QVERIFY(std::abs(ea.right() - lonLatToMercator(37.01, 55.0).x()) < 0.01);
    QVERIFY(std::abs(ea.top() - lonLatToMercator(37.0, 55.0).y()) < 0.01);
    QVERIFY(std::abs(ea.bottom() - lonLatToMercator(37.0, 55.01).y()) < 0.01);
    QCOMPARE(charts.load(b), 0);
    const QRectF both = charts.extentMercator();
    QCOMPARE(both.left(), ea.left());
    QVERIFY(std::abs(both.right() - lonLatToMercator(38.01, 55.0).x()) < 0.01);
}

void TestChartLoad::coordinatesOffTheEarthAreDropped() {
    ChartFixture fixture;
    fixture.addLine({{37.0, 55.0}, {1e300, 55.0}, {37.01, 1e9}, {37.01, 55.01}}, {{"highway", "primary"}});
    fixture.addLine({{-1e200, 0}, {500, 100}}, {{"highway", "primary"}});
    const QString path = dir_.filePath("far.chart");
    QVERIFY(fixture.write(path));
    ChartCollection charts;
    QCOMPARE(charts.load(path), int(ChartLoaded));
    const QRectF e = charts.extentMercator();
    QVERIFY(std::abs(e.left() - lonLatToMercator(37.0, 55.0).x()) < 0.01);
    QVERIFY(std::abs(e.right() - lonLatToMercator(37.01, 55.0).x()) < 0.01);
    QVERIFY(std::abs(e.bottom() - lonLatToMercator(37.0, 55.01).y()) < 0.01);
}

void TestChartLoad::readsTheOsmDriverSchema() {
    const QString osm = writeFile("t.osm", R"(<?xml version="1.0" encoding="UTF-8"?>
<osm version="0.6" generator="test">
<node id="1" lat="55.0" lon="37.0"/>
<node id="2" lat="55.001" lon="37.001"/>
<node id="3" lat="55.002" lon="37.0"/>
<node id="4" lat="55.0005" lon="37.0005"><tag k="place" v="town"/><tag k="name" v="Орманта"/></node>
<node id="5" lat="55.003" lon="37.003"/>
<node id="6" lat="55.003" lon="37.004"/>
<node id="7" lat="55.004" lon="37.004"/>
<way id="10"><nd ref="1"/><nd ref="2"/><tag k="highway" v="primary"/><tag k="name" v="улица Ленина"/><tag k="surface" v="asphalt"/></way>
<way id="11"><nd ref="1"/><nd ref="2"/><nd ref="3"/><nd ref="1"/><tag k="landuse" v="forest"/></way>
<way id="12"><nd ref="2"/><nd ref="3"/><tag k="railway" v="rail"/></way>
<way id="13"><nd ref="5"/><nd ref="6"/><nd ref="7"/><nd ref="5"/><tag k="area" v="yes"/><tag k="water" v="pond"/></way>
<way id="14"><nd ref="5"/><nd ref="7"/><tag k="waterway" v="river"/><tag k="name" v="река Ормань"/></way>
<way id="15"><nd ref="3"/><nd ref="5"/><tag k="highway" v="construction"/></way>
</osm>
)");
    const QString chart = dir_.filePath("osm.chart");
    QString error;
    QVERIFY2(SyntheticCity::convertToChart(osm, chart, &error), qPrintable(error));
    const ChartReader::Result r = ChartReader::read(chart);
    QCOMPARE(r.code, int(ChartLoaded));
    QVERIFY(r.chart);
    QCOMPARE(r.chart->countOf(FeatureKind::Primary), size_t(1));
    QCOMPARE(r.chart->countOf(FeatureKind::Forest), size_t(1));
    QCOMPARE(r.chart->countOf(FeatureKind::Rail), size_t(1));
    QCOMPARE(r.chart->countOf(FeatureKind::River), size_t(1));
    QCOMPARE(r.chart->countOf(FeatureKind::PlaceCity), size_t(1));
    // The pond's only tag is in other_tags: the multipolygons layer has no "water" column.
    QCOMPARE(r.chart->countOf(FeatureKind::Water), size_t(1));
    // A road class that is not drawn is left out.
    QCOMPARE(r.chart->features().size(), size_t(6));
    const auto& names = r.chart->names();
    QVERIFY(std::find(names.begin(), names.end(), QString("улица Ленина")) != names.end());
    QVERIFY(std::find(names.begin(), names.end(), QString("Орманта")) != names.end());
    // Features are kept in drawing order: areas first, places last.
    QCOMPARE(r.chart->features().front().kind, FeatureKind::Forest);
    QCOMPARE(r.chart->features().back().kind, FeatureKind::PlaceCity);
}

void TestChartLoad::reprojectsLayersInOtherSystems() {
    // A layer in UTM zone 37N (metres), as a converted shapefile may be.
    GDALAllRegister();
    const QString path = dir_.filePath("utm.chart");
    {
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
        CPLPushErrorHandler(CPLQuietErrorHandler);
        GDALDataset* ds = driver->Create(path.toUtf8().constData(), 0, 0, 0, GDT_Unknown, nullptr);
        CPLPopErrorHandler();
        QVERIFY(ds);
        OGRSpatialReference utm;
        utm.importFromEPSG(32637);
        OGRLayer* layer = ds->CreateLayer("roads", &utm, wkbLineString, nullptr);
        OGRFieldDefn fd("highway", OFTString);
        layer->CreateField(&fd);
        OGRFeature feature(layer->GetLayerDefn());
        feature.SetField("highway", "trunk");
        OGRLineString line;
        line.addPoint(500000, 6094791);  // about 39 E, 55 N
        line.addPoint(501000, 6095791);
        feature.SetGeometry(&line);
        QCOMPARE(layer->CreateFeature(&feature), OGRERR_NONE);
        GDALClose(ds);
    }
    ChartCollection charts;
    QCOMPARE(charts.load(path), int(ChartLoaded));
    const QPointF sw = mercatorToLonLat(charts.extentMercator().topLeft());
    QVERIFY2(std::abs(sw.x() - 39.0) < 0.01 && std::abs(sw.y() - 55.0) < 0.01,
             qPrintable(QString("%1 %2").arg(sw.x()).arg(sw.y())));
}

void TestChartLoad::layersThatCannotBePlacedAreSkipped() {
    // A layer in a local engineering system (plant coordinates) has no place on the Earth.
    auto write = [&](const QString& name, bool withGoodLayer) {
        QString path = dir_.filePath(name);
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
        CPLPushErrorHandler(CPLQuietErrorHandler);
        GDALDataset* ds = driver->Create(path.toUtf8().constData(), 0, 0, 0, GDT_Unknown, nullptr);
        CPLPopErrorHandler();
        if (ds == nullptr) return QString();
        OGRSpatialReference local;
        local.SetLocalCS("plant");
        OGRSpatialReference wgs84;
        wgs84.importFromEPSG(4326);
        wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        for (int i = 0; i < (withGoodLayer ? 2 : 1); ++i) {
            OGRLayer* layer = ds->CreateLayer(i == 0 ? "plant" : "lines", i == 0 ? &local : &wgs84, wkbLineString, nullptr);
            OGRFieldDefn fd("highway", OFTString);
            layer->CreateField(&fd);
            OGRFeature feature(layer->GetLayerDefn());
            feature.SetField("highway", "primary");
            OGRLineString line;
            line.addPoint(37.0, 55.0);
            line.addPoint(37.01, 55.01);
            feature.SetGeometry(&line);
            if (layer->CreateFeature(&feature) != OGRERR_NONE) path.clear();
        }
        GDALClose(ds);
        return path;
    };
    ChartCollection charts;
    QCOMPARE(charts.load(write("plant.chart", false)), int(ChartNoDrawableLayer));
    QCOMPARE(charts.load(write("plant-and-town.chart", true)), int(ChartLoaded));
}

namespace {
QStringList gdalMessages;
void recordGdalMessage(CPLErr, CPLErrorNum, const char* message) { gdalMessages << QString::fromUtf8(message); }
}  // namespace

void TestChartLoad::noExtensionWarningReachesGdal() {
    const QString path = smallChart("quiet.chart", 37.0);
    gdalMessages.clear();
    CPLPushErrorHandler(recordGdalMessage);
    ChartCollection charts;
    const int code = charts.load(path);
    // GDAL itself does warn about the extension when it opens the file outside the loader.
    GDALDatasetH ds = GDALOpenEx(path.toUtf8().constData(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
    const int afterLoad = static_cast<int>(gdalMessages.size());
    GDALClose(ds);
    CPLPopErrorHandler();
    QCOMPARE(code, int(ChartLoaded));
    QVERIFY2(afterLoad > 0, "GDAL no longer warns; the check below would prove nothing");
    QCOMPARE(gdalMessages.filter("extension").size(), afterLoad);
    // Everything GDAL said came from the direct open, none from the loader.
    QCOMPARE(afterLoad, 1);
}

QTEST_MAIN(TestChartLoad)
#include "tst_chart_load.moc"
