// The direct filler of small rings, against the raster engine's own smoothed fill of the same
// rings: the same pixels within a few levels, nothing written outside the clip, refusals that
// draw nothing, outlines as a one-pixel line on the edge looks.
#include "chart/CoverageFiller.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <random>

using namespace mvx;

namespace {

const QRgb Paper = qRgb(250, 250, 250);
const QRgb Ink = qRgb(30, 90, 160);
const QRgb Line = qRgb(200, 40, 40);

QImage paper(QSize size = QSize(96, 80), QImage::Format format = QImage::Format_ARGB32_Premultiplied) {
    QImage image(size, format);
    image.fill(Paper);
    return image;
}

QImage byQt(const QPolygonF& ring, QSize size = QSize(96, 80)) {
    QImage image = paper(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(Ink));
    p.drawPolygon(ring);
    return image;
}

int worstDifference(const QImage& a, const QImage& b, qint64* total = nullptr) {
    int worst = 0;
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int d = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                    std::abs(qBlue(p) - qBlue(q))});
            worst = std::max(worst, d);
            sum += d;
        }
    if (total) *total = sum;
    return worst;
}

// A ring round a centre, its corners at random angles and distances: convex or star-shaped.
QPolygonF randomRing(std::mt19937& random, QPointF centre, double radius, int corners) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> angles;
    for (int i = 0; i < corners; ++i) angles.push_back(unit(random) * 2 * M_PI);
    std::sort(angles.begin(), angles.end());
    QPolygonF ring;
    for (double a : angles) {
        const double r = radius * (0.35 + 0.65 * unit(random));
        ring << centre + QPointF(std::cos(a) * r, std::sin(a) * r);
    }
    return ring;
}

}  // namespace

class TestChartCoverage : public QObject {
    Q_OBJECT
private slots:
    void ringsCoverWhatTheRasterEngineCovers();
    void writesOnlyInsideItsClipAndAtItsOrigin();
    void refusedRingsDrawNothing();
    void outlinesLookLikeALineOnTheEdge();
    void opaquePicturesStayOpaque();
};

void TestChartCoverage::ringsCoverWhatTheRasterEngineCovers() {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> at(-10.0, 106.0), size(0.6, 30.0);
    std::uniform_int_distribution<int> corners(3, 9);
    for (int round = 0; round < 300; ++round) {
        // Some rings run past the picture's sides, some are thinner than a pixel.
        const QPolygonF ring = randomRing(random, QPointF(at(random), at(random) * 0.8), size(random), corners(random));
        QImage mine = paper();
        CoverageFiller filler(mine, QPoint(0, 0), mine.rect());
        QVERIFY(filler.fill(ring.constData(), static_cast<int>(ring.size()), Ink));
        qint64 total = 0;
        const int worst = worstDifference(mine, byQt(ring), &total);
        // The engine rounds coverage to its own steps; a misplaced edge or row differs by far more.
        QVERIFY2(worst <= 6 && total <= 40 * 6, qPrintable(QStringLiteral("round %1: worst %2, total %3")
                                                              .arg(round).arg(worst).arg(total)));
    }
    // Whole-pixel squares fill their pixels exactly.
    QImage mine = paper();
    CoverageFiller filler(mine, QPoint(0, 0), mine.rect());
    const QPolygonF square({{10, 10}, {20, 10}, {20, 15}, {10, 15}});
    QVERIFY(filler.fill(square.constData(), 4, Ink));
    QCOMPARE(mine.pixel(10, 10), Ink);
    QCOMPARE(mine.pixel(19, 14), Ink);
    QCOMPARE(mine.pixel(20, 14), Paper);
    QCOMPARE(mine.pixel(9, 12), Paper);
    QCOMPARE(mine.pixel(15, 15), Paper);
    // Either way round, and with the first point repeated at the end.
    QImage reversed = paper();
    CoverageFiller other(reversed, QPoint(0, 0), reversed.rect());
    const QPolygonF back({{10, 10}, {10, 15}, {20, 15}, {20, 10}, {10, 10}});
    QVERIFY(other.fill(back.constData(), 5, Ink));
    QCOMPARE(reversed, mine);
}

void TestChartCoverage::writesOnlyInsideItsClipAndAtItsOrigin() {
    // A picture of one band: screen rows 40..79 are its rows 0..39, and only its middle may be
    // written. A ring across all of it is cut at the clip and lies where the screen puts it.
    const QPolygonF ring({{-20, 20}, {70.3, 33.6}, {110, 95}, {15.5, 88}});
    QImage band = paper(QSize(96, 40));
    const QRect clip(8, 4, 80, 30);
    CoverageFiller filler(band, QPoint(0, -40), clip);
    QVERIFY(filler.fill(ring.constData(), 4, Ink));
    const QImage whole = byQt(ring);
    int inked = 0;
    for (int y = 0; y < band.height(); ++y)
        for (int x = 0; x < band.width(); ++x) {
            if (!clip.contains(x, y)) {
                QCOMPARE(band.pixel(x, y), Paper);
                continue;
            }
            const QRgb a = band.pixel(x, y), b = whole.pixel(x, y + 40);
            QVERIFY(std::abs(qRed(a) - qRed(b)) <= 6 && std::abs(qBlue(a) - qBlue(b)) <= 6);
            inked += a != Paper;
        }
    QVERIFY(inked > 1000);
}

