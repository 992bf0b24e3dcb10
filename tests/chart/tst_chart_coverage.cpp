// Coverage layers against the raster engine's own smoothed drawing of the same shapes: the same
// pixels within a few levels, nothing written outside the clip, shapes of one layer joined without
// seams, holes kept open, outlines as a one-pixel line on the edge looks, and stroked lines as the
// engine strokes them.
#include "chart/CoverageLayer.h"
#include "chart/CoverageRow.h"
#include "chart/LineStroker.h"

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

// Paints one ring on its own layer.
void fill(QImage& image, const QPolygonF& ring, QRgb colour, QPoint origin = QPoint(0, 0), QRect clip = QRect()) {
    CoverageCells cells;
    CoverageLayer layer(image, origin, clip.isNull() ? image.rect() : clip, cells);
    QVERIFY(layer.addRing(ring.constData(), static_cast<int>(ring.size())));
    layer.paint(colour);
}

}  // namespace

class TestChartCoverage : public QObject {
    Q_OBJECT
private slots:
    void ringsCoverWhatTheRasterEngineCovers();
    void writesOnlyInsideItsClipAndAtItsOrigin();
    void shapesOfOneLayerJoinWithoutSeamsAndKeepHoles();
    void outlinesLookLikeALineOnTheEdge();
    void linesAreStrokedAsTheEngineStrokesThem();
    void opaquePicturesStayOpaque();
    void rowsPaintTheSameOnEveryProcessor();
};

void TestChartCoverage::ringsCoverWhatTheRasterEngineCovers() {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> at(-10.0, 106.0), size(0.6, 30.0);
    std::uniform_int_distribution<int> corners(3, 9);
    for (int round = 0; round < 300; ++round) {
        // Some rings run past the picture's sides, some are thinner than a pixel.
        const QPolygonF ring = randomRing(random, QPointF(at(random), at(random) * 0.8), size(random), corners(random));
        QImage mine = paper();
        fill(mine, ring, Ink);
        qint64 total = 0;
        const int worst = worstDifference(mine, byQt(ring), &total);
        // The engine rounds coverage to its own steps; a misplaced edge or row differs by far more.
        QVERIFY2(worst <= 6 && total <= 40 * 6, qPrintable(QStringLiteral("round %1: worst %2, total %3")
                                                              .arg(round).arg(worst).arg(total)));
    }
    // Whole-pixel squares fill their pixels exactly.
    QImage mine = paper();
    const QPolygonF square({{10, 10}, {20, 10}, {20, 15}, {10, 15}});
    fill(mine, square, Ink);
    QCOMPARE(mine.pixel(10, 10), Ink);
    QCOMPARE(mine.pixel(19, 14), Ink);
    QCOMPARE(mine.pixel(20, 14), Paper);
    QCOMPARE(mine.pixel(9, 12), Paper);
    QCOMPARE(mine.pixel(15, 15), Paper);
    // Either way round, and with the first point repeated at the end.
    QImage reversed = paper();
    fill(reversed, QPolygonF({{10, 10}, {10, 15}, {20, 15}, {20, 10}, {10, 10}}), Ink);
    QCOMPARE(reversed, mine);
    // A ring far larger than the picture covers all of it; one wholly outside, nothing.
    QImage covered = paper();
    fill(covered, QPolygonF({{-5000, -3000}, {9000, -2000}, {8000, 7000}, {-4000, 6000}}), Ink);
    fill(covered, QPolygonF({{-50, -50}, {-40, -50}, {-40, -40}}), Line);
    QImage all = paper();
    all.fill(Ink);
    QCOMPARE(covered, all);
    // Points that are not numbers are refused, and nothing is drawn.
    CoverageCells cells;
    QImage image = paper();
    CoverageLayer layer(image, QPoint(0, 0), image.rect(), cells);
    const QPolygonF nan({{0, 0}, {qQNaN(), 3}, {5, 5}});
    QVERIFY(!layer.addRing(nan.constData(), 3));
    layer.paint(Ink);
    QCOMPARE(image, paper());
}

