// Pure logic of base maps: projection round trips, the spatial index, label collision, level of
// detail, the other_tags parser, tag classification and dash patterns.
#include "chart/DashPattern.h"
#include "chart/FeatureClassifier.h"
#include "chart/LabelPlacer.h"
#include "chart/LevelOfDetail.h"
#include "chart/OtherTags.h"
#include "chart/SpatialGrid.h"
#include "chart/StraightRuns.h"
#include "core/Projection.h"

#include <QtTest>

#include <random>

using namespace mvx;

class TestChartGeometry : public QObject {
    Q_OBJECT
private slots:
    void projectionRoundTrips();
    void viewRoundTripsAndScale();
    void gridFindsEveryIntersectingItem();
    void placedLabelsNeverOverlap();
    void overlapOfTurnedBoxes();
    void straightRunsForStreetNames();
    void levelOfDetailByScale();
    void linesWidenWhenZoomingIn();
    void otherTagsParsing();
    void classificationEdges();
    void dashesAlongAStraightLine();
    void dashesRunOnAcrossVertices();
    void dashesAreTheSameHoweverClipped();
    void patternsWithoutGapsGiveTheWholeLine();
};

void TestChartGeometry::projectionRoundTrips() {
    for (double lat = -85.0; lat <= 85.0; lat += 8.5) {
        for (double lon = -180.0; lon <= 180.0; lon += 22.5) {
            const QPointF m = lonLatToMercator(lon, lat);
            const QPointF back = mercatorToLonLat(m);
            QVERIFY2(std::abs(back.x() - lon) < 1e-9 && std::abs(back.y() - lat) < 1e-9,
                     qPrintable(QString("%1 %2 -> %3 %4").arg(lon).arg(lat).arg(back.x()).arg(back.y())));
        }
    }
    // Known values: the equator and the prime meridian are the origin; 180 degrees east is half
    // the equator's length; latitudes beyond the Mercator limit are clamped, not infinite.
    QVERIFY(lonLatToMercator(0, 0).manhattanLength() < 1e-6);
    QVERIFY(std::abs(lonLatToMercator(180, 0).x() - M_PI * EarthRadius) < 1e-6);
    QVERIFY(std::isfinite(lonLatToMercator(0, 90).y()));
    QVERIFY(std::abs(lonLatToMercator(0, 90).y() - lonLatToMercator(0, MaxMercatorLatitude).y()) < 1e-6);
}

void TestChartGeometry::viewRoundTripsAndScale() {
    MapView view(lonLatToMercator(49.12, 55.79), 3.7, QSize(1920, 1080));
    for (const QPointF px : {QPointF(0, 0), QPointF(1919.5, 1079.5), QPointF(960, 540), QPointF(-300, 2000)}) {
        const QPointF back = view.mercToScreen(view.screenToMerc(px));
        QVERIFY(std::abs(back.x() - px.x()) < 1e-6 && std::abs(back.y() - px.y()) < 1e-6);
    }
    const QPointF geo = view.screenToGeo(QPointF(100, 200));  // x lon, y lat
    const QPointF px = view.geoToScreen(geo.y(), geo.x());
    QVERIFY(std::abs(px.x() - 100) < 1e-6 && std::abs(px.y() - 200) < 1e-6);
    // North is up: a point north of the centre is above it.
    QVERIFY(view.geoToScreen(55.80, 49.12).y() < 540);
    for (double scale : {1000.0, 20000.0, 200000.0}) {
        view.setScaleDenominator(scale, 96);
        QVERIFY(std::abs(view.scaleDenominator(96) - scale) < 1e-6 * scale);
    }
}

