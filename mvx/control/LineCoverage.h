#pragma once

#include <QColor>
#include <QPointF>

#include <cstdint>
#include <vector>

class QImage;

namespace mvx {

// Antialiased wide lines as a coverage mask of a small picture (a tile), for many lines of one
// pen, at a cost of their pixels (a road driven a thousand times is no thousand polygon fills).
// Every segment is a round-capped stroke; a pixel's coverage is the share of it within half the
// pen's width of the line, taken from the distance of its centre (exact for straight edges along
// the axes, within a few levels otherwise). The segments of one pass (a polyline) make one shape,
// where overlaps count once; separate passes add up as separately painted strokes do, so the edges
// of a road driven many times come out as dark as the painter draws them. The mask then tints the
// picture with the pen's colour as the painter's antialiased pen does. Coordinates are the
// picture's pixels; whatever lies outside it is cut off.
class LineCoverage {
public:
    LineCoverage(int width, int height);

    // A stroke of the given width from a to b (a dot when they are equal), part of the pass.
    void addSegment(const QPointF& a, const QPointF& b, double penWidth);
    // Ends the pass: its shape is added to the mask.
    void endPass();
    bool isEmpty() const { return mask_.top > mask_.bottom; }
    // Blends `color` through the mask over the picture (ARGB32 premultiplied, the mask's size),
    // then empties the mask. False when the mask was empty and nothing was drawn.
    bool blendInto(QImage& picture, const QColor& color);

private:
    // A mask and the columns and rows it touches (rowMin > rowMax: none in that row).
    struct Mask {
        std::vector<unsigned char> values;
        std::vector<int> rowMin, rowMax;
        int top, bottom;
        Mask(int width, int height);
        void touch(int y, int x0, int x1);
        void reset(int height);
    };
    int width_, height_;
    int words_;  // bits of a row
    Mask pass_, mask_;
    // One bit a pixel: the pass covers it fully; the mask is opaque there. A segment over settled
    // pixels only (a road driven many times) costs a few word tests a row.
    std::vector<std::uint64_t> passFull_, opaque_;
};

}  // namespace mvx