void TestChartCoverage::writesOnlyInsideItsClipAndAtItsOrigin() {
    // A picture of one band: screen rows 40..79 are its rows 0..39, and only its middle may be
    // written. A ring across all of it is cut at the clip and lies where the screen puts it.
    const QPolygonF ring({{-20, 20}, {70.3, 33.6}, {110, 95}, {15.5, 88}});
    QImage band = paper(QSize(96, 40));
    const QRect clip(8, 4, 80, 30);
    fill(band, ring, Ink, QPoint(0, -40), clip);
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

void TestChartCoverage::shapesOfOneLayerJoinWithoutSeamsAndKeepHoles() {
    // Two houses wall to wall on a wall that runs through the middle of a pixel column: together
    // they cover that column whole, where one house over the other would let the paper through.
    QImage image = paper();
    CoverageCells cells;
    {
        CoverageLayer layer(image, QPoint(0, 0), image.rect(), cells);
        const QPolygonF left({{10, 10}, {20.5, 10}, {20.5, 30}, {10, 30}}), right({{20.5, 10}, {31, 10}, {31, 30}, {20.5, 30}});
        QVERIFY(layer.addRing(left.constData(), 4));
        QVERIFY(layer.addRing(right.constData(), 4));
        // A courtyard: the hole runs the other way round from the ring it lies in.
        const QPolygonF outer({{40, 10}, {80, 10}, {80, 50}, {40, 50}}), hole({{50, 20}, {50, 40}, {70, 40}, {70, 20}});
        QVERIFY(layer.addRing(outer.constData(), 4));
        QVERIFY(layer.addRing(hole.constData(), 4));
        layer.paint(Ink);
    }
    QCOMPARE(image.pixel(20, 20), Ink);
    QCOMPARE(image.pixel(45, 30), Ink);
    QCOMPARE(image.pixel(60, 30), Paper);
    // The layer leaves its memory empty: a layer painted next on it draws only its own shape.
    QImage next = paper();
    CoverageLayer again(next, QPoint(0, 0), next.rect(), cells);
    again.paint(Ink);
    QCOMPARE(next, paper());
}

void TestChartCoverage::outlinesLookLikeALineOnTheEdge() {
    // A house: the ring widened by half a pixel in the outline colour, then narrowed by half a
    // pixel in the fill colour: fill inside, the outline colour on its edge, paper beyond.
    const QPolygonF house({{10.5, 10.5}, {30.5, 10.5}, {30.5, 25.5}, {10.5, 25.5}});
    const double sign = CoverageLayer::doubleArea(house.constData(), 4) > 0 ? 1.0 : -1.0;
    std::vector<QPointF> wide, narrow;
    CoverageLayer::offsetRing(house.constData(), 4, 0.5, sign, wide);
    CoverageLayer::offsetRing(house.constData(), 4, -0.5, sign, narrow);
    QImage image = paper();
    fill(image, QPolygonF(QList<QPointF>(wide.begin(), wide.end())), Line);
    fill(image, QPolygonF(QList<QPointF>(narrow.begin(), narrow.end())), Ink);
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
    // A hole, taking the sign of the ring it lies in, moves away from the area too: widened, the
    // area's hole shrinks.
    const QPolygonF hole({{15, 15}, {15, 20}, {25, 20}, {25, 15}});
    std::vector<QPointF> shrunk;
    CoverageLayer::offsetRing(hole.constData(), 4, 0.5, sign, shrunk);
    QCOMPARE(QPolygonF(QList<QPointF>(shrunk.begin(), shrunk.end())).boundingRect(), QRectF(15.5, 15.5, 9, 4));
}

void TestChartCoverage::linesAreStrokedAsTheEngineStrokesThem() {
    // A bent line, wide and thin, with mitred joins and square ends, against the engine's stroke.
    const QPolygonF line({{8.3, 60.2}, {30.7, 20.4}, {60.1, 35.8}, {88.6, 12.1}});
    for (const double width : {6.5, 3.0, 1.2}) {
        QImage mine = paper();
        CoverageCells cells;
        {
            CoverageLayer layer(mine, QPoint(0, 0), mine.rect(), cells);
            LineStroker stroker(layer, width, true, QRectF(mine.rect()));
            stroker.addLine(line.constData(), static_cast<int>(line.size()));
            layer.paint(Ink);
        }
        QImage qt = paper();
        {
            QPainter p(&qt);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(QColor(Ink), width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            p.drawPolyline(line);
        }
        // The same pixels within a few levels, but for a few: in the inner corner of a bend the
        // engine covers a little more, and a hairline ends and bends across its pixel columns.
        int off = 0;
        for (int y = 0; y < mine.height(); ++y)
            for (int x = 0; x < mine.width(); ++x) {
                const int d = std::abs(qRed(mine.pixel(x, y)) - qRed(qt.pixel(x, y)));
                QVERIFY2(d <= 40, qPrintable(QStringLiteral("width %1 at %2, %3: %4 levels").arg(width).arg(x).arg(y).arg(d)));
                off += d > 6;
            }
        QVERIFY2(off <= (width < 2 ? 8 : 2), qPrintable(QStringLiteral("width %1: %2 pixels off").arg(width).arg(off)));
    }
}

void TestChartCoverage::opaquePicturesStayOpaque() {
    QImage image = paper(QSize(64, 64), QImage::Format_RGB32);
    std::mt19937 random(9);
    for (int i = 0; i < 40; ++i) fill(image, randomRing(random, QPointF(32, 32), 20, 6), qRgb(i * 6, 255 - i * 6, 100));
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) QCOMPARE(qAlpha(reinterpret_cast<const QRgb*>(image.constScanLine(y))[x]), 255);
}

void TestChartCoverage::rowsPaintTheSameOnEveryProcessor() {
    // Rows of random changes in random tiles, the last tile cut by the right edge, shares from a
    // hair to many overlapping shapes that wrap: the vector unit paints every bit as the plain way,
    // and both leave the cells and flags empty.
    std::mt19937 random(11);
    const int width = 203, stride = width + 2, tiles = (stride + 7) / 8;
    std::uniform_int_distribution<std::int32_t> small(-(1 << 16), 1 << 16), any(INT32_MIN, INT32_MAX);
    std::uniform_int_distribution<quint32> pixel;
    for (int round = 0; round < 200; ++round) {
        std::vector<std::int32_t> cells(stride, 0);
        std::uint64_t flags = 0;
        for (int t = 0; t < tiles; ++t) {
            if (random() % 3 != 0) continue;
            flags |= std::uint64_t{1} << t;
            for (int x = t * 8; x < std::min(t * 8 + 8, stride); ++x)
                cells[x] = random() % 4 == 0 ? any(random) : (random() % 2 ? small(random) : 0);
        }
        std::vector<quint32> plain(width), vector(width);
        for (quint32& p : plain) p = pixel(random) | 0xff000000u;
        vector = plain;
        std::vector<std::int32_t> cells2 = cells;
        std::uint64_t flags2 = flags;
        const quint32 colour = pixel(random) | 0xff000000u;
        paintCoverageRowPlain({cells.data(), &flags, 1, width, stride, plain.data()}, colour);
        paintCoverageRow({cells2.data(), &flags2, 1, width, stride, vector.data()}, colour);
        QVERIFY2(plain == vector, qPrintable(QStringLiteral("round %1").arg(round)));
        QVERIFY(flags2 == 0 && std::all_of(cells2.begin(), cells2.end(), [](std::int32_t c) { return c == 0; }));
    }
}

QTEST_MAIN(TestChartCoverage)
#include "tst_chart_coverage.moc"