void TestChartCoverage::refusedRingsDrawNothing() {
    QImage image = paper();
    const QImage blank = image;
    CoverageFiller filler(image, QPoint(0, 0), image.rect());
    const QPolygonF large({{0, 0}, {CoverageFiller::MaxSide + 10.0, 0}, {0, 5}});
    const QPolygonF broad({{0, 0}, {200, 0}, {200, 200}, {0, 200}});  // within the side, too many pixels
    const QPolygonF nan({{0, 0}, {qQNaN(), 3}, {5, 5}});
    const QPolygonF line({{0, 0}, {5, 5}, {5, 5}, {0, 0}});
    QVERIFY(!filler.fill(large.constData(), 3, Ink));
    QVERIFY(!filler.fill(broad.constData(), 4, Ink));
    QVERIFY(!filler.fill(nan.constData(), 3, Ink));
    QVERIFY(!filler.fill(line.constData(), 4, Ink));
    QVERIFY(!filler.fill(large.constData(), 2, Ink));
    // A spike too sharp to outline is refused whole, its fill included.
    const QPolygonF spike({{10, 10}, {60, 11}, {10, 12}});
    QVERIFY(!filler.fillOutlined(spike.constData(), 3, Ink, Line));
    QCOMPARE(image, blank);
    // Wholly outside the clip is done, as nothing.
    const QPolygonF away({{-50, -50}, {-40, -50}, {-40, -40}});
    QVERIFY(filler.fill(away.constData(), 3, Ink));
    QCOMPARE(image, blank);
}

void TestChartCoverage::outlinesLookLikeALineOnTheEdge() {
    // A house: fill inside, the outline colour on its edge, paper half a pixel out and beyond.
    const QPolygonF house({{10.5, 10.5}, {30.5, 10.5}, {30.5, 25.5}, {10.5, 25.5}});
    QImage image = paper();
    CoverageFiller filler(image, QPoint(0, 0), image.rect());
    QVERIFY(filler.fillOutlined(house.constData(), 4, Ink, Line));
    QCOMPARE(image.pixel(20, 18), Ink);
    QCOMPARE(image.pixel(10, 18), Line);
    QCOMPARE(image.pixel(30, 18), Line);
    QCOMPARE(image.pixel(20, 10), Line);
    QCOMPARE(image.pixel(9, 18), Paper);
    QCOMPARE(image.pixel(31, 18), Paper);
    QCOMPARE(image.pixel(11, 18), Ink);
    // The same as the raster engine's one-pixel outline over its fill, within a few levels...
    QImage qt = paper();
    {
        QPainter p(&qt);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(Line), 1.0));
        p.setBrush(QColor(Ink));
        p.drawPolygon(house);
    }
    // Everywhere but at the four corners, which the engine's line leaves half drawn and the
    // widened ring fills.
    for (const QPoint corner : {QPoint(10, 10), QPoint(30, 10), QPoint(10, 25), QPoint(30, 25)}) {
        QCOMPARE(image.pixel(corner), Line);
        qt.setPixel(corner, Line);
    }
    QVERIFY(worstDifference(image, qt) <= 6);
    // A sliver thinner than a pixel is all outline: no fill colour turns up beside it.
    QImage thin = paper();
    CoverageFiller sliver(thin, QPoint(0, 0), thin.rect());
    const QPolygonF narrow({{10, 40}, {50, 40}, {50, 40.6}, {10, 40.6}});
    QVERIFY(sliver.fillOutlined(narrow.constData(), 4, Ink, Line));
    for (int y = 38; y < 43; ++y)
        for (int x = 5; x < 55; ++x) QVERIFY(qBlue(thin.pixel(x, y)) >= qBlue(Line) - 1);
    QCOMPARE(thin.pixel(30, 40), Line);
}

void TestChartCoverage::opaquePicturesStayOpaque() {
    QImage image = paper(QSize(64, 64), QImage::Format_RGB32);
    CoverageFiller filler(image, QPoint(0, 0), image.rect());
    std::mt19937 random(9);
    for (int i = 0; i < 40; ++i) {
        const QPolygonF ring = randomRing(random, QPointF(32, 32), 20, 6);
        QVERIFY(filler.fill(ring.constData(), static_cast<int>(ring.size()), qRgb(i * 6, 255 - i * 6, 100)));
    }
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) QCOMPARE(qAlpha(reinterpret_cast<const QRgb*>(image.constScanLine(y))[x]), 255);
}

QTEST_MAIN(TestChartCoverage)
#include "tst_chart_coverage.moc"
