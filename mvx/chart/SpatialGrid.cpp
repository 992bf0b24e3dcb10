#include "chart/SpatialGrid.h"

#include <algorithm>
#include <cmath>

namespace mvx {

namespace {
constexpr int MaxCellsPerSide = 256;
}

bool SpatialGrid::cellRange(const QRectF& r, int& c0, int& r0, int& c1, int& r1) const {
    if (cols_ == 0 || rows_ == 0) return false;
    if (r.right() < extent_.left() || r.left() > extent_.right() || r.bottom() < extent_.top() ||
        r.top() > extent_.bottom())
        return false;
    auto clampCol = [this](double x) {
        return std::clamp(static_cast<int>(std::floor((x - extent_.left()) / cellW_)), 0, cols_ - 1);
    };
    auto clampRow = [this](double y) {
        return std::clamp(static_cast<int>(std::floor((y - extent_.top()) / cellH_)), 0, rows_ - 1);
    };
    c0 = clampCol(r.left());
    c1 = clampCol(r.right());
    r0 = clampRow(r.top());
    r1 = clampRow(r.bottom());
    return true;
}

void SpatialGrid::build(const std::vector<QRectF>& bounds, const QRectF& extent) {
    extent_ = extent;
    itemCount_ = bounds.size();
    cellStart_.clear();
    items_.clear();
    if (bounds.empty() || !(extent.width() >= 0) || !(extent.height() >= 0)) {
        cols_ = rows_ = 0;
        return;
    }
    // About four items per cell for evenly spread data.
    const int side = std::clamp(static_cast<int>(std::sqrt(static_cast<double>(bounds.size()) / 4.0)), 1, MaxCellsPerSide);
    const double w = std::max(extent.width(), 1e-6);
    const double h = std::max(extent.height(), 1e-6);
    if (w >= h) {
        cols_ = side;
        rows_ = std::clamp(static_cast<int>(std::round(side * h / w)), 1, MaxCellsPerSide);
    } else {
        rows_ = side;
        cols_ = std::clamp(static_cast<int>(std::round(side * w / h)), 1, MaxCellsPerSide);
    }
    cellW_ = w / cols_;
    cellH_ = h / rows_;

    const size_t cells = static_cast<size_t>(cols_) * static_cast<size_t>(rows_);
    std::vector<std::uint32_t> counts(cells + 1, 0);
    auto forCells = [&](const QRectF& b, auto&& g) {
        int c0, r0, c1, r1;
        if (!cellRange(b, c0, r0, c1, r1)) return;
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) g(static_cast<size_t>(r) * static_cast<size_t>(cols_) + static_cast<size_t>(c));
    };
    for (const QRectF& b : bounds) forCells(b, [&](size_t cell) { ++counts[cell + 1]; });
    for (size_t i = 1; i <= cells; ++i) counts[i] += counts[i - 1];
    cellStart_ = counts;
    items_.resize(counts[cells]);
    std::vector<std::uint32_t> fill(counts.begin(), counts.end() - 1);
    for (size_t i = 0; i < bounds.size(); ++i)
        forCells(bounds[i], [&](size_t cell) { items_[fill[cell]++] = static_cast<std::uint32_t>(i); });
}

}  // namespace mvx
