// Tables, object sets built from them, hit testing for tooltips, the pixel clipping used when
// drawing, and long tracks drawn through the cache as every point draws them.

#include "IconLibrary.h"
#include "LineSignificance.h"
#include "MapTable.h"
#include "ObjectLayer.h"
#include "ObjectRenderer.h"
#include "ReducedPolyline.h"
#include "RoadDrive.h"
#include "ScreenClipper.h"
#include "core/Projection.h"

#include <QPainter>
#include <QtTest>

#include <atomic>

#include <cmath>
#include <limits>

using namespace mvx;

class TestObjects : public QObject {
    Q_OBJECT
private slots:
    void tableFieldsAndValues();
    void tableErrors();
    void tableEmptyingLoop();
    void pointSetFromTextAndDoubleFields();
    void badRecordsAreSkippedOthersKept();
    void missingFieldSkipsTheSet();
    void badCommandLeavesSetsUnchanged();
    void tooltipNames();
    void clipSegmentAndFarCoordinates();
    void polylineRunsAndThinning();
    void polygonClip();
    void significanceKeepsTheLineWithinTolerance();
    void viewGetsEveryKeptSegmentOnce();
    void longTrackDrawnAsEveryPoint();
};

namespace {

// The information-point table as the player declares it.
void declarePointTable(MapTable& t) {
    t.AddField(QStringLiteral("DOUBLE"), QStringLiteral("XCOORD"), QStringLiteral("Longitude"));
    t.AddField(QStringLiteral("DOUBLE"), QStringLiteral("YCOORD"), QStringLiteral("Latitude"));
    t.AddField(QStringLiteral("TEXT"), QStringLiteral("style"), QStringLiteral("style"));
    t.AddField(QStringLiteral("TEXT"), QStringLiteral("Name"), QStringLiteral("Name"));
}

void addPoint(MapTable& t, const QVariant& lon, const QVariant& lat, const QString& style, const QString& name) {
    t.AddRecord();
    t.SetFieldValue(lon, 0);
    t.SetFieldValue(lat, 1);
    t.SetFieldValue(style, 2);
    t.SetFieldValue(name, 3);
}

const QString InfoCommand = QStringLiteral("name='Список остановок';coords=[YCOORD],[XCOORD];style=[style]");
const QString IconStyle = QStringLiteral("m 'TVIcons.res' 1 rgb(0,0,0) 25");

}  // namespace

void TestObjects::tableFieldsAndValues() {
    MapTable t;
    declarePointTable(t);
    QCOMPARE(t.FieldCount(), 4);
    QCOMPARE(t.FieldName(0), QStringLiteral("XCOORD"));
    QCOMPARE(t.FieldCaption(1), QStringLiteral("Latitude"));
    QCOMPARE(t.FieldType(2), QStringLiteral("TEXT"));
    QCOMPARE(t.FieldType(0), QStringLiteral("DOUBLE"));

    t.AddRecord();
    t.SetFieldValue(37.5, 0);
    t.SetFieldValue(QStringLiteral(" 55.25 "), 1);  // text into a DOUBLE field converts
    t.SetFieldValue(12.5, 2);                        // a number into a TEXT field becomes text
    QCOMPARE(t.FieldValue(0, 0).toDouble(), 37.5);
    QCOMPARE(t.FieldValue(0, 1).toDouble(), 55.25);
    QCOMPARE(t.FieldValue(0, 2).toString(), QStringLiteral("12.5"));
    QVERIFY(t.FieldValue(0, 3).isNull());

    t.AddRecord();  // the new record becomes current
    t.SetFieldValue(QStringLiteral("второй"), 3);
    QVERIFY(t.FieldValue(0, 3).isNull());
    QCOMPARE(t.FieldValue(1, 3).toString(), QStringLiteral("второй"));
    QCOMPARE(t.GetRecordCount(), 2);
}

