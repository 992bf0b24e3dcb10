#pragma once

#include <QPointF>
#include <QRectF>

#include <vector>

namespace mvx {

// The stretches of a line on screen that are straight enough to carry a label: the line is cut to
// a rectangle (the view), then split wherever it turns away from a stretch's first direction by
// more than a given angle.
class StraightRuns {
public:
    struct Run {
        QPointF from;
        QPointF to;
        double length = 0;  // along the line, at least the chord's length
    };

    // Longest first.
    static std::vector<Run> find(const std::vector<QPointF>& line, const QRectF& clip, double maxTurnDegrees);

private:
    static void runsOfPiece(const std::vector<QPointF>& piece, double maxTurnDegrees, std::vector<Run>& out);
};

}  // namespace mvx
