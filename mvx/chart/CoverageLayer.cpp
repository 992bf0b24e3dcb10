#include "chart/CoverageLayer.h"

#include "chart/CoverageRow.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mvx {

namespace {

constexpr int TileShift = 3;  // tiles of 8 pixels
constexpr int TilePixels = 1 << TileShift;
// Rows laid onto the cells and painted at a time: their cells and pixels stay in the cache.
constexpr int StripRows = 32;
constexpr std::uint32_t NoBatch = std::numeric_limits<std::uint32_t>::max();
// Shares are kept in fixed point, a whole pixel being One.
constexpr std::int32_t One = 1 << 16;

// Cells and row sums add modulo 2^32: a pixel under tens of thousands of overlapping shapes of one
// kind wraps instead of overflowing, and the row's sum comes out exact again as long as the shapes
// over any one pixel stay under 32768.
inline void addTo(std::int32_t& cell, std::int32_t v) {
    cell = static_cast<std::int32_t>(static_cast<std::uint32_t>(cell) + static_cast<std::uint32_t>(v));
}

inline std::int32_t fixed(double share) {
    return static_cast<std::int32_t>(share * One + (share >= 0 ? 0.5 : -0.5));
}

// The least whole number not below a non-negative x, without a call into the maths library.
inline int ceilOf(double x) {
    const int i = static_cast<int>(x);
    return i < x ? i + 1 : i;
}

// The greatest whole number not above x.
inline int floorOf(double x) {
    const int i = static_cast<int>(x);
    return i > x ? i - 1 : i;
}

}  // namespace

CoverageLayer::CoverageLayer(QImage& target, QPoint origin, QRect clip, CoverageCells& cells, CoverageCells* batches)
    : target_(target), clip_(clip.intersected(target.rect())), store_(cells), batches_(batches ? batches : &cells),
      deferred_(batches != nullptr), batch_(NoBatch) {
    width_ = std::max(0, clip_.width());
    height_ = std::max(0, clip_.height());
    shift_ = QPointF(origin - clip_.topLeft());
    stride_ = static_cast<size_t>(width_) + 2;
    tileWords_ = static_cast<int>((stride_ + TilePixels - 1) / TilePixels + 63) / 64;
    // The cells of one strip, empty whatever used them last.
    const size_t rows = static_cast<size_t>(std::min(height_, StripRows));
    const size_t need = stride_ * rows;
    if (cells.cells.size() < need) cells.cells.resize(need);
    std::fill_n(cells.cells.begin(), need, 0);
    const size_t words = static_cast<size_t>(tileWords_) * rows;
    if (cells.tiles.size() < words) cells.tiles.resize(words);
    std::fill_n(cells.tiles.begin(), words, 0);
    if (batches_ == &cells) {
        cells.edges.clear();
        cells.thins.clear();
        cells.order.clear();
        cells.colours.clear();
    }
    cells_ = cells.cells.data();
    tiles_ = cells.tiles.data();
    firstRow_ = StripRows;
}

CoverageLayer::~CoverageLayer() {
    // Paints never flushed are dropped (shapes never painted are, at the flush).
    if (batches_ == &store_) {
        store_.edges.clear();
        store_.thins.clear();
        store_.order.clear();
        store_.colours.clear();
    }
}

bool CoverageLayer::supports(const QImage& image) {
    return image.format() == QImage::Format_ARGB32_Premultiplied || image.format() == QImage::Format_RGB32;
}

QRectF CoverageLayer::screenClip() const { return QRectF(-shift_, QSizeF(clip_.size())); }

double CoverageLayer::doubleArea(const QPointF* p, int count) {
    double sum = 0;
    for (int i = 0, j = count - 1; i < count; j = i++) sum += p[j].x() * p[i].y() - p[i].x() * p[j].y();
    return sum;
}

bool CoverageLayer::addRing(const QPointF* points, int count) {
    if (count < 3) return false;
    for (int i = 0; i < count; ++i)
        if (!std::isfinite(points[i].x()) || !std::isfinite(points[i].y())) return false;
    const double sx = shift_.x(), sy = shift_.y();
    for (int i = 0, j = count - 1; i < count; j = i++)
        addEdge(points[j].x() + sx, points[j].y() + sy, points[i].x() + sx, points[i].y() + sy);
    return true;
}