void TestObjects::tableErrors() {
    MapTable t;
    QVERIFY_THROWS_EXCEPTION(MapError, t.AddField(QStringLiteral("INTEGER"), QStringLiteral("n"), QStringLiteral("n")));
    declarePointTable(t);
    QVERIFY_THROWS_EXCEPTION(MapError, t.AddField(QStringLiteral("TEXT"), QStringLiteral("name"), QString()));
    // No current record yet.
    QVERIFY_THROWS_EXCEPTION(MapError, t.SetFieldValue(1.0, 0));
    QVERIFY_THROWS_EXCEPTION(MapError, t.DeleteRecord());
    t.AddRecord();
    for (int bad : {-1, 4, 100}) {
        try {
            t.SetFieldValue(1.0, bad);
            QFAIL("a wrong field index was accepted");
        } catch (const MapError& e) {
            QVERIFY(e.message().contains(QString::number(bad)));
        }
    }
    try {
        t.SetFieldValue(QStringLiteral("55,25"), 1);
        QFAIL("a text that is no number went into a DOUBLE field");
    } catch (const MapError& e) {
        QVERIFY(e.message().contains(QStringLiteral("YCOORD")));
    }
    QVERIFY(t.FieldValue(0, 1).isNull());  // nothing half-written
    QVERIFY_THROWS_EXCEPTION(MapError, t.FieldValue(1, 0));
}

void TestObjects::tableEmptyingLoop() {
    MapTable t;
    declarePointTable(t);
    for (int i = 0; i < 5; ++i) addPoint(t, i, i, IconStyle, QString::number(i));
    int guard = 0;
    while (t.GetRecordCount() > 0 && guard++ < 10) {
        t.MoveFirst();
        t.DeleteRecord();
    }
    QCOMPARE(t.GetRecordCount(), 0);
    QCOMPARE(guard, 5);
    t.MoveFirst();
    QCOMPARE(t.currentRecord(), -1);

    // Deleting the current record makes the next one current.
    for (int i = 0; i < 3; ++i) addPoint(t, i, i, IconStyle, QString::number(i));
    t.MoveFirst();
    t.DeleteRecord();
    t.SetFieldValue(QStringLiteral("x"), 3);
    QCOMPARE(t.FieldValue(0, 3).toString(), QStringLiteral("x"));
    QCOMPARE(t.FieldValue(1, 3).toString(), QStringLiteral("2"));
}

void TestObjects::pointSetFromTextAndDoubleFields() {
    // Control-point centres come as texts with '.' decimals, information points as doubles.
    MapTable centres;
    centres.AddField(QStringLiteral("DOUBLE"), QStringLiteral("XCOORD"), QStringLiteral("Longitude"));
    centres.AddField(QStringLiteral("DOUBLE"), QStringLiteral("YCOORD"), QStringLiteral("Latitude"));
    centres.AddField(QStringLiteral("TEXT"), QStringLiteral("style"), QStringLiteral("style"));
    centres.AddRecord();
    centres.SetFieldValue(QStringLiteral("37.618423"), 0);
    centres.SetFieldValue(QStringLiteral("55.751244"), 1);
    centres.SetFieldValue(QStringLiteral("t 'Склад' 'Arial 204' 8 rgb(0,0,0)"), 2);
    ObjectLayer layer;
    QCOMPARE(layer.load(QStringLiteral("name=centersKT;coords=[YCOORD],[XCOORD];style=[style]"), QString(), centres), 1);
    const ObjectSetInfo info = layer.info(QStringLiteral("centersKT"));
    QCOMPARE(info.records[0].kind, QStringLiteral("text"));
    QCOMPARE(info.records[0].lonLat[0], QPointF(37.618423, 55.751244));  // latitude field first in the command

    MapTable points;
    declarePointTable(points);
    addPoint(points, 30.25, 59.5, IconStyle, QStringLiteral("00:10:00 (0)"));
    QCOMPARE(layer.load(InfoCommand, QString(), points), 1);
    const ObjectSetInfo p = layer.info(QStringLiteral("Список остановок"));
    QCOMPARE(p.records[0].lonLat[0], QPointF(30.25, 59.5));
    QCOMPARE(p.records[0].name, QStringLiteral("00:10:00 (0)"));
    QCOMPARE(p.records[0].kind, QStringLiteral("icon"));
}

