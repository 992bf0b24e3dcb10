#include "LongLineTiles.h"

#include "LineCoverage.h"
#include "MapObject.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

namespace mvx {

namespace {

// Fewer missing tiles than this are made on the calling thread alone: a second thread costs more
// than it saves.
constexpr size_t MinTilesForTwoThreads = 8;

// The lines of a tile, in order, each as its pen's coverage tinted with its colour.
QImage tileImage(const LongLineCache::TileSet& set, qint64 tx, qint64 ty, const QVector<const ReducedPolyline*>& reduced,
                 const QVector<const MapObject*>& lines, LineCoverage& coverage) {
    const int size = LongLineCache::TileSize;
    const double dpr = set.dpr;
    const double side = size / dpr;  // the tile's edge in view pixels
    const QPointF corner((set.anchor.x() + double(tx) * size) / dpr, (set.anchor.y() + double(ty) * size) / dpr);
    QImage image;
    for (int i = 0; i < lines.size(); ++i) {
        const MapObject& o = *lines[i];
        const double width = o.style.width * dpr;
        const double margin = o.style.width / 2.0 + 2.0;
        const QRectF reach = QRectF(0, 0, side, side).adjusted(-margin, -margin, margin, margin);
        reduced[i]->visit(reach.translated(corner), corner, [&](const QPointF* points, int count) {
            for (int k = 1; k < count; ++k) coverage.addSegment(points[k - 1] * dpr, points[k] * dpr, width);
            coverage.endPass();
        });
        if (coverage.isEmpty()) continue;
        if (image.isNull()) {  // a tile that nothing reaches stays without a picture
            image = QImage(size, size, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
        }
        coverage.blendInto(image, o.style.color);
    }
    if (!image.isNull()) image.setDevicePixelRatio(dpr);
    return image;
}

}  // namespace

void LongLineCache::renderTiles(TileSet& set, const std::vector<std::pair<qint64, qint64>>& missing,
                                const QVector<const ReducedPolyline*>& reduced, const QVector<const MapObject*>& lines) {
    if (missing.empty()) return;
    // Every tile's place exists before the threads start, so the map is not changed while they run;
    // each thread writes only the pictures of the tiles it takes.
    std::vector<TileSet::Tile*> tiles;
    tiles.reserve(missing.size());
    for (const auto& [tx, ty] : missing) tiles.push_back(&set.tiles[tileKey(tx, ty)]);
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr failure;
    std::mutex failureMutex;
    auto take = [&] {
        LineCoverage coverage(TileSize, TileSize);
        for (size_t k = next++; k < missing.size() && !failed; k = next++) {
            try {
                tiles[k]->image = tileImage(set, missing[k].first, missing[k].second, reduced, lines, coverage);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(failureMutex);
                if (!failure) failure = std::current_exception();
                failed = true;
            }
        }
    };
    if (missing.size() >= MinTilesForTwoThreads && std::thread::hardware_concurrency() >= 2) {
        std::jthread second(take);
        take();
    } else {
        take();
    }
    if (failure) {
        for (const auto& [tx, ty] : missing) set.tiles.erase(tileKey(tx, ty));  // made again next time
        std::rethrow_exception(failure);
    }
    for (const TileSet::Tile* tile : tiles) set.bytes += tile->image.sizeInBytes();
}

}  // namespace mvx
