#pragma once

#include <QRectF>

#include <cstdint>
#include <vector>

namespace mvx {

// A uniform grid over a rectangle: each cell lists the items whose bounds touch it. Built once
// from all bounds, queried per frame.
class SpatialGrid {
public:
    SpatialGrid() = default;
    void build(const std::vector<QRectF>& bounds, const QRectF& extent);

    // Calls f(index) once for every item whose cell range meets rect; items are not tested
    // against rect themselves.
    template <typename F>
    void query(const QRectF& rect, F&& f) const;

    int columns() const { return cols_; }
    int rows() const { return rows_; }

private:
    bool cellRange(const QRectF& r, int& c0, int& r0, int& c1, int& r1) const;

    QRectF extent_;
    int cols_ = 0;
    int rows_ = 0;
    double cellW_ = 1;
    double cellH_ = 1;
    std::vector<std::uint32_t> cellStart_;  // cols*rows+1 offsets into items_
    std::vector<std::uint32_t> items_;
    size_t itemCount_ = 0;
};

template <typename F>
void SpatialGrid::query(const QRectF& rect, F&& f) const {
    int c0, r0, c1, r1;
    if (!cellRange(rect, c0, r0, c1, r1)) return;
    std::vector<bool> seen(itemCount_, false);
    for (int r = r0; r <= r1; ++r) {
        for (int c = c0; c <= c1; ++c) {
            const size_t cell = static_cast<size_t>(r) * static_cast<size_t>(cols_) + static_cast<size_t>(c);
            for (std::uint32_t k = cellStart_[cell]; k < cellStart_[cell + 1]; ++k) {
                const std::uint32_t id = items_[k];
                if (seen[id]) continue;
                seen[id] = true;
                f(id);
            }
        }
    }
}

}  // namespace mvx