void TestObjects::badRecordsAreSkippedOthersKept() {
    MapTable t;
    declarePointTable(t);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    addPoint(t, 37.0, 55.0, IconStyle, QStringLiteral("good 1"));
    addPoint(t, nan, 55.0, IconStyle, QStringLiteral("nan"));
    addPoint(t, 37.0, inf, IconStyle, QStringLiteral("inf"));
    addPoint(t, 37.0, 55.0, QStringLiteral("m 'TVIcons.res' rgb(0,0,0) 25"), QStringLiteral("bad style"));
    addPoint(t, 37.0, 55.0, QStringLiteral("m 'TVIcons.res' rgb(0,0,0) 25"), QStringLiteral("bad style again"));
    t.AddRecord();  // no coordinates at all
    t.SetFieldValue(IconStyle, 2);
    addPoint(t, 37.0, 123.0, IconStyle, QStringLiteral("latitude out of range"));
    addPoint(t, 38.0, 56.0, QString(), QStringLiteral("no own style, no default"));
    addPoint(t, 38.5, 56.5, IconStyle, QStringLiteral("good 2"));

    ObjectLayer layer;
    QCOMPARE(layer.load(InfoCommand, QString(), t), 2);
    const ObjectSetInfo info = layer.info(QStringLiteral("Список остановок"));
    QCOMPARE(info.records.size(), 2);
    QCOMPARE(info.records[0].name, QStringLiteral("good 1"));
    QCOMPARE(info.records[1].name, QStringLiteral("good 2"));
    QCOMPARE(info.skippedRecords, 7);
    // Each reason is reported once, with its count: the two bad styles share one line.
    QCOMPARE(layer.lastWarnings().size(), 4);
    QVERIFY(std::any_of(layer.lastWarnings().cbegin(), layer.lastWarnings().cend(),
                        [](const QString& w) { return w.contains(QStringLiteral("2 record(s)")) && w.contains(QStringLiteral("style")); }));

    // With a default style, a record without its own style takes it.
    QCOMPARE(layer.load(InfoCommand, IconStyle, t), 3);
}

void TestObjects::missingFieldSkipsTheSet() {
    MapTable t;
    t.AddField(QStringLiteral("TEXT"), QStringLiteral("metr"), QStringLiteral("metr"));
    t.AddRecord();
    t.SetFieldValue(QStringLiteral("L E 1 2,3 4"), 0);
    ObjectLayer layer;
    QCOMPARE(layer.load(QStringLiteral("name=a;coords=[YCOORD],[XCOORD]"), QStringLiteral("l rgb(0,0,0) 1"), t), 0);
    QCOMPARE(layer.info(QStringLiteral("a")).skippedRecords, 1);
    QCOMPARE(layer.lastWarnings().size(), 1);
    QVERIFY(layer.lastWarnings().first().contains(QStringLiteral("YCOORD")));
    // The set exists, empty: the map shows nothing for it.
    QCOMPARE(layer.names(), QStringList{QStringLiteral("a")});
}

void TestObjects::badCommandLeavesSetsUnchanged() {
    MapTable t;
    t.AddField(QStringLiteral("TEXT"), QStringLiteral("metr"), QStringLiteral("metr"));
    t.AddRecord();
    t.SetFieldValue(QStringLiteral("L E 1 2,3 4"), 0);
    ObjectLayer layer;
    QCOMPARE(layer.load(QStringLiteral("name=a;metrics=[metr]"), QStringLiteral("l rgb(0,0,0) 1"), t), 1);
    QCOMPARE(layer.load(QStringLiteral("name='a;metrics=[metr]"), QStringLiteral("l rgb(0,0,0) 1"), t), -1);
    QCOMPARE(layer.names(), QStringList{QStringLiteral("a")});
    QCOMPARE(layer.info(QStringLiteral("a")).records.size(), 1);
}

