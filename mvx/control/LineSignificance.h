#pragma once

#include <QPointF>

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
class LineSignificance {
public:
    static constexpr int SpanPoints = 2048;

    void build(const QPointF* points, qsizetype count);

    qsizetype count() const { return static_cast<qsizetype>(values_.size()); }
    // Keeping point i at tolerance t: values()[i] > t. The ends are infinite.
    const float* values() const { return values_.data(); }

private:
    std::vector<float> values_;
};

}  // namespace mvx
