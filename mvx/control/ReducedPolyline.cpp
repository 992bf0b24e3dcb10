#include "ReducedPolyline.h"

#include <algorithm>
#include <cmath>

namespace mvx {

namespace {

inline double cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

}  // namespace

void ReducedPolyline::build(const QPointF* merc, qsizetype count, double mercPerPixel, double tolerance) {
    mercPerPixel_ = mercPerPixel;
    tolerance_ = tolerance;
    points_.clear();
    boxes_.clear();
    if (count <= 0) return;
    const double inv = 1.0 / mercPerPixel;
    const double tol2 = tolerance * tolerance;

    // The run starts at the anchor a. Every point taken into it narrows the wedge of directions
    // (lo clockwise to hi counter-clockwise) in which the run's end may lie so that the point
    // stays within the tolerance of the segment; a point outside the wedge, or one that turns
    // back along the run, ends the run at the last point taken.
    double ax = merc[0].x() * inv, ay = -merc[0].y() * inv;
    points_.emplace_back(ax, ay);
    bool open = false;  // a point beyond the tolerance has been taken: the wedge is set
    double lox = 0, loy = 0, hix = 0, hiy = 0;
    double lastX = 0, lastY = 0, reach = 0;  // last point taken, its farthest distance
    qsizetype i = 1;
    while (i < count) {
        const double px = merc[i].x() * inv, py = -merc[i].y() * inv;
        const double dx = px - ax, dy = py - ay;
        const double d2 = dx * dx + dy * dy;
        if (d2 <= tol2) {  // at the anchor's place
            ++i;
            continue;
        }
        const double d = std::sqrt(d2);
        if (open && (cross(lox, loy, dx, dy) < 0.0 || cross(dx, dy, hix, hiy) < 0.0 || d < reach - tolerance)) {
            points_.emplace_back(lastX, lastY);
            ax = lastX;
            ay = lastY;
            open = false;
            continue;  // the same point again, from the new anchor
        }
        // The directions from the anchor that pass within the tolerance of this point.
        const double s = tolerance / d, c = std::sqrt(1.0 - s * s);
        const double cwx = dx * c + dy * s, cwy = -dx * s + dy * c;   // turned clockwise by asin(s)
        const double ccwx = dx * c - dy * s, ccwy = dx * s + dy * c;  // and counter-clockwise
        if (!open) {
            lox = cwx, loy = cwy, hix = ccwx, hiy = ccwy;
            open = true;
            reach = 0;
        } else {
            if (cross(lox, loy, cwx, cwy) > 0.0) lox = cwx, loy = cwy;
            if (cross(ccwx, ccwy, hix, hiy) > 0.0) hix = ccwx, hiy = ccwy;
        }
        lastX = px;
        lastY = py;
        reach = std::max(reach, d);
        ++i;
    }
    const double endX = merc[count - 1].x() * inv, endY = -merc[count - 1].y() * inv;
    if (open)
        points_.emplace_back(lastX, lastY);
    else if (points_.size() == 1 || points_.back() != QPointF(endX, endY))
        points_.emplace_back(endX, endY);  // a line that never leaves its first pixel is a dot

    const qsizetype n = static_cast<qsizetype>(points_.size());
    const qsizetype step = PieceSize - 1;
    for (qsizetype first = 0; first < n - 1; first += step) {
        const qsizetype last = std::min(first + step, n - 1);
        double minX = points_[first].x(), maxX = minX, minY = points_[first].y(), maxY = minY;
        for (qsizetype k = first + 1; k <= last; ++k) {
            minX = std::min(minX, points_[k].x());
            maxX = std::max(maxX, points_[k].x());
            minY = std::min(minY, points_[k].y());
            maxY = std::max(maxY, points_[k].y());
        }
        boxes_.emplace_back(QPointF(minX, minY), QPointF(maxX, maxY));
    }
}

void ReducedPolyline::shiftedCopy(qsizetype first, qsizetype last, const QPointF& origin,
                                  std::vector<QPointF>& out) const {
    out.resize(static_cast<size_t>(last - first + 1));
    QPointF* p = out.data();
    const double ox = origin.x(), oy = origin.y();
    for (qsizetype k = first; k <= last; ++k) *p++ = QPointF(points_[k].x() - ox, points_[k].y() - oy);
}

}  // namespace mvx