void TestObjects::tooltipNames() {
    MapView view(lonLatToMercator(37.0, 55.0), 2.0, QSize(400, 300));
    MapTable t;
    declarePointTable(t);
    const QPointF a = view.screenToGeo(QPointF(100, 100));
    const QPointF b = view.screenToGeo(QPointF(300, 200));
    addPoint(t, a.x(), a.y(), IconStyle, QStringLiteral("A (0)"));
    addPoint(t, b.x(), b.y(), QStringLiteral("m 'TVAllTS.res' 1 rgb(0,0,0) 35"), QStringLiteral("ТС 1"));
    ObjectLayer layer;
    layer.load(InfoCommand, QString(), t);
    QCOMPARE(layer.nameAt(view, QPointF(100, 100)), QStringLiteral("A (0)"));
    QCOMPARE(layer.nameAt(view, QPointF(111, 90)), QStringLiteral("A (0)"));  // inside the 25-pixel icon
    QCOMPARE(layer.nameAt(view, QPointF(114, 100)), QString());              // just outside it
    QCOMPARE(layer.nameAt(view, QPointF(316, 216)), QStringLiteral("ТС 1"));  // 35-pixel icon reaches further
    QCOMPARE(layer.nameAt(view, QPointF(200, 150)), QString());

    // A named ring answers inside, an unnamed one never.
    MapTable areas;
    areas.AddField(QStringLiteral("TEXT"), QStringLiteral("metr"), QStringLiteral("metr"));
    areas.AddField(QStringLiteral("TEXT"), QStringLiteral("Name"), QStringLiteral("Name"));
    areas.AddRecord();
    QStringList ring;
    for (const QPointF px : {QPointF(20, 200), QPointF(80, 200), QPointF(80, 280), QPointF(20, 280), QPointF(20, 200)}) {
        const QPointF g = view.screenToGeo(px);
        ring << QStringLiteral("%1 %2").arg(g.x(), 0, 'f', 9).arg(g.y(), 0, 'f', 9);
    }
    areas.SetFieldValue(QStringLiteral("L E ") + ring.join(u','), 0);
    areas.SetFieldValue(QStringLiteral("Склад"), 1);
    layer.load(QStringLiteral("name='Контрольная точка';metrics=[metr]"), QStringLiteral("a rgb(255,0,0) 10"), areas);
    QCOMPARE(layer.nameAt(view, QPointF(50, 240)), QStringLiteral("Склад"));
    QCOMPARE(layer.nameAt(view, QPointF(120, 240)), QString());
}

void TestObjects::clipSegmentAndFarCoordinates() {
    const QRectF clip(0, 0, 100, 100);
    QPointF a(-50, 50), b(150, 50);
    QVERIFY(ScreenClipper::clipSegment(a, b, clip));
    QCOMPARE(a, QPointF(0, 50));
    QCOMPARE(b, QPointF(100, 50));

    // Far beyond what the painter handles: the cut stays exact in double precision.
    a = QPointF(-1e9, -1e9 + 50);
    b = QPointF(1e9, 1e9 + 50);
    QVERIFY(ScreenClipper::clipSegment(a, b, clip));
    QVERIFY(std::fabs(a.x() - 0.0) < 1e-6 && std::fabs(a.y() - 50.0) < 1e-6);
    QVERIFY(std::fabs(b.x() - 50.0) < 1e-6 && std::fabs(b.y() - 100.0) < 1e-6);

    a = QPointF(-10, -10);
    b = QPointF(-5, 200);
    QVERIFY(!ScreenClipper::clipSegment(a, b, clip));
}