void CoverageLayer::addConvex(const QPointF* points, int count) {
    if (count < 3) return;
    for (int i = 0; i < count; ++i)
        if (!std::isfinite(points[i].x()) || !std::isfinite(points[i].y())) return;
    const double sx = shift_.x(), sy = shift_.y();
    if (doubleArea(points, count) <= 0) {
        for (int i = 0, j = count - 1; i < count; j = i++)
            addEdge(points[j].x() + sx, points[j].y() + sy, points[i].x() + sx, points[i].y() + sy);
    } else {
        for (int i = count - 1, j = 0; i >= 0; j = i--)
            addEdge(points[j].x() + sx, points[j].y() + sy, points[i].x() + sx, points[i].y() + sy);
    }
}

inline void CoverageLayer::addCover(int x, int y, std::int32_t cover) {
    std::int32_t* row = cells_ + static_cast<size_t>(y) * stride_;
    addTo(row[x], cover);
    addTo(row[x + 1], -cover);
    markPair(tiles_ + static_cast<size_t>(y) * static_cast<size_t>(tileWords_), x);
    firstRow_ = std::min(firstRow_, y);
    lastRow_ = std::max(lastRow_, y);
}

namespace {

// The integral of min(max(v, 0), 1).
inline double rampIntegral(double v) { return v <= 0 ? 0 : (v >= 1 ? v - 0.5 : 0.5 * v * v); }

// How much of one pixel's row, over a piece of its column `share` wide, lies before a straight
// edge that crosses the piece's middle `z` into the row and rises `slope` per pixel along it.
inline double before(double z, double slope, double share) {
    const double half = 0.5 * slope * share;
    if (std::abs(half) < 1e-6) return share * std::clamp(z, 0.0, 1.0);
    return (rampIntegral(z + half) - rampIntegral(z - half)) / slope;
}

}  // namespace

void CoverageLayer::addThinSegment(QPointF a, QPointF b, double width) {
    a += shift_;
    b += shift_;
    if (!std::isfinite(a.x()) || !std::isfinite(a.y()) || !std::isfinite(b.x()) || !std::isfinite(b.y()) ||
        !std::isfinite(width))
        return;
    // The pixels it may touch lie within its width and a pixel of it.
    const double reach = width + 1.0;
    if (std::max(a.y(), b.y()) + reach < 0 || std::min(a.y(), b.y()) - reach >= height_ ||
        std::max(a.x(), b.x()) + reach < 0 || std::min(a.x(), b.x()) - reach >= width_)
        return;
    const std::uint32_t into = batch();
    batches_->thins.push_back({a.x(), a.y(), b.x(), b.y(), width, into});
}

void CoverageLayer::layThin(const CoverageThin& t) {
    const QPointF a(t.ax, t.ay), b(t.bx, t.by);
    const double width = t.width;
    // Along the major axis u one pixel at a time; across it, v, the line's two sides, each a
    // straight edge through the piece of the column: the pixel's share is what lies between them.
    const bool steep = std::abs(b.y() - a.y()) > std::abs(b.x() - a.x());
    double u0 = steep ? a.y() : a.x(), v0 = steep ? a.x() : a.y();
    double u1 = steep ? b.y() : b.x(), v1 = steep ? b.x() : b.y();
    if (u0 > u1) {
        std::swap(u0, u1);
        std::swap(v0, v1);
    }
    if (!(u1 > u0)) return;
    const double slope = (v1 - v0) / (u1 - u0);
    const double half = 0.5 * width * std::sqrt(1.0 + slope * slope);
    const double reach = half + 0.5 * std::abs(slope);
    // Only the rows of the strip: along u for a steep line, across it, v, for a flat one.
    const int uCount = steep ? bottom_ : width_, vCount = steep ? width_ : bottom_;
    const int uFirst = steep ? top_ : 0, vFirst = steep ? 0 : top_;
    const int uEnd = std::min(uCount, ceilOf(std::clamp(u1, 0.0, static_cast<double>(uCount))));
    for (int u = std::max(uFirst, floorOf(std::clamp(u0, 0.0, static_cast<double>(uCount)))); u < uEnd; ++u) {
        const double c0 = std::max(u0, static_cast<double>(u)), c1 = std::min(u1, u + 1.0);
        const double share = c1 - c0;
        const double centre = v0 + slope * (0.5 * (c0 + c1) - u0);
        const int vLast = std::min(vCount - 1, floorOf(std::min(centre + reach, static_cast<double>(vCount))));
        for (int v = std::max(vFirst, floorOf(std::max(centre - reach, -1.0))); v <= vLast; ++v) {
            const double covered =
                before(centre + half - v, slope, share) - before(centre - half - v, slope, share);
            const std::int32_t cover = fixed(covered);
            if (cover == 0) continue;
            if (steep)
                addCover(v, u - top_, cover);
            else
                addCover(u, v - top_, cover);
        }
    }
}

