#include "chart/SpatialGrid.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace mvx {

namespace {
constexpr int MaxCellsPerSide = 256;
}

int SpatialGrid::cellOf(double offset, double cellSize, int count) const {
    // Clamped as a double first: the cell of a far coordinate does not fit an int.
    const double cell = std::floor(offset / cellSize);
    return static_cast<int>(std::clamp(cell, 0.0, static_cast<double>(count - 1)));
}

bool SpatialGrid::cellRange(const QRectF& r, int& c0, int& r0, int& c1, int& r1) const {
    if (cols_ == 0 || rows_ == 0) return false;
    // Written so that a NaN edge fails every test and finds nothing.
    if (!(r.right() >= extent_.left() && r.left() <= extent_.right() && r.bottom() >= extent_.top() &&
          r.top() <= extent_.bottom()))
        return false;
    c0 = cellOf(r.left() - extent_.left(), cellW_, cols_);
    c1 = cellOf(r.right() - extent_.left(), cellW_, cols_);
    r0 = cellOf(r.top() - extent_.top(), cellH_, rows_);
    r1 = cellOf(r.bottom() - extent_.top(), cellH_, rows_);
    return true;
}

void SpatialGrid::build(const std::vector<QRectF>& bounds, const QRectF& extent) {
    extent_ = extent;
    itemCount_ = bounds.size();
    cellStart_.clear();
    items_.clear();
    large_.clear();
    if (bounds.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("too many items for the spatial index");
    if (bounds.empty() || !(extent.width() >= 0) || !(extent.height() >= 0)) {
        cols_ = rows_ = 0;
        return;
    }
    // About four items per cell for evenly spread data.
    const int side = static_cast<int>(
        std::clamp(std::sqrt(static_cast<double>(bounds.size()) / 4.0), 1.0, static_cast<double>(MaxCellsPerSide)));
    const double w = std::max(extent.width(), 1e-6);
    const double h = std::max(extent.height(), 1e-6);
    if (w >= h) {
        cols_ = side;
        rows_ = static_cast<int>(std::clamp(std::round(side * h / w), 1.0, static_cast<double>(MaxCellsPerSide)));
    } else {
        rows_ = side;
        cols_ = static_cast<int>(std::clamp(std::round(side * w / h), 1.0, static_cast<double>(MaxCellsPerSide)));
    }
    cellW_ = w / cols_;
    cellH_ = h / rows_;

    // Small items go to their cells; large ones to their own list.
    const size_t cells = static_cast<size_t>(cols_) * static_cast<size_t>(rows_);
    std::vector<std::uint64_t> counts(cells + 1, 0);
    std::vector<bool> isLarge(bounds.size(), false);
    auto forCells = [&](const QRectF& b, auto&& g) {
        int c0, r0, c1, r1;
        if (!cellRange(b, c0, r0, c1, r1)) return;
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) g(static_cast<size_t>(r) * static_cast<size_t>(cols_) + static_cast<size_t>(c));
    };
    for (size_t i = 0; i < bounds.size(); ++i) {
        int c0, r0, c1, r1;
        if (!cellRange(bounds[i], c0, r0, c1, r1)) continue;
        const std::int64_t covered = std::int64_t(c1 - c0 + 1) * std::int64_t(r1 - r0 + 1);
        if (covered > MaxCellsPerItem) {
            isLarge[i] = true;
            large_.push_back(static_cast<std::uint32_t>(i));
            continue;
        }
        forCells(bounds[i], [&](size_t cell) { ++counts[cell + 1]; });
    }
    for (size_t i = 1; i <= cells; ++i) counts[i] += counts[i - 1];
    cellStart_ = counts;
    items_.resize(static_cast<size_t>(counts[cells]));
    std::vector<std::uint64_t> fill(counts.begin(), counts.end() - 1);
    for (size_t i = 0; i < bounds.size(); ++i)
        if (!isLarge[i]) forCells(bounds[i], [&](size_t cell) { items_[fill[cell]++] = static_cast<std::uint32_t>(i); });
    large_.shrink_to_fit();
}

size_t SpatialGrid::memoryBytes() const {
    return cellStart_.capacity() * sizeof(std::uint64_t) + items_.capacity() * sizeof(std::uint32_t) +
           large_.capacity() * sizeof(std::uint32_t);
}

}  // namespace mvx