void TestObjects::polylineRunsAndThinning() {
    const QRectF clip(0, 0, 100, 100);
    QVector<QVector<QPointF>> runs;
    auto collect = [&](const QVector<QPointF>& r) { runs.append(r); };

    // In, out, back in: two runs, cut at the border.
    const QVector<QPointF> zig{{10, 10}, {50, 50}, {150, 50}, {150, 80}, {50, 80}, {20, 90}};
    ScreenClipper::clipPolyline(zig.constData(), int(zig.size()), clip, 1.0, collect);
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs[0], (QVector<QPointF>{{10, 10}, {50, 50}, {100, 50}}));
    QCOMPARE(runs[1], (QVector<QPointF>{{100, 80}, {50, 80}, {20, 90}}));

    // 1000 points a tenth of a pixel apart thin to about one per pixel, ends kept.
    runs.clear();
    QVector<QPointF> dense;
    for (int i = 0; i <= 1000; ++i) dense.append(QPointF(10 + i * 0.05, 20 + i * 0.05));
    ScreenClipper::clipPolyline(dense.constData(), int(dense.size()), clip, 1.0, collect);
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs[0].first(), dense.first());
    QCOMPARE(runs[0].last(), dense.last());
    QVERIFY(runs[0].size() <= 75 && runs[0].size() >= 60);  // 70.7 pixels long

    // Non-finite points break the line instead of reaching the painter.
    runs.clear();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const QVector<QPointF> broken{{10, 10}, {20, 20}, {nan, 30}, {40, 40}, {50, 50}};
    ScreenClipper::clipPolyline(broken.constData(), int(broken.size()), clip, 1.0, collect);
    QCOMPARE(runs.size(), 2);
    for (const auto& r : runs)
        for (const QPointF& p : r) QVERIFY(std::isfinite(p.x()) && std::isfinite(p.y()));
}

void TestObjects::polygonClip() {
    const QRectF clip(0, 0, 100, 100);
    // A ring much larger than the view becomes the view's rectangle.
    const QPolygonF huge{{-1e7, -1e7}, {1e7, -1e7}, {1e7, 1e7}, {-1e7, 1e7}};
    const QPolygonF c = ScreenClipper::clipPolygon(huge, clip);
    QCOMPARE(c.boundingRect(), clip);
    // Half in, half out.
    const QPolygonF half{{50, 20}, {150, 20}, {150, 60}, {50, 60}, {50, 20}};
    QCOMPARE(ScreenClipper::clipPolygon(half, clip).boundingRect(), QRectF(50, 20, 50, 40));
    QVERIFY(ScreenClipper::clipPolygon(QPolygonF{{200, 200}, {300, 200}, {300, 300}}, clip).isEmpty());
}

namespace {

// Where the cached drawing may differ from the drawing of every point: at the edges of the track,
// by its antialiasing (some 4 % of the track's pixels by more than a quarter of the range; the
// same drawing a pixel aside differs in half of them). Returns what is wrong, or nothing.
QString antialiasingOnly(const QImage& drawn, const QImage& reference, QRgb background) {
    int trackPixels = 0, differing = 0, inUniform = 0;
    for (int y = 1; y + 1 < reference.height(); ++y) {
        for (int x = 1; x + 1 < reference.width(); ++x) {
            const QRgb r = reference.pixel(x, y), d = drawn.pixel(x, y);
            trackPixels += r != background;
            const int diff = std::max({std::abs(qRed(r) - qRed(d)), std::abs(qGreen(r) - qGreen(d)),
                                       std::abs(qBlue(r) - qBlue(d))});
            if (diff <= 64) continue;
            ++differing;
            bool uniform = true;  // inside the track or clear of it, no edge is near
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) uniform = uniform && reference.pixel(x + dx, y + dy) == r;
            inUniform += uniform;
        }
    }
    if (trackPixels < 10000) return QStringLiteral("the view shows little of the track: %1 pixels").arg(trackPixels);
    if (inUniform > trackPixels / 2000 || differing > trackPixels / 12)
        return QStringLiteral("%1 of %2 track pixels differ, %3 away from any edge").arg(differing).arg(trackPixels).arg(inUniform);
    return QString();
}

}  // namespace

