#include "LongLineCache.h"

#include "LongLineTiles.h"
#include "MapObject.h"
#include "core/Projection.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace mvx {

namespace {

bool whole(double v) { return std::fabs(v - std::round(v)) < 1e-3; }

}  // namespace

LongLineCache::LongLineCache() = default;
LongLineCache::~LongLineCache() = default;

const LongLineCache::Significance& LongLineCache::significance(const MapObject& o) {
    for (const auto& s : significances_)
        if (std::find(s->geometryIds.begin(), s->geometryIds.end(), o.geometryId) != s->geometryIds.end()) return *s;
    for (const auto& s : significances_) {
        if (s->merc.size() == o.merc.size() &&
            (s->merc.constData() == o.merc.constData() || std::equal(s->merc.begin(), s->merc.end(), o.merc.begin()))) {
            s->geometryIds.push_back(o.geometryId);
            return *s;
        }
    }
    auto s = std::make_unique<Significance>();
    s->geometryIds.push_back(o.geometryId);
    s->merc = o.merc;
    s->values.build(s->merc.constData(), s->merc.size());
    significances_.push_back(std::move(s));
    return *significances_.back();
}

const ReducedPolyline& LongLineCache::reduction(const MapObject& o, double mercPerPixel, double tolerance) {
    ++uses_;
    const Significance& source = significance(o);
    for (const auto& r : reductions_) {
        if (r->source == &source && r->line.mercPerPixel() == mercPerPixel && r->line.tolerance() == tolerance) {
            r->lastUse = uses_;
            return r->line;
        }
    }
    // The oldest goes, unless this redraw uses it too (a run of many long lines).
    const auto oldest = std::min_element(reductions_.begin(), reductions_.end(),
                                         [](const auto& a, const auto& b) { return a->lastUse < b->lastUse; });
    if (static_cast<int>(reductions_.size()) >= KeptReductions && (*oldest)->lastUse < drawStart_) reductions_.erase(oldest);
    auto r = std::make_unique<Reduction>();
    r->source = &source;
    r->lastUse = uses_;
    r->line.build(source.merc.constData(), source.values, mercPerPixel, tolerance);
    reductions_.push_back(std::move(r));
    return reductions_.back()->line;
}

LongLineCache::TileSet& LongLineCache::tileSet(const QVector<LineKey>& lines, double mercPerPixel, double dpr,
                                               const QPointF& deviceOrigin) {
    ++uses_;
    for (const auto& s : tileSets_) {
        // The tiles fit a view whose corner lies on the same device pixel grid.
        if (s->lines == lines && s->mercPerPixel == mercPerPixel && s->dpr == dpr &&
            whole(deviceOrigin.x() - s->anchor.x()) && whole(deviceOrigin.y() - s->anchor.y())) {
            s->lastUse = uses_;
            return *s;
        }
    }
    if (static_cast<int>(tileSets_.size()) >= KeptTileSets) {
        tileSets_.erase(std::min_element(tileSets_.begin(), tileSets_.end(),
                                         [](const auto& a, const auto& b) { return a->lastUse < b->lastUse; }));
    }
    auto s = std::make_unique<TileSet>();
    s->lines = lines;
    s->mercPerPixel = mercPerPixel;
    s->dpr = dpr;
    s->anchor = deviceOrigin;
    s->lastUse = uses_;
    tileSets_.push_back(std::move(s));
    return *tileSets_.back();
}

void LongLineCache::draw(QPainter& p, const MapView& view, const QVector<const MapObject*>& lines, const QRectF& area) {
    if (lines.isEmpty()) return;
    const QTransform t = p.deviceTransform();
    const double dpr = std::max(1e-3, std::sqrt(std::fabs(t.m11() * t.m22() - t.m12() * t.m21())));
    const double mpp = view.mercatorPerPixel();
    drawStart_ = uses_ + 1;
    QVector<const ReducedPolyline*> reduced;
    QVector<LineKey> keys;
    for (const MapObject* o : lines) {
        reduced.append(&reduction(*o, mpp, Tolerance / dpr));
        keys.append({o->geometryId, o->style.color.rgba(), o->style.width});
    }
    // The view's top-left corner in world pixels of the scale, and in device pixels.
    const QPointF origin(view.center().x() / mpp - view.size().width() / 2.0,
                         -view.center().y() / mpp - view.size().height() / 2.0);
    const QPointF deviceOrigin = origin * dpr;
    TileSet& set = tileSet(keys, mpp, dpr, deviceOrigin);

    const QRectF device((deviceOrigin + area.topLeft() * dpr) - set.anchor, area.size() * dpr);
    const qint64 x0 = qint64(std::floor(device.left() / TileSize)), x1 = qint64(std::floor(device.right() / TileSize));
    const qint64 y0 = qint64(std::floor(device.top() / TileSize)), y1 = qint64(std::floor(device.bottom() / TileSize));
    const quint64 frame = ++uses_;
    std::vector<std::pair<qint64, qint64>> missing;
    for (qint64 ty = y0; ty <= y1; ++ty)
        for (qint64 tx = x0; tx <= x1; ++tx)
            if (set.tiles.find(tileKey(tx, ty)) == set.tiles.end()) missing.emplace_back(tx, ty);
    renderTiles(set, missing, reduced, lines);
    for (qint64 ty = y0; ty <= y1; ++ty) {
        for (qint64 tx = x0; tx <= x1; ++tx) {
            const auto it = set.tiles.find(tileKey(tx, ty));
            it->second.lastUse = frame;
            if (it->second.image.isNull()) continue;
            // Whole device pixels: the tile grid and the view share their fraction.
            const QPointF at(std::round(set.anchor.x() + double(tx) * TileSize - deviceOrigin.x()),
                             std::round(set.anchor.y() + double(ty) * TileSize - deviceOrigin.y()));
            p.drawImage(at / dpr, it->second.image);
        }
    }
    // Pictures beyond the budget go, the least recently drawn first, never one of this view.
    if (set.bytes > TileBytes) {
        std::vector<std::pair<quint64, quint64>> used;  // last use, key
        for (const auto& [key, tile] : set.tiles)
            if (!tile.image.isNull() && tile.lastUse != frame) used.emplace_back(tile.lastUse, key);
        std::sort(used.begin(), used.end());
        for (const auto& [lastUse, key] : used) {
            if (set.bytes <= TileBytes * 3 / 4) break;
            set.bytes -= set.tiles[key].image.sizeInBytes();
            set.tiles.erase(key);
        }
    }
}

void LongLineCache::keepOnly(const std::vector<quint64>& present) {
    auto gone = [&](quint64 id) { return std::find(present.begin(), present.end(), id) == present.end(); };
    for (auto& s : significances_) std::erase_if(s->geometryIds, gone);
    std::erase_if(reductions_, [](const auto& r) { return r->source->geometryIds.empty(); });
    std::erase_if(significances_, [](const auto& s) { return s->geometryIds.empty(); });
    std::erase_if(tileSets_, [&](const auto& s) {
        return std::any_of(s->lines.begin(), s->lines.end(), [&](const LineKey& k) { return gone(k.geometryId); });
    });
}

}  // namespace mvx
