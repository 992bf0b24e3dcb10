#pragma once

// The pieces of LongLineCache that its tile making shares with the cache (internal).

#include "LongLineCache.h"

#include <QImage>

#include <unordered_map>

namespace mvx {

inline quint64 tileKey(qint64 tx, qint64 ty) { return (quint64(quint32(qint32(tx))) << 32) | quint32(qint32(ty)); }

struct LongLineCache::Reduction {
    const Significance* source = nullptr;
    quint64 lastUse = 0;
    ReducedPolyline line;
};

struct LongLineCache::TileSet {
    struct Tile {
        QImage image;  // null: nothing of the lines falls in the tile
        quint64 lastUse = 0;
    };
    QVector<LineKey> lines;
    double mercPerPixel = 0.0;
    double dpr = 1.0;
    QPointF anchor;  // top-left corner of tile (0, 0) in world device pixels
    std::unordered_map<quint64, Tile> tiles;
    qsizetype bytes = 0;
    quint64 lastUse = 0;
};

}  // namespace mvx
