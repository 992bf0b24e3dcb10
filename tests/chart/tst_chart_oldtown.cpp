// The dense old town of the synthetic city, as the benchmarks draw it: a 1920x1080 view at
// 1:5000 on its centre must hold what a real old-town centre holds (thousands of small houses
// wall to wall, some 150 street labels, lanes, footpaths, the river, a church), so that the
// preset cannot thin out unnoticed.
#include "SyntheticCity.h"
#include "chart/ChartReader.h"
#include "chart/ChartRenderer.h"
#include "core/Projection.h"

#include <QImage>
#include <QPainter>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace mvx;

namespace {

// The points of a ring without the closing repeat of the first one.
std::vector<QPointF> ringOf(const Chart& chart, const ChartPart& part) {
    std::vector<QPointF> p(chart.points().begin() + part.firstPoint,
                           chart.points().begin() + part.firstPoint + part.pointCount);
    if (p.size() > 1 && p.front() == p.back()) p.pop_back();
    return p;
}

double ringArea(const std::vector<QPointF>& p) {
    double twice = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const QPointF& a = p[i];
        const QPointF& b = p[(i + 1) % p.size()];
        twice += a.x() * b.y() - b.x() * a.y();
    }
    return std::abs(twice) / 2;
}

}  // namespace

class TestChartOldTown : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void viewHoldsThousandsOfBuildings();
    void streetsAreShortNamedAndLabelled();
    void blocksAreSmallAndIrregular();
    void lanesFootpathsRiverAndChurch();
    void housesAreSmallPolygonsWallToWall();

private:
    // Ground metres per Web Mercator metre at the town's latitude.
    double groundScale() const { return std::cos(centreLonLat_.y() * M_PI / 180.0); }
    // Features of a kind whose bounds meet the square of the given side round the centre.
    std::vector<const ChartFeature*> near(FeatureKind kind, double sideMetres) const;

    QTemporaryDir dir_;
    std::unique_ptr<Chart> chart_;
    QPointF centreLonLat_;
    QPointF centre_;  // Web Mercator
    RenderReport report_;
};

void TestChartOldTown::initTestCase() {
    QVERIFY(dir_.isValid());
    const SyntheticCity town(SyntheticCity::oldTown());
    const QString path = dir_.filePath("oldtown.chart");
    QString error;
    QVERIFY2(town.writeChart(path, &error), qPrintable(error));
    ChartReader::Result r = ChartReader::read(path);
    QVERIFY(r.chart);
    chart_ = std::move(r.chart);
    centreLonLat_ = town.centreLonLat();
    centre_ = lonLatToMercator(centreLonLat_.x(), centreLonLat_.y());
    MapView view(centre_, 1.0, QSize(1920, 1080));
    view.setScaleDenominator(5000, ChartRenderer::DefaultDpi);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    ChartRenderer().render(painter, view, {chart_.get()}, &report_);
}

std::vector<const ChartFeature*> TestChartOldTown::near(FeatureKind kind, double sideMetres) const {
    const double half = sideMetres / 2 / groundScale();
    std::vector<const ChartFeature*> out;
    chart_->forEachIn(QRectF(centre_ - QPointF(half, half), centre_ + QPointF(half, half)), [&](std::uint32_t i) {
        if (chart_->features()[i].kind == kind) out.push_back(&chart_->features()[i]);
    });
    return out;
}

void TestChartOldTown::viewHoldsThousandsOfBuildings() {
    const int buildings = report_.drawn[kindIndex(FeatureKind::Building)];
    int features = 0;
    for (int n : report_.drawn) features += n;
    QVERIFY2(buildings >= 6000, qPrintable(QString("%1 buildings drawn").arg(buildings)));
    QVERIFY2(features >= 8000, qPrintable(QString("%1 features drawn").arg(features)));
}

void TestChartOldTown::streetsAreShortNamedAndLabelled() {
    int streetLabels = 0;
    QSet<QString> names;
    for (const RenderReport::Label& l : report_.labels)
        if (isRoad(l.kind)) {
            ++streetLabels;
            names.insert(l.text);
        }
    // About 150 street names in a 1920x1080 view, nearly all different.
    QVERIFY2(streetLabels >= 120, qPrintable(QString("%1 street labels").arg(streetLabels)));
    QVERIFY2(names.size() >= 100, qPrintable(QString("%1 distinct street names").arg(names.size())));
    // Minor streets: short, and named.
    std::vector<double> lengths;
    int named = 0;
    const std::vector<const ChartFeature*> streets = near(FeatureKind::MinorRoad, 2000);
    for (const ChartFeature* f : streets) {
        named += f->name >= 0 ? 1 : 0;
        double length = 0;
        for (std::uint32_t p = f->firstPart; p < f->firstPart + f->partCount; ++p) {
            const ChartPart& part = chart_->parts()[p];
            for (std::uint32_t i = 1; i < part.pointCount; ++i) {
                const QPointF d = chart_->points()[part.firstPoint + i] - chart_->points()[part.firstPoint + i - 1];
                length += std::hypot(d.x(), d.y()) * groundScale();
            }
        }
        lengths.push_back(length);
    }
    QVERIFY2(streets.size() >= 200, qPrintable(QString("%1 minor streets").arg(streets.size())));
    QCOMPARE(named, static_cast<int>(streets.size()));
    std::nth_element(lengths.begin(), lengths.begin() + lengths.size() / 2, lengths.end());
    const double median = lengths[lengths.size() / 2];
    QVERIFY2(median > 80 && median < 250, qPrintable(QString("median street way %1 m").arg(median)));
}