void CoverageLayer::addEdge(double ax, double ay, double bx, double by) {
    // Edges along a row add nothing, and edges wholly right of the clip cover nothing in it; those
    // left of it still cover the pixels to their right.
    if (ay == by || std::max(ay, by) <= 0 || std::min(ay, by) >= height_ || (ax >= width_ && bx >= width_)) return;
    const std::uint32_t into = batch();
    batches_->edges.push_back({ax, ay, bx, by, into});
}

void CoverageLayer::layEdge(const CoverageEdge& e) {
    double ax = e.ax, ay = e.ay, bx = e.bx, by = e.by;
    double dir = 1.0;
    if (ay > by) {
        std::swap(ax, bx);
        std::swap(ay, by);
        dir = -1.0;
    }
    const double top = top_, bottom = bottom_;
    if (by <= top || ay >= bottom) return;
    const double dxdy = (bx - ax) / (by - ay);
    if (ay < top) {
        ax += dxdy * (top - ay);
        ay = top;
    }
    if (by > bottom) {
        bx -= dxdy * (by - bottom);
        by = bottom;
    }
    // In the strip's own rows from here.
    ay -= top;
    by -= top;
    const double w = width_;
    if (ax >= 0 && ax <= w && bx >= 0 && bx <= w) {
        addSpan(ax, ay, bx, by, dir);
        return;
    }
    // The edge is cut where it crosses the clip's left or right side. What lies left of the clip is
    // laid along its left side, where it still covers the pixels to its right; what lies right of
    // it is laid along the right side, where it covers nothing.
    double ys[4] = {ay, by, by, by};
    int n = 1;
    if (dxdy != 0) {
        for (const double side : {0.0, w}) {
            const double y = ay + (side - ax) / dxdy;
            if (y > ay && y < by) ys[n++] = y;
        }
    }
    if (n == 3 && ys[1] > ys[2]) std::swap(ys[1], ys[2]);
    ys[n] = by;
    for (int k = 0; k < n; ++k) {
        const double y0 = ys[k], y1 = ys[k + 1];
        if (y1 <= y0) continue;
        addSpan(std::clamp(ax + dxdy * (y0 - ay), 0.0, w), y0, std::clamp(ax + dxdy * (y1 - ay), 0.0, w), y1, dir);
    }
}

