#include "ReducedPolyline.h"

namespace mvx {

void ReducedPolyline::build(const QPointF* merc, const LineSignificance& significance, double mercPerPixel,
                            double tolerance) {
    mercPerPixel_ = mercPerPixel;
    tolerance_ = tolerance;
    keepAbove_ = tolerance * mercPerPixel;
    merc_ = merc;
    significance_ = &significance;
}

bool ReducedPolyline::blockReaches(qsizetype block, const QRectF& area) const {
    // A kept segment strays from the points it replaces by the tolerance at most.
    const QRectF& b = significance_->blockBounds()[static_cast<size_t>(block)];
    const double inv = 1.0 / mercPerPixel_, margin = tolerance_ * 1.001;
    return b.right() * inv + margin >= area.left() && b.left() * inv - margin <= area.right() &&
           -b.top() * inv + margin >= area.top() && -b.bottom() * inv - margin <= area.bottom();
}

void ReducedPolyline::keptPoints(qsizetype from, qsizetype to, std::vector<QPointF>& out) const {
    out.clear();
    const float* values = significance_->values();
    const double inv = 1.0 / mercPerPixel_;
    for (qsizetype i = from; i <= to; ++i)
        if (values[i] > keepAbove_) out.emplace_back(merc_[i].x() * inv, -merc_[i].y() * inv);
}

}  // namespace mvx