// The points kept above a tolerance leave no dropped point farther than it from the kept segment
// that replaces it, across the cuts between spans; a larger tolerance keeps fewer.
void TestObjects::significanceKeepsTheLineWithinTolerance() {
    std::vector<QPointF> walk;
    double x = 0, y = 0, heading = 0;
    for (int i = 0; i < 3 * LineSignificance::SpanPoints + 77; ++i) {
        heading += std::sin(i * 0.37) * 0.6 + (i % 97 == 0 ? 2.5 : 0.0);  // bends and sharp turns back
        x += std::cos(heading) * (1 + i % 5);
        y += std::sin(heading) * (1 + i % 5);
        walk.emplace_back(x, y);
    }
    LineSignificance significance;
    significance.build(walk.data(), static_cast<qsizetype>(walk.size()));
    QCOMPARE(significance.count(), qsizetype(walk.size()));
    auto distance = [](const QPointF& p, const QPointF& a, const QPointF& b) {
        const QPointF v = b - a, w = p - a;
        const double len2 = QPointF::dotProduct(v, v);
        const double t = len2 > 0 ? std::clamp(QPointF::dotProduct(w, v) / len2, 0.0, 1.0) : 0.0;
        const QPointF e = w - t * v;
        return std::sqrt(QPointF::dotProduct(e, e));
    };
    qsizetype keptBefore = qsizetype(walk.size()) + 1;
    for (double tolerance : {0.5, 3.0, 20.0}) {
        std::vector<qsizetype> kept;
        for (qsizetype i = 0; i < significance.count(); ++i)
            if (significance.values()[i] > tolerance) kept.push_back(i);
        QCOMPARE(kept.front(), qsizetype(0));
        QCOMPARE(kept.back(), qsizetype(walk.size()) - 1);
        for (size_t k = 1; k < kept.size(); ++k)
            for (qsizetype i = kept[k - 1] + 1; i < kept[k]; ++i)
                QVERIFY2(distance(walk[i], walk[kept[k - 1]], walk[kept[k]]) <= tolerance,
                         qPrintable(QStringLiteral("point %1 dropped at tolerance %2").arg(i).arg(tolerance)));
        QVERIFY(qsizetype(kept.size()) < keptBefore);
        keptBefore = qsizetype(kept.size());
    }
    QVERIFY(keptBefore < qsizetype(walk.size()) / 4);
}

// A view's runs of a reduction hold every kept segment that crosses it, once, also when the line
// is visited in two parts (as two threads do).
void TestObjects::viewGetsEveryKeptSegmentOnce() {
    std::vector<QPointF> walk;
    double x = 0, y = 0, heading = 0;
    for (int i = 0; i < 3 * LineSignificance::SpanPoints + 77; ++i) {
        heading += i % 97 == 0 ? 1.0 : 0.0;  // straight runs: most points are dropped
        x += std::cos(heading) * 3, y += std::sin(heading) * 3;
        walk.emplace_back(x, y);
    }
    LineSignificance significance;
    significance.build(walk.data(), static_cast<qsizetype>(walk.size()));
    ReducedPolyline line;
    line.build(walk.data(), significance, 2.0, 0.5);  // world pixels: (x / 2, -y / 2)
    const QPointF& cut = walk[size_t(line.splitBlock() * (LineSignificance::BlockPoints - 1))];
    const QRectF area(QPointF(cut.x() / 2, -cut.y() / 2) - QPointF(40, 30), QSizeF(80, 60));
    std::vector<std::pair<QPointF, QPointF>> visited;
    const auto collect = [&](const QPointF* p, int count) {
        for (int k = 1; k < count; ++k) visited.emplace_back(p[k - 1], p[k]);
    };
    line.visit(area, collect, 0, line.splitBlock());
    line.visit(area, collect, line.splitBlock(), line.blockCount());
    int crossing = 0;
    QPointF previous;
    for (size_t i = 0; i < walk.size(); ++i) {
        if (!(significance.values()[i] > 0.5 * 2.0)) continue;
        const QPointF point(walk[i].x() / 2, -walk[i].y() / 2);
        QPointF a = previous, b = point;
        if (i > 0 && ScreenClipper::clipSegment(a, b, area)) {
            ++crossing;
            QCOMPARE(std::count(visited.begin(), visited.end(), std::make_pair(previous, point)), 1);
        }
        previous = point;
    }
    QVERIFY(crossing > 10);
}

