#pragma once

#include "LineSignificance.h"

#include <QPointF>
#include <QRectF>

#include <algorithm>
#include <vector>

namespace mvx {

// A long polyline as the pixels of one scale can show it, in "world pixels" (Web Mercator metres
// divided by the metres per pixel, y down), so one reduction serves every view of that scale,
// wherever it is centred.
//
// The reduction keeps input points only: those whose significance (LineSignificance, in Mercator
// metres) exceeds the tolerance at this scale, so a run of points that all lie within `tolerance`
// pixels of the segment from its first to its last point is drawn as that one segment, and the
// drawing stays within the tolerance of the full polyline everywhere. Keeping a point is one
// comparison, so nothing is made for a scale until a view asks for it: a view picks the points of
// the blocks of the line that reach it and nothing else.
class ReducedPolyline {
public:
    // Reduces the Mercator points of `significance` for `mercPerPixel` metres per pixel and a
    // tolerance in pixels. Both the points and the significance must outlive the reduction.
    void build(const QPointF* merc, const LineSignificance& significance, double mercPerPixel, double tolerance);

    double mercPerPixel() const { return mercPerPixel_; }
    double tolerance() const { return tolerance_; }

    // Calls draw(points, count) for every run of kept points (world pixels) that may reach `area`
    // (world pixels): the blocks of the line that reach it, from the kept point before them to the
    // kept point after. Every kept segment that reaches the area is among them, once. The runs
    // hold at least two points (a single point is a dot, twice). Several threads may visit at once.
    // Only blocks firstBlock..endBlock-1 are visited when given: parts of the line split at a
    // block that starts a span (splitBlock()) share no segment.
    template <class Draw>
    void visit(const QRectF& area, Draw&& draw, qsizetype firstBlock = 0, qsizetype endBlock = -1) const;

    qsizetype blockCount() const {
        return significance_ ? static_cast<qsizetype>(significance_->blockBounds().size()) : 0;
    }
    // The block near the middle of the line where a span starts (a point kept at every scale).
    qsizetype splitBlock() const {
        constexpr qsizetype perSpan = LineSignificance::SpanPoints / (LineSignificance::BlockPoints - 1);
        return std::min(blockCount(), (blockCount() / 2 + perSpan / 2) / perSpan * perSpan);
    }

private:
    bool blockReaches(qsizetype block, const QRectF& area) const;
    // The kept points from..to, world pixels.
    void keptPoints(qsizetype from, qsizetype to, std::vector<QPointF>& out) const;

    double mercPerPixel_ = 0.0;
    double tolerance_ = 0.0;
    double keepAbove_ = 0.0;  // significance, Mercator metres
    const QPointF* merc_ = nullptr;
    const LineSignificance* significance_ = nullptr;
};

template <class Draw>
void ReducedPolyline::visit(const QRectF& area, Draw&& draw, qsizetype firstBlock, qsizetype endBlock) const {
    if (!significance_ || significance_->count() == 0) return;
    const qsizetype blocks = endBlock < 0 ? blockCount() : std::min(endBlock, blockCount());
    const qsizetype step = LineSignificance::BlockPoints - 1, last = significance_->count() - 1;
    const float* values = significance_->values();
    std::vector<QPointF> points;
    qsizetype k = std::max<qsizetype>(firstBlock, 0);
    while (k < blocks) {
        if (!blockReaches(k, area)) {
            ++k;
            continue;
        }
        qsizetype end = k + 1;
        while (end < blocks && blockReaches(end, area)) ++end;
        // Out to the kept points around the blocks (the ends of the line are kept).
        qsizetype from = k * step, to = std::min(end * step, last);
        while (from > 0 && !(values[from] > keepAbove_)) --from;
        while (to < last && !(values[to] > keepAbove_)) ++to;
        keptPoints(from, to, points);
        if (points.size() == 1) points.push_back(points.front());
        draw(static_cast<const QPointF*>(points.data()), static_cast<int>(points.size()));
        k = end;
    }
}

}  // namespace mvx
