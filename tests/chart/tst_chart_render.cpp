// Drawing base maps: colours at known places of a hand-made map, levels of detail, several maps
// at once, and labels on a city made through GDAL's OSM driver.
#include "ChartFixture.h"
#include "SyntheticCity.h"
#include "chart/ChartCollection.h"
#include "chart/ChartReader.h"
#include "chart/ChartRenderer.h"
#include "chart/ChartStyle.h"
#include "core/Projection.h"

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

using namespace mvx;

namespace {

// Lake with an island, a primary road, a building and a pond tagged only in other_tags, round
// 37 E 55 N.
ChartFixture handMadeMap() {
    ChartFixture f;
    f.addArea({{{36.996, 54.998}, {36.999, 54.998}, {36.999, 55.000}, {36.996, 55.000}},
               {{36.9972, 54.9988}, {36.9978, 54.9988}, {36.9978, 54.9992}, {36.9972, 54.9992}}},
              {{"natural", "water"}});
    f.addLine({{36.990, 55.0015}, {37.010, 55.0015}}, {{"highway", "primary"}, {"name", "проспект Мира"}});
    f.addArea({{{37.002, 54.9985}, {37.0024, 54.9985}, {37.0024, 54.9988}, {37.002, 54.9988}}}, {{"building", "yes"}});
    f.addArea({{{37.0025, 55.0025}, {37.0035, 55.0025}, {37.0035, 55.0032}, {37.0025, 55.0032}}}, {{"water", "pond"}});
    return f;
}

bool near(QRgb a, QColor b, int tolerance = 2) {
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance;
}

QString describe(QRgb c) { return QColor(c).name(); }

}  // namespace

class TestChartRender : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void coloursAtKnownPlaces();
    void buildingsDropOutWhenZoomedOut();
    void largeBuildingsHaveAnOutline();
    void roadHasACasing();
    void severalMapsAreDrawnTogether();
    void emptyCollectionDrawsLand();
    void repeatedRedrawIsIdentical();
    void twoThreadsDrawWhatOneDraws();
    void cityLabelsDoNotOverlap();
    void levelOfDetailOnTheCity();

private:
    QImage render(const ChartCollection& charts, double lon, double lat, double scale, QSize size = QSize(800, 600),
                  RenderReport* report = nullptr) const;
    QRgb pixelAt(const QImage& image, double lon, double lat, double scale) const;

    QTemporaryDir dir_;
    QString handMade_;
    QString city_;
};

void TestChartRender::initTestCase() {
    QVERIFY(dir_.isValid());
    handMade_ = dir_.filePath("hand.chart");
    QVERIFY(handMadeMap().write(handMade_));
    SyntheticCity::Options o;
    o.blocksX = 40;
    o.blocksY = 30;
    city_ = dir_.filePath("city.chart");
    QString error;
    QVERIFY2(SyntheticCity(o).writeChart(city_, &error), qPrintable(error));
}

QImage TestChartRender::render(const ChartCollection& charts, double lon, double lat, double scale, QSize size,
                               RenderReport* report) const {
    MapView view(lonLatToMercator(lon, lat), 1.0, size);
    view.setScaleDenominator(scale, 96.0);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    if (report)
        charts.render(painter, view, *report);
    else
        charts.render(painter, view);
    return image;
}

QRgb TestChartRender::pixelAt(const QImage& image, double lon, double lat, double scale) const {
    MapView view(lonLatToMercator(37.0, 55.0), 1.0, image.size());
    view.setScaleDenominator(scale, 96.0);
    const QPointF p = view.geoToScreen(lat, lon);
    return image.pixel(static_cast<int>(p.x()), static_cast<int>(p.y()));
}

void TestChartRender::coloursAtKnownPlaces() {
    ChartCollection charts;
    QCOMPARE(charts.load(handMade_), 0);
    const QImage image = render(charts, 37.0, 55.0, 5000);
    const QColor water(ChartStyle::of(FeatureKind::Water).fill);
    const QRgb lake = pixelAt(image, 36.9965, 54.9995, 5000);
    QVERIFY2(near(lake, water), qPrintable(describe(lake)));
    const QRgb island = pixelAt(image, 36.9975, 54.9990, 5000);
    QVERIFY2(near(island, ChartStyle::land()), qPrintable(describe(island)));
    const QRgb road = pixelAt(image, 37.001, 55.0015, 5000);
    QVERIFY2(near(road, QColor(ChartStyle::of(FeatureKind::Primary).fill)), qPrintable(describe(road)));
    const QRgb building = pixelAt(image, 37.0022, 54.99865, 5000);
    QVERIFY2(near(building, QColor(ChartStyle::of(FeatureKind::Building).fill)), qPrintable(describe(building)));
    const QRgb pond = pixelAt(image, 37.0030, 55.00285, 5000);
    QVERIFY2(near(pond, water), qPrintable(describe(pond)));
    const QRgb empty = pixelAt(image, 37.004, 54.9975, 5000);
    QVERIFY2(near(empty, ChartStyle::land()), qPrintable(describe(empty)));
    // Nothing of the background fill used before drawing shows through.
    QVERIFY(image.pixel(0, 0) != QColor(Qt::magenta).rgb());
}