void CoverageLayer::addSpan(double x0, double y0, double x1, double y1, double dir) {
    // Per row, the covered share the edge adds from each pixel to the row's end: a row's running
    // sum is then each pixel's share. x within [0, width], y0 < y1 within [0, height].
    const double w = width_;
    const double dxdy = (x1 - x0) / (y1 - y0);
    const int firstRow = static_cast<int>(y0);
    const int rowEnd = std::min(ceilOf(y1), bottom_ - top_);
    if (firstRow >= rowEnd) return;
    firstRow_ = std::min(firstRow_, firstRow);
    lastRow_ = std::max(lastRow_, rowEnd - 1);
    // Every share the edge adds turns its way (or is nothing), so all round away from nothing alike.
    const double half = dir > 0 ? 0.5 : -0.5;
    auto toFixed = [half](double share) { return static_cast<std::int32_t>(share * One + half); };
    std::int32_t* row = cells_ + static_cast<size_t>(firstRow) * stride_;
    std::uint64_t* flags = tiles_ + static_cast<size_t>(firstRow) * static_cast<size_t>(tileWords_);
    // Each row's ends are taken from the edge's start, not carried from the row above: the rows
    // then do not wait on one another.
    double x = x0;
    for (int y = firstRow; y < rowEnd; ++y, row += stride_, flags += tileWords_) {
        const double yEnd = std::min(y + 1.0, y1);
        const double dy = yEnd - std::max(static_cast<double>(y), y0);
        // Rounding may carry the end a hair past the sides.
        const double xnext = std::clamp(x0 + dxdy * (yEnd - y0), 0.0, w);
        const double dd = dy * dir;
        // The parts of the row's share are rounded each; the last takes what is left, so that
        // every edge adds its exact whole to the row and a ring's edges cancel out past it.
        const std::int32_t whole = toFixed(dd);
        const double xa = std::min(x, xnext), xb = std::max(x, xnext);
        const int xai = static_cast<int>(xa);
        const double xaFloor = xai;
        if (xb <= xaFloor + 1.0) {
            const std::int32_t right = toFixed(dd * (0.5 * (x + xnext) - xaFloor));
            addTo(row[xai], whole - right);
            addTo(row[xai + 1], right);
            markPair(flags, xai);
        } else {
            const int xbi = ceilOf(xb);
            const double s = 1.0 / (xb - xa);
            const double xaf = xa - xaFloor;
            const double a0 = 0.5 * s * (1 - xaf) * (1 - xaf);
            const double xbf = xb - xbi + 1;
            const double am = 0.5 * s * xbf * xbf;
            const std::int32_t first = toFixed(dd * a0), last = toFixed(dd * am);
            addTo(row[xai], first);
            std::int32_t given = first + last;
            if (xbi == xai + 2) {
                addTo(row[xai + 1], whole - given);
            } else {
                const double a1 = s * (1.5 - xaf);
                const std::int32_t second = toFixed(dd * (a1 - a0));
                addTo(row[xai + 1], second);
                given += second;
                const std::int32_t step = toFixed(dd * s);
                for (int xi = xai + 2; xi < xbi - 1; ++xi) addTo(row[xi], step);
                given += step * (xbi - xai - 3);
                addTo(row[xbi - 1], whole - given);
            }
            addTo(row[xbi], last);
            markTiles(y, xai, xbi);
        }
        x = xnext;
    }
}

// The tiles of a pixel and the one after it.
inline void CoverageLayer::markPair(std::uint64_t* flags, int x) {
    const auto t0 = static_cast<unsigned>(x) >> TileShift, t1 = static_cast<unsigned>(x + 1) >> TileShift;
    flags[t0 >> 6] |= std::uint64_t{1} << (t0 & 63);
    flags[t1 >> 6] |= std::uint64_t{1} << (t1 & 63);
}

inline void CoverageLayer::markTiles(int row, int first, int last) {
    std::uint64_t* flags = tiles_ + static_cast<size_t>(row) * static_cast<size_t>(tileWords_);
    const int t0 = first >> TileShift, t1 = last >> TileShift;
    const int w0 = t0 >> 6, w1 = t1 >> 6;
    if (w0 == w1) {
        flags[w0] |= (~std::uint64_t{0} >> (63 - (t1 - t0))) << (t0 & 63);
        return;
    }
    flags[w0] |= ~std::uint64_t{0} << (t0 & 63);
    for (int w = w0 + 1; w < w1; ++w) flags[w] = ~std::uint64_t{0};
    flags[w1] |= ~std::uint64_t{0} >> (63 - (t1 & 63));
}

inline std::uint32_t CoverageLayer::batch() {
    if (batch_ != NoBatch && batchFlush_ == batches_->flushes) [[likely]]
        return batch_;
    return newBatch();
}

std::uint32_t CoverageLayer::newBatch() {
    CoverageCells& kept = *batches_;
    batch_ = static_cast<std::uint32_t>(kept.order.size());
    batchFlush_ = kept.flushes;
    kept.order.push_back(NoBatch);
    return batch_;
}

void CoverageLayer::paint(QRgb colour) {
    CoverageCells& kept = *batches_;
    if (batch_ != NoBatch && batchFlush_ == kept.flushes) {
        kept.order[batch_] = static_cast<std::uint32_t>(kept.colours.size());
        kept.colours.push_back(colour);
    }
    batch_ = NoBatch;
    if (!deferred_) flush();
}