// A block side runs along a street from one crossing (a point that two streets share) to the next.
void TestChartOldTown::blocksAreSmallAndIrregular() {
    auto key = [](const QPointF& p) { return qMakePair(std::llround(p.x() * 100), std::llround(p.y() * 100)); };
    QHash<QPair<qint64, qint64>, int> streetsAt;
    for (int k = kindIndex(FeatureKind::Path); k <= kindIndex(FeatureKind::Primary); ++k)
        for (const ChartFeature* f : near(static_cast<FeatureKind>(k), 1700)) {
            QSet<QPair<qint64, qint64>> own;
            for (std::uint32_t p = f->firstPart; p < f->firstPart + f->partCount; ++p) {
                const ChartPart& part = chart_->parts()[p];
                for (std::uint32_t i = 0; i < part.pointCount; ++i) own.insert(key(chart_->points()[part.firstPoint + i]));
            }
            for (const auto& k2 : own) ++streetsAt[k2];
        }
    std::vector<double> sides;
    for (const ChartFeature* f : near(FeatureKind::MinorRoad, 1500))
        for (std::uint32_t p = f->firstPart; p < f->firstPart + f->partCount; ++p) {
            const ChartPart& part = chart_->parts()[p];
            double side = 0;
            for (std::uint32_t i = 1; i < part.pointCount; ++i) {
                const QPointF& at = chart_->points()[part.firstPoint + i];
                const QPointF d = at - chart_->points()[part.firstPoint + i - 1];
                side += std::hypot(d.x(), d.y()) * groundScale();
                if (streetsAt.value(key(at)) < 2) continue;
                sides.push_back(side);
                side = 0;
            }
        }
    QVERIFY(sides.size() >= 300);
    std::sort(sides.begin(), sides.end());
    const double low = sides[sides.size() / 20], high = sides[sides.size() * 19 / 20];
    const double median = sides[sides.size() / 2];
    QVERIFY2(median >= 60 && median <= 90, qPrintable(QString("median block side %1 m").arg(median)));
    QVERIFY2(low >= 45 && high <= 110, qPrintable(QString("block sides %1 to %2 m").arg(low).arg(high)));
    // Not an even grid: a tenth of the sides differ from the median by 10 m or more.
    const auto uneven = std::count_if(sides.begin(), sides.end(), [&](double s) { return std::abs(s - median) >= 10; });
    QVERIFY2(uneven >= static_cast<long>(sides.size() / 10), qPrintable(QString("%1 uneven sides").arg(uneven)));
}

void TestChartOldTown::lanesFootpathsRiverAndChurch() {
    QVERIFY(report_.drawn[kindIndex(FeatureKind::Path)] >= 100);
    QVERIFY(report_.drawn[kindIndex(FeatureKind::Service)] >= 50);
    QVERIFY(report_.drawn[kindIndex(FeatureKind::River)] >= 1);
    QVERIFY(report_.drawn[kindIndex(FeatureKind::Water)] >= 1);
    QVERIFY(report_.drawn[kindIndex(FeatureKind::Park)] >= 10);
    // The church by the main square: one building far larger than a house.
    double largest = 0;
    for (const ChartFeature* f : near(FeatureKind::Building, 400))
        largest = std::max(largest, ringArea(ringOf(*chart_, chart_->parts()[f->firstPart])) * groundScale() * groundScale());
    QVERIFY2(largest > 700, qPrintable(QString("largest building near the centre %1 m2").arg(largest)));
}

void TestChartOldTown::housesAreSmallPolygonsWallToWall() {
    const std::vector<const ChartFeature*> houses = near(FeatureKind::Building, 1000);
    QVERIFY2(houses.size() >= 1500, qPrintable(QString("%1 houses in the central square kilometre").arg(houses.size())));
    int small = 0;
    double covered = 0;
    // Corners rounded to half a metre: a house shares a corner with its neighbour in the row.
    QHash<QPair<qint64, qint64>, int> housesAtCorner;
    auto key = [&](const QPointF& p) {
        return qMakePair(std::llround(p.x() * groundScale() * 2), std::llround(p.y() * groundScale() * 2));
    };
    std::vector<QSet<QPair<qint64, qint64>>> corners(houses.size());
    for (size_t h = 0; h < houses.size(); ++h) {
        const std::vector<QPointF> ring = ringOf(*chart_, chart_->parts()[houses[h]->firstPart]);
        small += ring.size() >= 4 && ring.size() <= 8 ? 1 : 0;
        covered += ringArea(ring) * groundScale() * groundScale();
        for (const QPointF& p : ring) corners[h].insert(key(p));
        for (const auto& k : corners[h]) ++housesAtCorner[k];
    }
    int sharing = 0;
    for (const auto& own : corners) {
        bool shares = false;
        for (const auto& k : own) shares = shares || housesAtCorner.value(k) > 1;
        sharing += shares ? 1 : 0;
    }
    QVERIFY2(small >= 0.98 * houses.size(), qPrintable(QString("%1 of %2 houses of 4-8 points").arg(small).arg(houses.size())));
    QVERIFY2(sharing >= 0.8 * houses.size(),
             qPrintable(QString("%1 of %2 houses share a corner with another").arg(sharing).arg(houses.size())));
    // Built up like an old town: houses cover a good part of the ground.
    QVERIFY2(covered / 1e6 >= 0.25, qPrintable(QString("houses cover %1 of the square kilometre").arg(covered / 1e6)));
}

QTEST_MAIN(TestChartOldTown)
#include "tst_chart_oldtown.moc"
