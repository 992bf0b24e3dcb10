#pragma once

#include <QRectF>

#include <cstdint>
#include <vector>

namespace mvx {

// A uniform grid over a rectangle: each cell lists the items whose bounds touch it. Items that
// would touch more than a few cells (large areas, long roads, whole-chart polygons) are kept in
// one list of their own instead, so that the index holds at most MaxCellsPerItem entries per item
// and its memory stays proportional to the number of items, however they overlap. Built once from
// all bounds, queried per frame.
class SpatialGrid {
public:
    static constexpr int MaxCellsPerItem = 16;

    SpatialGrid() = default;
    void build(const std::vector<QRectF>& bounds, const QRectF& extent);

    // Calls f(index) once for every item whose cell range meets rect, and for every large item;
    // items are not tested against rect themselves. Any rect is safe, however far or huge; one
    // with a NaN edge finds nothing.
    template <typename F>
    void query(const QRectF& rect, F&& f) const;

    int columns() const { return cols_; }
    int rows() const { return rows_; }
    size_t largeItemCount() const { return large_.size(); }
    // What the index holds, in bytes.
    size_t memoryBytes() const;

private:
    bool cellRange(const QRectF& r, int& c0, int& r0, int& c1, int& r1) const;
    int cellOf(double offset, double cellSize, int count) const;

    QRectF extent_;
    int cols_ = 0;
    int rows_ = 0;
    double cellW_ = 1;
    double cellH_ = 1;
    std::vector<std::uint64_t> cellStart_;  // cols*rows+1 offsets into items_
    std::vector<std::uint32_t> items_;
    std::vector<std::uint32_t> large_;      // items touching more than MaxCellsPerItem cells
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
            for (std::uint64_t k = cellStart_[cell]; k < cellStart_[cell + 1]; ++k) {
                const std::uint32_t id = items_[k];
                if (seen[id]) continue;
                seen[id] = true;
                f(id);
            }
        }
    }
    for (const std::uint32_t id : large_) f(id);
}

}  // namespace mvx
