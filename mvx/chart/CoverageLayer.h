#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRgb>

#include <cstdint>
#include <vector>

namespace mvx {

// An edge of a ring, or a thin line and its width, as a coverage layer keeps it until it paints, in
// the layer's own pixels.
struct CoverageEdge {
    double ax, ay, bx, by;
    std::uint32_t batch;  // which paint it belongs to
};
struct CoverageThin {
    double ax, ay, bx, by, width;
    std::uint32_t batch;
};

// The scratch memory of a coverage layer, kept between layers and frames; one per layer open at a
// time: the shapes added, each layer's since its last paint a batch of their own, and the paints
// (their colours and the batches they paint), sorted by the strip of rows where the shapes begin
// when they are painted together; and for the strip being
// painted, per pixel the change of covered share from the pixel before it and per row which 8-pixel
// tiles hold any change.
struct CoverageCells {
    std::vector<std::int32_t> cells;
    std::vector<std::uint64_t> tiles;
    std::vector<CoverageEdge> edges, sortedEdges;
    std::vector<CoverageThin> thins, sortedThins;
    std::vector<std::uint32_t> order;  // per batch of shapes, its place among the paints
    std::vector<QRgb> colours;         // per paint, its colour
    std::uint64_t flushes = 0;
    std::vector<std::vector<CoverageEdge>> activeEdges;
    std::vector<std::vector<CoverageThin>> activeThins;
    std::vector<std::uint32_t> starts;
};

// Shapes painted in one opaque colour straight into a 32-bit picture, edges smoothed by the exact
// share of each pixel they cover. Everything of one colour is added first (the rings of all the
// houses in view, the pieces of all the streets of a class) and painted at once as one union:
// where shapes meet, their shares add up to at most the whole pixel, so houses wall to wall and
// the pieces of a line join without seams, and each pixel is written once. A ring running the
// other way round from the one it lies in cuts a hole.
//
// The raster engine spends thousands of instructions setting up each polygon or stroked line; a
// town at 1:10000 shows tens of thousands of them. Here a shape costs its edges, row by row, and
// the painting only the 8-pixel tiles that any edge touched (and the runs of full cover between).
// Shapes are kept as they are added and laid onto the cells at paint time, one strip of rows after
// the other, so that the cells of a strip stay in the processor's cache while its edges add to
// them and its pixels are painted: cells for the whole picture, written in the order the shapes
// come, missed the cache on nearly every write. Layers that keep their paints in one store paint
// them all at once, strip by strip (flush()), so that each strip of the picture stays in the cache
// through every colour painted over it.
class CoverageLayer {
public:
    // target: the picture; origin: where screen point (0, 0) lies in it; clip: the pixels that may
    // be written, in the picture's own pixels (within its rectangle).
    // batches: where paint() keeps what it would paint, to be painted by a flush() of any layer on
    // the same picture that keeps them there too (layers of one frame share it); null to paint at once.
    CoverageLayer(QImage& target, QPoint origin, QRect clip, CoverageCells& cells, CoverageCells* batches = nullptr);
    ~CoverageLayer();
    CoverageLayer(const CoverageLayer&) = delete;
    CoverageLayer& operator=(const CoverageLayer&) = delete;

    // Whether the picture can be written directly (32-bit premultiplied or opaque formats).
    static bool supports(const QImage& image);

    // Adds a closed ring given in screen pixels, as it runs. False, with nothing added, when a
    // point is not finite or the ring has fewer than three points.
    bool addRing(const QPointF* points, int count);
    // Adds a convex polygon (a piece of a stroked line), turned to run the way the outer rings of
    // a chart run on screen (clockwise as the screen shows them, a negative doubled area).
    void addConvex(const QPointF* points, int count);
    // Adds a straight line a few pixels thin at most, flat at both ends (across the pixel columns,
    // or rows for a steep line), as the share of each pixel it covers between its two sides. A
    // dash or a hairline costs a few cells per pixel this way instead of the rows of its outline.
    void addThinSegment(QPointF a, QPointF b, double width);
    // Paints what was added in the colour (its alpha is taken as opaque), then empties the layer;
    // with batches, keeps it there to be painted in its turn by flush().
    void paint(QRgb colour);
    // Paints every paint kept in the batches, in the order they were made, and empties them; shapes
    // added to any layer keeping its paints there and not painted yet are dropped.
    void flush();
    // The clip is filled with an opaque colour at the next flush, a strip at a time just before
    // the strip's paints: the rows are then still in the cache when painted over, where filling
    // the whole picture first would have them fetched from memory again.
    void fillFirst(QRgb colour);

    // The screen rectangle the layer may write, for callers that skip shapes wholly outside it.
    QRectF screenClip() const;

    // The ring moved outwards (or inwards, for a negative distance) by a distance in pixels: each
    // edge along its normal, corners mitred (a spike's corner moves at most three distances).
    // outwardSign: +1 when the ring's doubled signed area is positive, -1 when negative; a hole
    // takes the sign of the ring it cuts, so that it moves away from the area too. opposite, when
    // given, takes the ring moved as far the other way (an outline's two sides in one pass).
    static void offsetRing(const QPointF* points, int count, double distance, double outwardSign,
                           std::vector<QPointF>& out, std::vector<QPointF>* opposite = nullptr);
    // Twice the signed area of a ring (positive when it runs counter-clockwise with y up).
    static double doubleArea(const QPointF* points, int count);

private:
    void addEdge(double ax, double ay, double bx, double by);
    // Lays a kept edge or thin line onto the cells of the strip being painted.
    void layEdge(const CoverageEdge& e);
    void layThin(const CoverageThin& t);
    void addSpan(double x0, double y0, double x1, double y1, double dir);
    void markTiles(int row, int first, int last);
    static void markPair(std::uint64_t* flags, int x);
    void addCover(int x, int y, std::int32_t cover);
    // Paints the rows of the strip being painted.
    void paintStrip(quint32 colour);
    void fillRows(int top, int bottom);

    QImage& target_;
    QPointF shift_;  // from screen to cell coordinates
    QRect clip_;
    int width_ = 0, height_ = 0;
    size_t stride_ = 0;         // cells per row: the width and two beyond its right edge
    int tileWords_ = 0;         // 64-bit words of tile flags per row
    int firstRow_ = 0, lastRow_ = -1;  // rows of the strip touched since it was painted
    int top_ = 0, bottom_ = 0;         // the rows of the strip being painted, in the layer's rows
    CoverageCells& store_;      // this layer's own
    CoverageCells* batches_;    // where its paints are kept; its own store when it paints at once
    bool deferred_;             // whether paints wait for flush()
    bool fillPending_ = false;  // fillFirst() not yet done
    quint32 fill_ = 0;
    // The batch the shapes added since the last paint go into, and the flush it belongs before.
    std::uint32_t batch_;
    std::uint64_t batchFlush_ = 0;
    std::uint32_t batch();
    std::uint32_t newBatch();
    std::int32_t* cells_ = nullptr;
    std::uint64_t* tiles_ = nullptr;
};

}  // namespace mvx
