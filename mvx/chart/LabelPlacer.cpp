#include "chart/LabelPlacer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mvx {

namespace {

constexpr double CellSize = 64.0;

// Projects a polygon on an axis and returns its extent.
void project(const QPolygonF& p, const QPointF& axis, double& lo, double& hi) {
    lo = std::numeric_limits<double>::max();
    hi = std::numeric_limits<double>::lowest();
    for (const QPointF& v : p) {
        const double d = v.x() * axis.x() + v.y() * axis.y();
        lo = std::min(lo, d);
        hi = std::max(hi, d);
    }
}

bool separatedByEdgesOf(const QPolygonF& a, const QPolygonF& b) {
    const int n = static_cast<int>(a.size());
    for (int i = 0; i < n; ++i) {
        const QPointF e = a[(i + 1) % n] - a[i];
        const QPointF axis(-e.y(), e.x());
        if (axis.x() == 0 && axis.y() == 0) continue;
        double aLo, aHi, bLo, bHi;
        project(a, axis, aLo, aHi);
        project(b, axis, bLo, bHi);
        if (aHi < bLo || bHi < aLo) return true;
    }
    return false;
}

}  // namespace

LabelPlacer::LabelPlacer(const QRectF& area)
    : area_(area),
      cols_(std::max(1, static_cast<int>(std::ceil(area.width() / CellSize)))),
      rows_(std::max(1, static_cast<int>(std::ceil(area.height() / CellSize)))),
      cells_(static_cast<size_t>(cols_) * static_cast<size_t>(rows_)) {}

bool LabelPlacer::overlaps(const QPolygonF& a, const QPolygonF& b) {
    if (a.size() < 3 || b.size() < 3) return false;
    return !separatedByEdgesOf(a, b) && !separatedByEdgesOf(b, a);
}

QPolygonF LabelPlacer::orientedBox(const QPointF& c, double w, double h, double angleDegrees) {
    const double a = angleDegrees * M_PI / 180.0;
    const QPointF u(std::cos(a) * w / 2.0, std::sin(a) * w / 2.0);
    const QPointF v(-std::sin(a) * h / 2.0, std::cos(a) * h / 2.0);
    return QPolygonF({c - u - v, c + u - v, c + u + v, c - u + v});
}

void LabelPlacer::cellRange(const QRectF& r, int& c0, int& r0, int& c1, int& r1) const {
    // Clamped as doubles first: the cell of a far box does not fit an int.
    auto cell = [](double offset, int count) {
        return static_cast<int>(std::clamp(std::floor(offset / CellSize), 0.0, static_cast<double>(count - 1)));
    };
    c0 = cell(r.left() - area_.left(), cols_);
    c1 = cell(r.right() - area_.left(), cols_);
    r0 = cell(r.top() - area_.top(), rows_);
    r1 = cell(r.bottom() - area_.top(), rows_);
}

bool LabelPlacer::fits(const QPolygonF& box) const {
    if (box.size() < 3) return false;
    const QRectF b = box.boundingRect();
    if (!std::isfinite(b.left()) || !std::isfinite(b.right()) || !std::isfinite(b.top()) ||
        !std::isfinite(b.bottom()))
        return false;
    if (!area_.contains(b)) return false;
    int c0, r0, c1, r1;
    cellRange(b, c0, r0, c1, r1);
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c)
            for (int i : cells_[static_cast<size_t>(r) * static_cast<size_t>(cols_) + static_cast<size_t>(c)])
                if (overlaps(box, placed_[static_cast<size_t>(i)])) return false;
    return true;
}

bool LabelPlacer::tryPlace(const QPolygonF& box) {
    if (!fits(box)) return false;
    const int index = static_cast<int>(placed_.size());
    placed_.push_back(box);
    int c0, r0, c1, r1;
    cellRange(box.boundingRect(), c0, r0, c1, r1);
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c)
            cells_[static_cast<size_t>(r) * static_cast<size_t>(cols_) + static_cast<size_t>(c)].push_back(index);
    return true;
}

}  // namespace mvx