void TestChartGeometry::gridFindsEveryIntersectingItem() {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> pos(0, 1000), len(0, 60);
    std::vector<QRectF> items;
    for (int i = 0; i < 3000; ++i) {
        const double w = i % 10 == 0 ? 0.0 : len(rng);  // some points and straight lines
        items.emplace_back(pos(rng), pos(rng), w, len(rng));
    }
    items.emplace_back(-50, -50, 1100, 1100);  // one spanning everything
    SpatialGrid grid;
    grid.build(items, QRectF(-50, -50, 1100, 1100));
    for (int q = 0; q < 200; ++q) {
        const QRectF query(pos(rng) - 100, pos(rng) - 100, len(rng) * 4, len(rng) * 4);
        std::vector<int> hits(items.size(), 0);
        grid.query(query, [&](std::uint32_t i) { ++hits[i]; });
        for (size_t i = 0; i < items.size(); ++i) {
            const QRectF& b = items[i];
            const bool meets = b.right() >= query.left() && b.left() <= query.right() && b.bottom() >= query.top() &&
                               b.top() <= query.bottom();
            QVERIFY2(hits[i] <= 1, "an item was reported twice");
            if (meets) QVERIFY2(hits[i] == 1, qPrintable(QString("item %1 missed").arg(i)));
        }
    }
    // A query far away from everything finds nothing.
    int found = 0;
    grid.query(QRectF(5000, 5000, 10, 10), [&](std::uint32_t) { ++found; });
    QCOMPARE(found, 0);
}

void TestChartGeometry::placedLabelsNeverOverlap() {
    const QRectF area(0, 0, 800, 600);
    LabelPlacer placer(area);
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> x(-50, 850), y(-50, 650), w(20, 160), a(-90, 90);
    int rejected = 0;
    for (int i = 0; i < 2000; ++i) {
        const QPolygonF box = LabelPlacer::orientedBox(QPointF(x(rng), y(rng)), w(rng), 14, i % 3 ? a(rng) : 0.0);
        if (!placer.tryPlace(box)) ++rejected;
    }
    const auto& placed = placer.placed();
    QVERIFY(placed.size() > 40);
    QVERIFY(rejected > 0);
    // Checked with Qt's own polygon intersection, independent of the placer's test.
    for (size_t i = 0; i < placed.size(); ++i) {
        QVERIFY(area.contains(placed[i].boundingRect()));
        for (size_t j = i + 1; j < placed.size(); ++j)
            QVERIFY2(!placed[i].intersects(placed[j]), qPrintable(QString("labels %1 and %2 overlap").arg(i).arg(j)));
    }
}

void TestChartGeometry::overlapOfTurnedBoxes() {
    // Two long thin labels crossing like an X overlap although no corner lies inside the other.
    const QPolygonF a = LabelPlacer::orientedBox(QPointF(100, 100), 120, 10, 45);
    const QPolygonF b = LabelPlacer::orientedBox(QPointF(100, 100), 120, 10, -45);
    QVERIFY(LabelPlacer::overlaps(a, b));
    // Parallel diagonal labels whose bounding rectangles overlap but which do not touch.
    const QPolygonF c = LabelPlacer::orientedBox(QPointF(100, 100), 120, 10, 45);
    const QPolygonF d = LabelPlacer::orientedBox(QPointF(120, 80), 120, 10, 45);
    QVERIFY(c.boundingRect().intersects(d.boundingRect()));
    QVERIFY(!LabelPlacer::overlaps(c, d));
    LabelPlacer placer(QRectF(0, 0, 300, 300));
    QVERIFY(placer.tryPlace(c));
    QVERIFY(placer.tryPlace(d));
    QVERIFY(!placer.tryPlace(a));
    // A label running off the area is refused.
    QVERIFY(!placer.tryPlace(LabelPlacer::orientedBox(QPointF(295, 150), 40, 10, 0)));
}

void TestChartGeometry::straightRunsForStreetNames() {
    const QRectF view(0, 0, 800, 600);
    // A long street whose middle is far off screen: only its visible stretch counts.
    auto runs = StraightRuns::find({{-5000, 300}, {700, 300}}, view, 22);
    QCOMPARE(runs.size(), size_t(1));
    QCOMPARE(runs[0].from, QPointF(0, 300));
    QCOMPARE(runs[0].to, QPointF(700, 300));
    QCOMPARE(runs[0].length, 700.0);
    // A right-angle turn makes two stretches, the longer first.
    runs = StraightRuns::find({{100, 100}, {200, 100}, {200, 500}}, view, 22);
    QCOMPARE(runs.size(), size_t(2));
    QCOMPARE(runs[0].length, 400.0);
    QCOMPARE(runs[0].from, QPointF(200, 100));
    QCOMPARE(runs[1].length, 100.0);
    // A line that leaves the view and comes back gives separate stretches, never one across the gap.
    runs = StraightRuns::find({{100, 100}, {100, -100}, {300, -100}, {300, 200}}, view, 22);
    QCOMPARE(runs.size(), size_t(2));
    for (const auto& r : runs) QVERIFY(r.from.y() >= 0 && r.to.y() >= 0);
    QCOMPARE(runs[0].length, 200.0);
    QCOMPARE(runs[1].length, 100.0);
    // A gentle bend, 10 degrees a segment: a stretch ends once it has turned more than 22 degrees.
    std::vector<QPointF> bend{{100, 300}};
    for (int k = 0; k < 6; ++k) {
        const double a = k * 10.0 * M_PI / 180.0;
        bend.push_back(bend.back() + QPointF(50 * std::cos(a), -50 * std::sin(a)));
    }
    runs = StraightRuns::find(bend, view, 22);
    QCOMPARE(runs.size(), size_t(2));
    QVERIFY(std::abs(runs[0].length - 150.0) < 1e-9);
    // Nothing on screen, nothing to label.
    QVERIFY(StraightRuns::find({{-10, -10}, {-500, -300}}, view, 22).empty());
    QVERIFY(StraightRuns::find({{10, 10}}, view, 22).empty());
}

