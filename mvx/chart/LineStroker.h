#pragma once

#include "chart/CoverageLayer.h"

#include <QPointF>
#include <QRectF>

#include <vector>

namespace mvx {

// Lines on screen turned into the outlines of their strokes on a coverage layer: a line becomes
// one ring round it, its two sides offset by half the width, mitred where the line bends (bevelled
// on the outer side where the mitre would reach past twice the half width; on the inner side of a
// sharp bend the outline passes through the vertex, so that its winding stays positive); the ends
// square (half the width past the end point) or flat. Rings of all lines run the same way round,
// so strokes that cross add up. Stretches of a line wholly outside a rectangle are left out.
class LineStroker {
public:
    LineStroker(CoverageLayer& layer, double width, bool squareEnds, const QRectF& clip);

    void addLine(const QPointF* points, int count);
    // A lone segment, such as a dash, with the ends as set.
    void addSegment(const QPointF& a, const QPointF& b);

private:
    bool reaches(const QPointF& a, const QPointF& b) const;
    void addQuad(const QPointF& a, const QPointF& b, const QPointF& unit);
    // Strokes piece_: at least two points, no two in a row the same.
    void strokePiece();
    void addJoin(const QPointF& vertex, const QPointF& before, double beforeLength, const QPointF& after,
                 double afterLength);

    std::vector<QPointF> piece_, left_, right_;

    CoverageLayer& layer_;
    double half_;
    bool square_;
    bool thin_;     // thin enough to go on the layer segment by segment
    QRectF reach_;  // the clip widened by half the width and a pixel
};

}  // namespace mvx