void CoverageLayer::flush() {
    CoverageCells& kept = *batches_;
    std::vector<CoverageEdge>& edges = kept.edges;
    std::vector<CoverageThin>& thins = kept.thins;
    const int strips = (height_ + StripRows - 1) / StripRows;
    const auto paints = static_cast<int>(kept.colours.size());
    auto done = [&] {
        edges.clear();
        thins.clear();
        kept.order.clear();
        kept.colours.clear();
        ++kept.flushes;
        top_ = bottom_ = 0;
        fillPending_ = false;
    };
    if (paints == 0 || strips == 0) {
        if (fillPending_) fillRows(0, height_);
        done();
        return;
    }
    // The shapes sorted by the strip where they begin and then by paint (a counting sort, keeping
    // their order); then strip after strip, paint after paint, those that reach the strip are laid
    // onto its cells and its rows painted in the paint's colour.
    auto stripOf = [&](double y) {
        return std::min(strips - 1, static_cast<int>(std::clamp(y, 0.0, static_cast<double>(height_))) / StripRows);
    };
    auto edgeTop = [](const CoverageEdge& e) { return std::min(e.ay, e.by); };
    auto edgeBottom = [](const CoverageEdge& e) { return std::max(e.ay, e.by); };
    auto thinTop = [](const CoverageThin& t) { return std::min(t.ay, t.by) - t.width - 1.0; };
    auto thinBottom = [](const CoverageThin& t) { return std::max(t.ay, t.by) + t.width + 1.0; };
    const size_t keys = static_cast<size_t>(strips) * static_cast<size_t>(paints);
    std::vector<std::uint32_t>& starts = kept.starts;
    starts.assign(2 * keys, 0);
    std::uint32_t* edgeEnds = starts.data();
    std::uint32_t* thinEnds = starts.data() + keys;
    const std::uint32_t* order = kept.order.data();
    auto sortByStrip = [&](auto& from, auto& to, std::uint32_t* ends, auto top) {
        // Shapes of batches never painted have no key and are left out.
        auto key = [&](const auto& e) {
            const std::uint32_t paint = order[e.batch];
            return paint == NoBatch ? keys : static_cast<size_t>(stripOf(top(e))) * static_cast<size_t>(paints) + paint;
        };
        size_t count = 0;
        for (const auto& e : from) {
            const size_t k = key(e);
            if (k < keys) {
                ++ends[k];
                ++count;
            }
        }
        std::uint32_t at = 0;
        for (size_t k = 0; k < keys; ++k) {
            const std::uint32_t n = ends[k];
            ends[k] = at;
            at += n;
        }
        to.resize(count);
        for (const auto& e : from) {
            const size_t k = key(e);
            if (k < keys) to[ends[k]++] = e;  // each key's start becomes its end
        }
    };
    sortByStrip(edges, kept.sortedEdges, edgeEnds, edgeTop);
    sortByStrip(thins, kept.sortedThins, thinEnds, thinTop);
    kept.activeEdges.resize(std::max(kept.activeEdges.size(), static_cast<size_t>(paints)));
    kept.activeThins.resize(std::max(kept.activeThins.size(), static_cast<size_t>(paints)));
    for (int p = 0; p < paints; ++p) {
        kept.activeEdges[static_cast<size_t>(p)].clear();
        kept.activeThins[static_cast<size_t>(p)].clear();
    }
    size_t nextEdge = 0, nextThin = 0;
    // Lays the strip's shapes of one paint: those still active from above, then those that begin
    // in it. Shapes that end in this strip leave the active ones once laid; those that begin in it
    // join them only when they reach further (cells add up in any order).
    auto layInStrip = [this](auto& active, const auto& sorted, size_t& next, size_t end, auto lay, auto bottomOf) {
        size_t stay = 0;
        for (const auto& shape : active) {
            lay(shape);
            if (bottomOf(shape) > bottom_) active[stay++] = shape;
        }
        active.resize(stay);
        for (; next < end; ++next) {
            const auto& shape = sorted[next];
            lay(shape);
            if (bottomOf(shape) > bottom_) active.push_back(shape);
        }
    };
    auto layEdgeHere = [this](const CoverageEdge& e) { layEdge(e); };
    auto layThinHere = [this](const CoverageThin& t) { layThin(t); };
    for (int k = 0; k < strips; ++k) {
        top_ = k * StripRows;
        bottom_ = std::min(height_, top_ + StripRows);
        if (fillPending_) fillRows(top_, bottom_);
        for (int p = 0; p < paints; ++p) {
            const size_t key = static_cast<size_t>(k) * static_cast<size_t>(paints) + static_cast<size_t>(p);
            layInStrip(kept.activeEdges[static_cast<size_t>(p)], kept.sortedEdges, nextEdge, edgeEnds[key], layEdgeHere,
                       edgeBottom);
            layInStrip(kept.activeThins[static_cast<size_t>(p)], kept.sortedThins, nextThin, thinEnds[key], layThinHere,
                       thinBottom);
            if (firstRow_ <= lastRow_) paintStrip(kept.colours[static_cast<size_t>(p)] | 0xff000000u);
        }
    }
    done();
}

