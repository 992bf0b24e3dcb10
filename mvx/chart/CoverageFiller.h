#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRgb>

#include <vector>

namespace mvx {

// Fills small polygons with an opaque colour straight into a 32-bit premultiplied picture, edges
// smoothed by the exact share of each pixel the polygon covers. A town at 1:10000 shows tens of
// thousands of houses a few pixels across; the raster engine spends some 4,000 instructions on
// the set-up of each, this a few hundred. Larger polygons are left to the raster engine.
class CoverageFiller {
public:
    // Polygons whose bounds in pixels exceed this are not taken.
    static constexpr int MaxSide = 256;
    static constexpr int MaxPixels = 16384;

    // target: the picture; origin: where screen point (0, 0) lies in it; clip: the pixels that may
    // be written, in the picture's own pixels (within its rectangle).
    CoverageFiller(QImage& target, QPoint origin, QRect clip);

    // Whether the picture can be written directly (32-bit premultiplied or opaque formats).
    static bool supports(const QImage& image);

    // Fills a closed ring given in screen pixels; overlapping parts of a ring that crosses itself
    // count once. False: too large (or not finite) here, nothing drawn; the caller draws it.
    bool fill(const QPointF* points, int count, QRgb colour);

    // The ring with an outline: the ring widened by half a pixel in the outline colour, then the
    // ring narrowed by half a pixel in the fill colour, as a one-pixel line drawn on the edge over
    // a fill looks. False as for fill(), and also for rings too thin or too sharp for that.
    bool fillOutlined(const QPointF* points, int count, QRgb fill, QRgb outline);

private:
    bool takeRing(const QPointF* points, int count);
    bool placeBox(const std::vector<QPointF>& ring);
    void accumulate(const std::vector<QPointF>& ring, std::vector<float>& deltas);
    void addEdge(std::vector<float>& deltas, QPointF a, QPointF b);
    void blend(QRgb colour, const std::vector<float>* inside, QRgb insideColour);

    QImage& target_;
    QPoint origin_;
    QRect clip_;
    // The covered area under way: its pixels' rectangle on the picture, and per pixel the change of
    // covered share from the pixel before (a row's running sum is each pixel's share), for the ring
    // (or its widened outline) and for the narrowed inside. Kept between rings, like the rings.
    QRect box_;
    std::vector<float> outer_, inner_;
    std::vector<QPointF> ring_, outerRing_, innerRing_, normals_;
};

}  // namespace mvx
