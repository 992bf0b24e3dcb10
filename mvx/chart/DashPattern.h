#pragma once

#include <QLineF>
#include <QPolygonF>
#include <QRectF>

#include <vector>

namespace mvx {

// Cuts a line on screen into the dashes of a pattern, as separate segments. The raster engine
// draws plain segments many times faster than it strokes a dashed polyline (which joins and dashes
// every vertex in its own stroker), and thin dashed paths look the same either way.
class DashPattern {
public:
    // lengths: dash, gap, dash, gap... in pixels. A pattern that adds up to under a pixel, or has
    // no gaps or no dashes, gives the whole line: a line never vanishes for its pattern.
    explicit DashPattern(std::vector<double> lengths);

    // Appends the dashes of one line to out. The pattern starts afresh at the line's first point
    // and runs on across its vertices. Only dashes that reach into clip are kept; the pattern still
    // advances over the rest, so a line gives the same dashes however it is clipped.
    void split(const QPolygonF& line, const QRectF& clip, std::vector<QLineF>& out) const;

    bool solid() const { return solid_; }

private:
    std::vector<double> lengths_;
    double cycle_ = 0;  // the pattern's whole length
    bool solid_ = false;
};

}  // namespace mvx