void TestObjects::longTrackDrawnAsEveryPoint() {
    roaddrive::RoadNetwork roads;
    QString error;
    QVERIFY2(roads.load(QStringLiteral(TELVIKA_SOURCE_DIR "/tests/data/osm/liechtenstein.osm.pbf"), &error),
             qPrintable(error));
    roaddrive::Options day;
    day.seconds = 86400;
    QString text = QStringLiteral("L E ");
    for (const roaddrive::Sample& s : roaddrive::drive(roads, day))
        text += QString::number(s.lon, 'f', 7) + u' ' + QString::number(s.lat, 'f', 7) + u',';
    text.chop(1);
    MapTable base, line;
    ObjectLayer layer;
    for (MapTable* t : {&base, &line}) {
        t->AddField(QStringLiteral("TEXT"), QStringLiteral("metr"), QStringLiteral("metr"));
        t->AddRecord();
        t->SetFieldValue(text, 0);
    }
    layer.load(QStringLiteral("name=nametab1;metrics=[metr]"), QStringLiteral("l rgb(0,0,0) 4"), base);
    layer.load(QStringLiteral("name=nametab2;metrics=[metr]"), QStringLiteral("l rgb(255,0,0) 2"), line);

    ObjectRenderer cached, every;
    every.setLineDetail(ObjectRenderer::LineDetail::AllPoints);
    IconLibrary icons;
    const QRgb background = qRgb(242, 239, 233);
    auto draw = [&](ObjectRenderer& renderer, const MapView& view, double dpr) {
        QImage image(view.size() * dpr, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(dpr);
        image.fill(background);
        QPainter p(&image);
        renderer.render(p, view, layer, icons);
        return image;
    };
    MapView view(lonLatToMercator(9.5209, 47.1410), 1.0, QSize(800, 600));
    view.setScaleDenominator(20000.0, 96.0);
    MapView panned = view;  // the tiles of the first view serve again, shifted
    panned.setCenter(view.center() + QPointF(313, -171) * view.mercatorPerPixel());
    MapView closer = view;
    closer.setScaleDenominator(5000.0, 96.0);
    for (const MapView& v : {view, panned, closer}) {
        const QString wrong = antialiasingOnly(draw(cached, v, 1.0), draw(every, v, 1.0), background);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }
    // On a screen of twice the pixels the tiles have them too.
    const QString sharp = antialiasingOnly(draw(cached, view, 2.0), draw(every, view, 2.0), background);
    QVERIFY2(sharp.isEmpty(), qPrintable(sharp));

    // Zoomed with tiles made behind: the scale before, stretched, at once; then the same picture
    // as made on the spot.
    ObjectRenderer behind;
    std::atomic<int> ready{0};
    behind.setTilesReady([&] { ++ready; });
    draw(behind, view, 1.0);
    behind.setBackgroundTiles(true);
    const QImage stretched = draw(behind, closer, 1.0), exact = draw(cached, closer, 1.0);
    QImage empty(stretched.size(), stretched.format());
    empty.fill(background);
    QVERIFY(stretched != exact && stretched != empty);
    QTRY_COMPARE_WITH_TIMEOUT(ready.load(), 1, 20000);
    QCOMPARE(draw(behind, closer, 1.0), exact);
    // A whole view has the worker make the next wheel step's scale, on whole pixels of its world
    // grid: a view there is drawn from them at once (not stretched from the scale before).
    MapView step = view;
    step.setMercatorPerPixel(view.mercatorPerPixel() / std::sqrt(2.0));
    const double mpp = step.mercatorPerPixel();
    const QPointF corner(step.center().x() / mpp - 400.0, -step.center().y() / mpp - 300.0);
    step.setCenter(step.center() - QPointF(corner.x() - std::round(corner.x()), std::round(corner.y()) - corner.y()) * mpp);
    ObjectRenderer ahead;
    std::atomic<int> made{0};
    ahead.setTilesReady([&] { ++made; });
    ahead.setBackgroundTiles(true, {mpp});
    draw(ahead, view, 1.0);
    QTRY_COMPARE_WITH_TIMEOUT(made.load(), 1, 20000);
    const QString stepped = antialiasingOnly(draw(ahead, step, 1.0), draw(every, step, 1.0), background);
    QVERIFY2(stepped.isEmpty(), qPrintable(stepped));
    // A renderer gone while its worker makes tiles waits for it (the sanitized build checks).
    {
        ObjectRenderer gone;
        gone.setTilesReady([] {});
        draw(gone, view, 1.0);
        gone.setBackgroundTiles(true);
        draw(gone, closer, 1.0);
    }
}

QTEST_GUILESS_MAIN(TestObjects)
#include "tst_objects.moc"
