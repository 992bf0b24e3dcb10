#pragma once

#include <QPointF>
#include <QRectF>

#include <vector>

namespace mvx {

// For every point of a long polyline, the largest distance (in the polyline's own units) that a
// simplification may stray from it and still keep the point: the Douglas-Peucker split tree of the
// whole line, made once, with each point's split distance capped by the splits above it. Keeping
// the points whose value exceeds a tolerance gives exactly the Douglas-Peucker simplification for
// that tolerance (distances to segments, so a run that turns back along itself keeps its turn), in
// one pass over the values instead of a new reduction per scale. Every dropped point then lies
// within the tolerance of the kept segment that replaces it, and every kept segment within the
// tolerance of the line, so the drawing of the kept points stays within the tolerance of the full
// polyline.
//
// The line is cut at every `SpanPoints`-th point (kept at any tolerance), which bounds the work of
// one split tree on an unlucky line; the cost is a few points more at coarse scales.
//
// The bounding boxes of blocks of `BlockPoints` points (each block starting at the last point of
// the one before, a span holding whole blocks) let a view find the stretches of the line that
// reach it.
class LineSignificance {
public:
    static constexpr int SpanPoints = 2048;
    static constexpr int BlockPoints = 257;
    static_assert(SpanPoints % (BlockPoints - 1) == 0);

    void build(const QPointF* points, qsizetype count);

    qsizetype count() const { return static_cast<qsizetype>(values_.size()); }
    // Keeping point i at tolerance t: values()[i] > t. The ends are infinite.
    const float* values() const { return values_.data(); }
    // Block k: points k*(BlockPoints-1) .. k*(BlockPoints-1)+BlockPoints-1 (the last one shorter).
    const std::vector<QRectF>& blockBounds() const { return blockBounds_; }

private:
    std::vector<float> values_;
    std::vector<QRectF> blockBounds_;
};

}  // namespace mvx