void CoverageLayer::fillFirst(QRgb colour) {
    fill_ = colour | 0xff000000u;
    fillPending_ = true;
}

void CoverageLayer::fillRows(int top, int bottom) {
    uchar* const bits = const_cast<uchar*>(target_.constBits());  // never detaches a painted picture
    const qsizetype bytesPerLine = target_.bytesPerLine();
    for (int y = top; y < bottom; ++y) {
        auto* line = reinterpret_cast<quint32*>(bits + static_cast<qsizetype>(clip_.top() + y) * bytesPerLine) +
                     clip_.left();
        std::fill_n(line, width_, fill_);
    }
}

void CoverageLayer::paintStrip(quint32 c) {
    uchar* const bits = const_cast<uchar*>(target_.constBits());  // never detaches a painted picture
    const qsizetype bytesPerLine = target_.bytesPerLine();
    for (int y = firstRow_; y <= lastRow_; ++y) {
        auto* line = reinterpret_cast<quint32*>(bits + static_cast<qsizetype>(clip_.top() + top_ + y) * bytesPerLine) +
                     clip_.left();
        paintCoverageRow({cells_ + static_cast<size_t>(y) * stride_, tiles_ + static_cast<size_t>(y) * static_cast<size_t>(tileWords_),
                          tileWords_, width_, static_cast<int>(stride_), line},
                         c);
    }
    firstRow_ = StripRows;
    lastRow_ = -1;
}

void CoverageLayer::offsetRing(const QPointF* p, int n, double distance, double outwardSign,
                               std::vector<QPointF>& out, std::vector<QPointF>* opposite) {
    out.resize(static_cast<size_t>(n));
    if (opposite) opposite->resize(static_cast<size_t>(n));
    if (n < 3) {
        std::copy(p, p + n, out.begin());
        if (opposite) std::copy(p, p + n, opposite->begin());
        return;
    }
    // Each edge's outward normal; a corner moves along the mean of its two edges' normals, scaled
    // so that both edges move by the distance (a mitred corner).
    auto normal = [outwardSign](const QPointF& from, const QPointF& to) {
        const QPointF d = to - from;
        const double len = std::sqrt(d.x() * d.x() + d.y() * d.y());
        return len > 0 ? QPointF(d.y(), -d.x()) * (outwardSign / len) : QPointF(0, 0);
    };
    const double most = 3.0 * std::abs(distance);
    QPointF before = normal(p[n - 1], p[0]);
    for (int i = 0; i < n; ++i) {
        const QPointF after = normal(p[i], p[i + 1 < n ? i + 1 : 0]);
        const double join = 1.0 + before.x() * after.x() + before.y() * after.y();
        QPointF shift = (before + after) * (distance / std::max(join, 1e-9));
        // Only a corner that may be a spike takes the careful length; most are far from one.
        const double square = shift.x() * shift.x() + shift.y() * shift.y();
        if (square > 0.999 * most * most) {
            const double length = std::hypot(shift.x(), shift.y());
            if (length > most) shift *= most / length;  // a spike: the corner is cut short
        }
        out[static_cast<size_t>(i)] = p[i] + shift;
        if (opposite) (*opposite)[static_cast<size_t>(i)] = p[i] - shift;
        before = after;
    }
}

}  // namespace mvx