void TestChartGeometry::levelOfDetailByScale() {
    const LevelOfDetail town(200000, 53);
    QVERIFY(town.visible(FeatureKind::Primary));
    QVERIFY(town.visible(FeatureKind::Water));
    QVERIFY(!town.visible(FeatureKind::Building));
    QVERIFY(!town.visible(FeatureKind::MinorRoad));
    QVERIFY(!town.visible(FeatureKind::Path));
    QVERIFY(town.labelled(FeatureKind::PlaceCity));
    QVERIFY(!town.labelled(FeatureKind::PlaceSuburb));
    QVERIFY(!town.labelled(FeatureKind::Primary));
    QCOMPARE(town.casingWidth(FeatureKind::MinorRoad), 0.0);

    const LevelOfDetail streets(20000, 5.3);
    QVERIFY(streets.visible(FeatureKind::Building));
    QVERIFY(streets.visible(FeatureKind::MinorRoad));
    QVERIFY(streets.labelled(FeatureKind::MinorRoad));
    QVERIFY(streets.labelled(FeatureKind::PlaceSuburb));
    QVERIFY(!streets.visible(FeatureKind::Path));
    QVERIFY(!streets.visible(FeatureKind::None));

    const LevelOfDetail yard(5000, 1.3);
    QVERIFY(yard.visible(FeatureKind::Path));
    QVERIFY(yard.visible(FeatureKind::Parking));
    QVERIFY(yard.labelled(FeatureKind::Park));
}

void TestChartGeometry::linesWidenWhenZoomingIn() {
    double previous = 0;
    for (double scale : {500000.0, 200000.0, 50000.0, 20000.0, 10000.0, 5000.0, 2000.0}) {
        const LevelOfDetail lod(scale, scale * 0.0254 / 96.0);
        const double w = lod.lineWidth(FeatureKind::Primary);
        QVERIFY2(w >= previous, qPrintable(QString("1:%1 narrower than the scale before").arg(scale)));
        QVERIFY(w <= 48.0);
        // Casings appear once roads are wide enough to carry them.
        if (scale <= 120000)
            QVERIFY(lod.casingWidth(FeatureKind::Primary) > w);
        else
            QCOMPARE(lod.casingWidth(FeatureKind::Primary), 0.0);
        // Major roads are never drawn narrower than minor ones.
        QVERIFY(lod.lineWidth(FeatureKind::Motorway) >= lod.lineWidth(FeatureKind::MinorRoad));
        previous = w;
    }
    QVERIFY(LevelOfDetail(2000, 0.53).lineWidth(FeatureKind::Primary) > 2 * LevelOfDetail(50000, 13).lineWidth(FeatureKind::Primary));
}

