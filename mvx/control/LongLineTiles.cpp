#include "LongLineTiles.h"

#include "LineCoverage.h"
#include "MapObject.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <mutex>
#include <thread>

namespace mvx {

namespace {

// Fewer missing tiles than this are made on the calling thread alone: a second thread costs more
// than it saves.
constexpr size_t MinTilesForTwoThreads = 8;
// Segments of a line that reach a tile belong to one pass (one shape, overlaps counted once) while
// the line leaves the tile for fewer kept segments than this, as the painter's polylines of
// ObjectRenderer::ChunkPoints points are one shape each.
constexpr int PassGap = 63;

// A segment in the pixels of the tile it reaches, and its place along the line.
struct TileSegment {
    float ax, ay, bx, by;
    int order;
};

// The segments of one reduction sorted into the missing tiles they reach, in the line's order: the
// line in two parts (sorted on two threads), each with its segments per missing tile.
struct TileBins {
    qint64 gridX = 0, gridY = 0, gridWidth = 0, gridHeight = 0;  // the missing tiles' bounding box
    std::vector<int> slot;  // grid cell -> index into the missing tiles, -1 when present already
    double penWidth = 0.0;  // the widest pen of the lines sorted
    std::vector<std::vector<TileSegment>> segments[2];

    void prepare(const std::vector<std::pair<qint64, qint64>>& missing, double width) {
        qint64 x0 = missing.front().first, x1 = x0, y0 = missing.front().second, y1 = y0;
        for (const auto& [tx, ty] : missing) {
            x0 = std::min(x0, tx), x1 = std::max(x1, tx);
            y0 = std::min(y0, ty), y1 = std::max(y1, ty);
        }
        gridX = x0, gridY = y0, gridWidth = x1 - x0 + 1, gridHeight = y1 - y0 + 1;
        slot.assign(static_cast<size_t>(gridWidth * gridHeight), -1);
        for (size_t k = 0; k < missing.size(); ++k)
            slot[static_cast<size_t>((missing[k].second - y0) * gridWidth + missing[k].first - x0)] = int(k);
        penWidth = width;
        for (auto& part : segments) part.assign(missing.size(), {});
    }
};

// Sorts one part of the line (0: the blocks before its split block, 1: the rest) into the bins.
void sortIntoTiles(const LongLineCache::TileSet& set, const ReducedPolyline& line, int part, TileBins& bins) {
    const int size = LongLineCache::TileSize;
    const qint64 x0 = bins.gridX, x1 = x0 + bins.gridWidth - 1, y0 = bins.gridY, y1 = y0 + bins.gridHeight - 1;
    // Device pixels from the corner of tile (0, 0); a segment reaches `outer` beyond its line.
    const double dpr = set.dpr, ox = set.anchor.x(), oy = set.anchor.y();
    const double outer = bins.penWidth * dpr / 2.0 + 0.5;
    const QRectF area(QPointF((ox + double(x0) * size - outer) / dpr, (oy + double(y0) * size - outer) / dpr),
                      QPointF((ox + double(x1 + 1) * size + outer) / dpr, (oy + double(y1 + 1) * size + outer) / dpr));
    std::vector<std::vector<TileSegment>>& out = bins.segments[part];
    int order = part == 0 ? 0 : 1 << 30;  // the second part is another pass
    const auto sort = [&](const QPointF* points, int count) {
        double ax = points[0].x() * dpr - ox, ay = points[0].y() * dpr - oy;
        for (int k = 1; k < count; ++k, ++order) {
            const double bx = points[k].x() * dpr - ox, by = points[k].y() * dpr - oy;
            if (!std::isfinite(ax + ay + bx + by)) {
                ax = bx, ay = by;
                continue;
            }
            const qint64 tx0 = std::max(x0, qint64(std::floor((std::min(ax, bx) - outer) / size)));
            const qint64 tx1 = std::min(x1, qint64(std::floor((std::max(ax, bx) + outer) / size)));
            const qint64 ty0 = std::max(y0, qint64(std::floor((std::min(ay, by) - outer) / size)));
            const qint64 ty1 = std::min(y1, qint64(std::floor((std::max(ay, by) + outer) / size)));
            for (qint64 ty = ty0; ty <= ty1; ++ty) {
                for (qint64 tx = tx0; tx <= tx1; ++tx) {
                    const int s = bins.slot[static_cast<size_t>((ty - y0) * bins.gridWidth + tx - x0)];
                    if (s < 0) continue;
                    const double cx = double(tx) * size, cy = double(ty) * size;
                    out[static_cast<size_t>(s)].push_back({float(ax - cx), float(ay - cy), float(bx - cx), float(by - cy), order});
                }
            }
            ax = bx, ay = by;
        }
        order += PassGap + 1;  // the next run is another pass
    };
    const qsizetype split = line.splitBlock();
    if (part == 0)
        line.visit(area, sort, 0, split);
    else
        line.visit(area, sort, split, line.blockCount());
}

// Runs work(0) and work(1), on two threads when asked; the first failure is thrown after both end.
template <class Work>
void runBoth(bool twoThreads, Work&& work) {
    std::exception_ptr failure;
    std::mutex failureMutex;
    auto guarded = [&](int k) {
        try {
            work(k);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failureMutex);
            if (!failure) failure = std::current_exception();
        }
    };
    if (twoThreads) {
        std::jthread second(guarded, 1);
        guarded(0);
    } else {
        guarded(0);
        guarded(1);
    }
    if (failure) std::rethrow_exception(failure);
}

// The lines of a tile, in order, each as its pen's coverage tinted with its colour.
QImage tileImage(const LongLineCache::TileSet& set, size_t tile, const std::vector<TileBins>& bins,
                 const std::vector<size_t>& binOf, const std::vector<LongLineCache::Pen>& pens, LineCoverage& coverage) {
    const int size = LongLineCache::TileSize;
    QImage image;
    for (size_t i = 0; i < pens.size(); ++i) {
        const double width = pens[i].width * set.dpr;
        int last = -PassGap - 1;
        for (const auto& part : bins[binOf[i]].segments) {
            for (const TileSegment& s : part[tile]) {
                if (s.order - last > PassGap) coverage.endPass();
                last = s.order;
                coverage.addSegment(QPointF(s.ax, s.ay), QPointF(s.bx, s.by), width);
            }
        }
        coverage.endPass();
        if (coverage.isEmpty()) continue;
        if (image.isNull()) {  // a tile that nothing reaches stays without a picture
            image = QImage(size, size, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
        }
        coverage.blendInto(image, pens[i].color);
    }
    if (!image.isNull()) image.setDevicePixelRatio(set.dpr);
    return image;
}

}  // namespace

void LongLineCache::renderTiles(TileSet& set, const std::vector<std::pair<qint64, qint64>>& missing,
                                const QVector<const ReducedPolyline*>& reduced, const std::vector<Pen>& pens,
                                const std::atomic<bool>* cancel) {
    if (missing.empty()) return;
    const bool twoThreads = missing.size() >= MinTilesForTwoThreads && std::thread::hardware_concurrency() >= 2;
    // Lines of the same points (one reduction) share their sorting, made for the widest pen.
    std::vector<const ReducedPolyline*> distinct;
    std::vector<double> widest;
    std::vector<size_t> binOf;
    for (size_t i = 0; i < pens.size(); ++i) {
        const auto at = std::find(distinct.begin(), distinct.end(), reduced[qsizetype(i)]);
        binOf.push_back(size_t(at - distinct.begin()));
        if (at == distinct.end()) {
            distinct.push_back(reduced[qsizetype(i)]);
            widest.push_back(pens[i].width);
        } else {
            widest[binOf.back()] = std::max(widest[binOf.back()], pens[i].width);
        }
    }
    std::vector<TileBins> bins(distinct.size());
    for (size_t k = 0; k < distinct.size(); ++k) bins[k].prepare(missing, widest[k]);
    runBoth(twoThreads, [&](int part) {
        for (size_t k = 0; k < distinct.size(); ++k) sortIntoTiles(set, *distinct[k], part, bins[k]);
    });

    // Every tile's place exists before the threads start, so the map is not changed while they run;
    // each thread writes only the pictures of the tiles it takes.
    std::vector<TileSet::Tile*> tiles;
    tiles.reserve(missing.size());
    for (const auto& [tx, ty] : missing) tiles.push_back(&set.tiles[tileKey(tx, ty)]);
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    const auto stopped = [&] { return failed || (cancel && cancel->load(std::memory_order_relaxed)); };
    try {
        runBoth(twoThreads, [&](int) {
            LineCoverage coverage(TileSize, TileSize);
            try {
                for (size_t k = next++; k < missing.size() && !stopped(); k = next++)
                    tiles[k]->image = tileImage(set, k, bins, binOf, pens, coverage);
            } catch (...) {
                failed = true;
                throw;
            }
        });
    } catch (...) {
        for (const auto& [tx, ty] : missing) set.tiles.erase(tileKey(tx, ty));  // made again next time
        throw;
    }
    for (const TileSet::Tile* tile : tiles) set.bytes += tile->image.sizeInBytes();
}

}  // namespace mvx