void TestChartRender::buildingsDropOutWhenZoomedOut() {
    ChartCollection charts;
    QCOMPARE(charts.load(handMade_), 0);
    const QImage image = render(charts, 37.0, 55.0, 50000);
    const QRgb building = pixelAt(image, 37.0022, 54.99865, 50000);
    QVERIFY2(near(building, ChartStyle::land()), qPrintable(describe(building)));
    // The road stays, and at this scale it is still filled with its own colour.
    const QRgb road = pixelAt(image, 37.001, 55.0015, 50000);
    QVERIFY2(near(road, QColor(ChartStyle::of(FeatureKind::Primary).fill), 12), qPrintable(describe(road)));
}

void TestChartRender::largeBuildingsHaveAnOutline() {
    // The hand-made building is some 20 x 25 px at 1:5000: its outline colour lies on its west
    // edge, its fill within, land without. At 1:20000 it is drawn plain.
    ChartCollection charts;
    QCOMPARE(charts.load(handMade_), 0);
    const QColor fill(ChartStyle::of(FeatureKind::Building).fill), stroke(ChartStyle::of(FeatureKind::Building).stroke);
    for (const double scale : {5000.0, 20000.0}) {
        const QImage image = render(charts, 37.0, 55.0, scale);
        MapView view(lonLatToMercator(37.0, 55.0), 1.0, image.size());
        view.setScaleDenominator(scale, 96.0);
        const QPointF west = view.geoToScreen(54.99865, 37.002);
        const int y = static_cast<int>(west.y());
        bool outlined = false;
        for (int x = static_cast<int>(west.x()) - 2; x <= static_cast<int>(west.x()) + 2; ++x)
            outlined = outlined || near(image.pixel(x, y), stroke, 12);
        QCOMPARE(outlined, scale < 10000);
        const QRgb inside = image.pixel(static_cast<int>(west.x()) + 3, y);
        QVERIFY2(near(inside, fill), qPrintable(describe(inside)));
    }
}

void TestChartRender::roadHasACasing() {
    ChartCollection charts;
    QCOMPARE(charts.load(handMade_), 0);
    const QImage image = render(charts, 37.0, 55.0, 5000);
    MapView view(lonLatToMercator(37.0, 55.0), 1.0, image.size());
    view.setScaleDenominator(5000, 96);
    const QPointF c = view.geoToScreen(55.0015, 37.001);
    // Walking down across the road: land, casing (darker than both), fill, casing, land.
    const QColor casing(ChartStyle::of(FeatureKind::Primary).stroke);
    int darkRuns = 0;
    bool inDark = false;
    for (int y = static_cast<int>(c.y()) - 20; y <= static_cast<int>(c.y()) + 20; ++y) {
        const bool dark = near(image.pixel(static_cast<int>(c.x()), y), casing, 60);
        if (dark && !inDark) ++darkRuns;
        inDark = dark;
    }
    QCOMPARE(darkRuns, 2);
    QVERIFY(near(image.pixel(static_cast<int>(c.x()), static_cast<int>(c.y()) - 20), ChartStyle::land()));
}

void TestChartRender::severalMapsAreDrawnTogether() {
    ChartFixture west;
    west.addArea({{{36.996, 54.998}, {36.999, 54.998}, {36.999, 55.000}, {36.996, 55.000}}}, {{"natural", "water"}});
    ChartFixture east;
    east.addArea({{{37.001, 54.998}, {37.004, 54.998}, {37.004, 55.000}, {37.001, 55.000}}}, {{"landuse", "forest"}});
    const QString w = dir_.filePath("west.chart"), e = dir_.filePath("east.chart");
    QVERIFY(west.write(w));
    QVERIFY(east.write(e));
    ChartCollection charts;
    QCOMPARE(charts.load(w), 0);
    QCOMPARE(charts.load(e), 0);
    QImage image = render(charts, 37.0, 55.0, 5000);
    QVERIFY(near(pixelAt(image, 36.9975, 54.999, 5000), QColor(ChartStyle::of(FeatureKind::Water).fill)));
    QVERIFY(near(pixelAt(image, 37.0025, 54.999, 5000), QColor(ChartStyle::of(FeatureKind::Forest).fill)));
    QVERIFY(charts.close(w));
    image = render(charts, 37.0, 55.0, 5000);
    QVERIFY(near(pixelAt(image, 36.9975, 54.999, 5000), ChartStyle::land()));
    QVERIFY(near(pixelAt(image, 37.0025, 54.999, 5000), QColor(ChartStyle::of(FeatureKind::Forest).fill)));
}

