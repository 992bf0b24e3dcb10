#include "ReducedPolyline.h"

#include <algorithm>
#include <cmath>

namespace mvx {

void ReducedPolyline::build(const QPointF* merc, const float* significance, qsizetype count, double mercPerPixel,
                            double tolerance) {
    mercPerPixel_ = mercPerPixel;
    tolerance_ = tolerance;
    points_.clear();
    boxes_.clear();
    if (count <= 0) return;
    const double inv = 1.0 / mercPerPixel;
    const double keepAbove = tolerance * mercPerPixel;
    // Counted first, so the points are written into memory that never moves.
    qsizetype kept = 0;
    for (qsizetype i = 0; i < count; ++i) kept += significance[i] > keepAbove;
    points_.resize(static_cast<size_t>(std::max<qsizetype>(kept, 2)));
    QPointF* out = points_.data();
    for (qsizetype i = 0; i < count; ++i)
        if (significance[i] > keepAbove) *out++ = QPointF(merc[i].x() * inv, -merc[i].y() * inv);
    if (kept < 2) {  // a single point is a dot
        const QPointF only(merc[0].x() * inv, -merc[0].y() * inv);
        points_[0] = only;
        points_[1] = only;
    }

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