void TestChartGeometry::otherTagsParsing() {
    const auto t = OtherTags::parse(R"("surface"=>"asphalt","name:en"=>"Lenin \"Big\" Street","path"=>"C:\\x")");
    QVERIFY(t.complete());
    QCOMPARE(t.pairs().size(), size_t(3));
    QCOMPARE(std::string(t.value("surface")), std::string("asphalt"));
    QCOMPARE(std::string(t.value("name:en")), std::string("Lenin \"Big\" Street"));
    QCOMPARE(std::string(t.value("path")), std::string("C:\\x"));
    QVERIFY(t.value("missing").empty());
    // UTF-8 values pass through untouched.
    QCOMPARE(QString::fromStdString(std::string(OtherTags::parse(R"("name"=>"Улица")").value("name"))), QString("Улица"));
    // Malformed text keeps the pairs read before the fault.
    const auto broken = OtherTags::parse(R"("a"=>"1","b"=>"2,"c")");
    QVERIFY(!broken.complete());
    QCOMPARE(std::string(broken.value("a")), std::string("1"));
    QVERIFY(broken.value("c").empty());
    for (const char* bad : {R"("a"=>)", R"("a"="1")", R"("a"=>"1",)", R"(a=>"1")", "\"", R"("a"=>"1"x)"})
        QVERIFY2(!OtherTags::parse(bad).complete(), bad);
    QVERIFY(OtherTags::parse("").complete());
    QVERIFY(OtherTags::parse("   ").complete());
}

void TestChartGeometry::classificationEdges() {
    FeatureTags tags;
    tags.set(FeatureTags::Building, "no");
    tags.set(FeatureTags::Landuse, "residential");
    QCOMPARE(FeatureClassifier::classify(tags, FeatureShape::Area), FeatureKind::Residential);
    tags.set(FeatureTags::Building, "yes");
    QCOMPARE(FeatureClassifier::classify(tags, FeatureShape::Area), FeatureKind::Building);
    // An area tag on a line, or a road tag on an area, is not drawn.
    QCOMPARE(FeatureClassifier::classify(tags, FeatureShape::Line), FeatureKind::None);
    tags.clear();
    tags.set(FeatureTags::Highway, "primary");
    QCOMPARE(FeatureClassifier::classify(tags, FeatureShape::Area), FeatureKind::None);
    QCOMPARE(FeatureClassifier::classify(tags, FeatureShape::Line), FeatureKind::Primary);
    // A road wins over a railway on the same way; an unknown road class falls through to it.
    tags.set(FeatureTags::Railway, "tram");
    QCOMPARE(FeatureClassifier::classify(tags, FeatureShape::Line), FeatureKind::Primary);
    tags.set(FeatureTags::Highway, "proposed");
    QCOMPARE(FeatureClassifier::classify(tags, FeatureShape::Line), FeatureKind::MinorRail);
    tags.clear();
    tags.set(FeatureTags::Water, "pond");
    QCOMPARE(FeatureClassifier::classify(tags, FeatureShape::Area), FeatureKind::Water);
    tags.clear();
    tags.set(FeatureTags::Place, "town");
    QCOMPARE(FeatureClassifier::classify(tags, FeatureShape::Area), FeatureKind::PlaceCity);
    QCOMPARE(FeatureClassifier::classify(tags, FeatureShape::Point), FeatureKind::PlaceCity);
    tags.set(FeatureTags::Place, "country");
    QCOMPARE(FeatureClassifier::classify(tags, FeatureShape::Point), FeatureKind::None);
}

namespace {

double lengthOf(const std::vector<QLineF>& lines) {
    double sum = 0;
    for (const QLineF& l : lines) sum += l.length();
    return sum;
}

const QRectF Everywhere(-1e9, -1e9, 2e9, 2e9);

}  // namespace

void TestChartGeometry::dashesAlongAStraightLine() {
    std::vector<QLineF> dashes;
    DashPattern({4, 2}).split(QPolygonF({{0, 10}, {100, 10}}), Everywhere, dashes);
    // Dashes start every 6 px: at 0, 6, ..., 96; the last one ends exactly at the line's end.
    QCOMPARE(dashes.size(), size_t(17));
    for (size_t i = 0; i < dashes.size(); ++i) {
        QCOMPARE(dashes[i].p1(), QPointF(6.0 * static_cast<double>(i), 10));
        QCOMPARE(dashes[i].p2(), QPointF(6.0 * static_cast<double>(i) + 4, 10));
    }
    // A line shorter than one dash is one dash as long as the line.
    dashes.clear();
    DashPattern({4, 2}).split(QPolygonF({{0, 0}, {0, 3}}), Everywhere, dashes);
    QCOMPARE(dashes.size(), size_t(1));
    QCOMPARE(dashes[0].length(), 3.0);
}