void TestChartRender::emptyCollectionDrawsLand() {
    ChartCollection charts;
    const QImage image = render(charts, 37.0, 55.0, 20000, QSize(64, 48));
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7) QVERIFY(near(image.pixel(x, y), ChartStyle::land(), 0));
}

void TestChartRender::repeatedRedrawIsIdentical() {
    // The second frame draws labels from kept images; it must look the same as the first.
    ChartCollection charts;
    QCOMPARE(charts.load(city_), 0);
    const QPointF c = SyntheticCity().centreLonLat();
    const QImage first = render(charts, c.x(), c.y(), 10000);
    const QImage second = render(charts, c.x(), c.y(), 10000);
    QCOMPARE(first, second);
}

void TestChartRender::twoThreadsDrawWhatOneDraws() {
    const ChartReader::Result r = ChartReader::read(city_);
    QVERIFY(r.chart);
    const QPointF c = SyntheticCity().centreLonLat();
    MapView view(lonLatToMercator(c.x(), c.y()), 1.0, QSize(1400, 1000));
    view.setScaleDenominator(20000, 96.0);
    QImage images[2];
    for (int threads : {1, 2}) {
        ChartRenderer renderer;
        renderer.setThreads(threads);
        QImage& image = images[threads - 1];
        image = QImage(view.size(), QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        RenderReport report;
        renderer.render(painter, view, {r.chart.get()}, &report);
        QVERIFY(threads == 1 ? report.bands == 1 : report.bands > 1);
    }
    // Compared pixel by pixel, the seams between the bands included: each band is drawn past its
    // rows, so lines crossing a seam are not cut there and the pictures are the same but for a
    // level or two of rounding.
    int differing = 0;
    for (int y = 0; y < images[0].height(); ++y)
        for (int x = 0; x < images[0].width(); ++x) differing += near(images[0].pixel(x, y), QColor(images[1].pixel(x, y)), 2) ? 0 : 1;
    QCOMPARE(differing, 0);
}

void TestChartRender::cityLabelsDoNotOverlap() {
    ChartCollection charts;
    QCOMPARE(charts.load(city_), 0);
    const QPointF c = SyntheticCity().centreLonLat();
    for (double scale : {5000.0, 10000.0, 20000.0, 200000.0}) {
        RenderReport report;
        const QSize size(1280, 800);
        render(charts, c.x() + 0.003, c.y() - 0.002, scale, size, &report);
        const auto& labels = report.labels;
        QVERIFY2(!labels.empty(), qPrintable(QString("no labels at 1:%1").arg(scale)));
        for (size_t i = 0; i < labels.size(); ++i) {
            QVERIFY(QRectF(QPointF(0, 0), QSizeF(size)).contains(labels[i].box.boundingRect()));
            for (size_t j = i + 1; j < labels.size(); ++j)
                QVERIFY2(!labels[i].box.intersects(labels[j].box),
                         qPrintable(QString("1:%1: '%2' overlaps '%3'").arg(scale).arg(labels[i].text, labels[j].text)));
        }
    }
}

void TestChartRender::levelOfDetailOnTheCity() {
    ChartCollection charts;
    QCOMPARE(charts.load(city_), 0);
    const QPointF c = SyntheticCity().centreLonLat();
    auto streetLabels = [](const RenderReport& r) {
        int n = 0;
        for (const auto& l : r.labels) n += isRoad(l.kind) ? 1 : 0;
        return n;
    };
    RenderReport near20k, far200k;
    render(charts, c.x(), c.y(), 20000, QSize(1920, 1080), &near20k);
    render(charts, c.x(), c.y(), 200000, QSize(1920, 1080), &far200k);
    QVERIFY(near20k.drawn[kindIndex(FeatureKind::Building)] > 100);
    QVERIFY(near20k.drawn[kindIndex(FeatureKind::MinorRoad)] > 10);
    QVERIFY(streetLabels(near20k) > 10);
    QCOMPARE(far200k.drawn[kindIndex(FeatureKind::Building)], 0);
    QCOMPARE(far200k.drawn[kindIndex(FeatureKind::MinorRoad)], 0);
    QVERIFY(far200k.drawn[kindIndex(FeatureKind::Primary)] > 0);
    QCOMPARE(streetLabels(far200k), 0);
    // The town's own name stays, in Cyrillic as written in the map.
    bool town = false;
    for (const auto& l : far200k.labels) town = town || (l.kind == FeatureKind::PlaceCity && l.text == SyntheticCity::cityName());
    QVERIFY(town);
    QVERIFY(std::abs(far200k.scaleDenominator - 200000) < 1);
}

QTEST_MAIN(TestChartRender)
#include "tst_chart_render.moc"