void TestChartGeometry::dashesRunOnAcrossVertices() {
    // An L: 5 px right, then 10 px down. The gap 4..6 turns the corner, the dash 12..16 lies
    // wholly on the second leg; nothing is lost or drawn twice along the way.
    std::vector<QLineF> dashes;
    const QPolygonF corner({{0, 0}, {5, 0}, {5, 10}});
    DashPattern({4, 2}).split(corner, Everywhere, dashes);
    QCOMPARE(dashes.size(), size_t(3));
    QCOMPARE(dashes[0], QLineF(0, 0, 4, 0));
    QCOMPARE(dashes[1], QLineF(5, 1, 5, 5));
    QCOMPARE(dashes[2], QLineF(5, 7, 5, 10));
    // A dash across a vertex comes out in two pieces that meet there.
    dashes.clear();
    DashPattern({4, 2}).split(QPolygonF({{0, 0}, {3, 0}, {3, 3}}), Everywhere, dashes);
    QCOMPARE(dashes.size(), size_t(2));
    QCOMPARE(dashes[0], QLineF(0, 0, 3, 0));
    QCOMPARE(dashes[1], QLineF(3, 0, 3, 1));
    // Repeated points and a point of no value neither hang nor add anything.
    dashes.clear();
    DashPattern({4, 2}).split(QPolygonF({{0, 0}, {0, 0}, {2, 0}, {2, 0}}), Everywhere, dashes);
    QCOMPARE(lengthOf(dashes), 2.0);
    dashes.clear();
    DashPattern({4, 2}).split(QPolygonF({{0, 0}, {qQNaN(), 0}, {2, 0}}), Everywhere, dashes);
    QVERIFY(dashes.empty());
}

void TestChartGeometry::dashesAreTheSameHoweverClipped() {
    // A long wiggly line far off screen that comes into the view: the dashes on screen must be
    // those of the unclipped line, in place, although the pattern was only counted off-screen.
    std::mt19937 random(11);
    std::uniform_real_distribution<double> step(3.0, 170.0);
    QPolygonF line;
    QPointF p(-20000, 300);
    line.append(p);
    while (p.x() < 1500) {
        p += QPointF(step(random), (step(random) - 86.0) * 0.3);
        line.append(p);
    }
    const QRectF clip(0, 0, 1000, 600);
    const DashPattern pattern({4.5, 2.25, 1.25, 2.0});
    std::vector<QLineF> all, clipped;
    pattern.split(line, Everywhere, all);
    pattern.split(line, clip, clipped);
    std::vector<QLineF> expected;
    for (const QLineF& d : all)
        if (std::max(d.x1(), d.x2()) >= clip.left() && std::min(d.x1(), d.x2()) <= clip.right() &&
            std::max(d.y1(), d.y2()) >= clip.top() && std::min(d.y1(), d.y2()) <= clip.bottom())
            expected.push_back(d);
    QVERIFY(clipped.size() > 100);
    QCOMPARE(clipped.size(), expected.size());
    for (size_t i = 0; i < clipped.size(); ++i) {
        QVERIFY2(std::abs(clipped[i].x1() - expected[i].x1()) < 1e-6 && std::abs(clipped[i].x2() - expected[i].x2()) < 1e-6,
                 qPrintable(QStringLiteral("dash %1 moved").arg(i)));
    }
    // Off-screen dashes are not emitted at all.
    QVERIFY(all.size() > clipped.size() * 10);
}

void TestChartGeometry::patternsWithoutGapsGiveTheWholeLine() {
    const QPolygonF line({{0, 0}, {30, 0}, {30, 40}});
    for (const std::vector<double>& lengths : std::vector<std::vector<double>>{
             {}, {0, 0}, {3, 0}, {0.2, 0.3}, {qQNaN(), 2}, {-4, -2}, {0, 5}}) {
        std::vector<QLineF> out;
        const DashPattern pattern(lengths);
        QVERIFY(pattern.solid());
        pattern.split(line, Everywhere, out);
        QCOMPARE(out.size(), size_t(2));
        QCOMPARE(lengthOf(out), 70.0);
    }
    // An odd count alternates dash and gap over two rounds: 3 on, 3 off.
    std::vector<QLineF> out;
    DashPattern({3}).split(QPolygonF({{0, 0}, {12, 0}}), Everywhere, out);
    QCOMPARE(out.size(), size_t(2));
    QCOMPARE(out[1], QLineF(6, 0, 9, 0));
}

QTEST_GUILESS_MAIN(TestChartGeometry)
#include "tst_chart_geometry.moc"
