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

const std::shared_ptr<LongLineCache::Significance>& LongLineCache::significance(const MapObject& o) {
    for (const auto& s : significances_)
        if (std::find(s->geometryIds.begin(), s->geometryIds.end(), o.geometryId) != s->geometryIds.end()) return s;
    for (const auto& s : significances_) {
        if (s->merc.size() == o.merc.size() &&
            (s->merc.constData() == o.merc.constData() || std::equal(s->merc.begin(), s->merc.end(), o.merc.begin()))) {
            s->geometryIds.push_back(o.geometryId);
            return s;
        }
    }
    auto s = std::make_shared<Significance>();
    s->geometryIds.push_back(o.geometryId);
    s->merc = o.merc;
    s->values.build(s->merc.constData(), s->merc.size());
    significances_.push_back(std::move(s));
    return significances_.back();
}

const ReducedPolyline& LongLineCache::reduction(const MapObject& o, double mercPerPixel, double tolerance) {
    ++uses_;
    const Significance* source = significance(o).get();
    for (const auto& r : reductions_) {
        if (r->source == source && r->line.mercPerPixel() == mercPerPixel && r->line.tolerance() == tolerance) {
            r->lastUse = uses_;
            return r->line;
        }
    }
    auto r = std::make_unique<Reduction>();
    r->source = source;
    r->lastUse = uses_;
    r->line.build(source->merc.constData(), source->values, mercPerPixel, tolerance);
    keepReduction(std::move(r));
    return reductions_.back()->line;
}

void LongLineCache::keepReduction(std::unique_ptr<Reduction> r) {
    // The oldest goes, unless this redraw uses it too (a run of many long lines).
    const auto oldest = std::min_element(reductions_.begin(), reductions_.end(),
                                         [](const auto& a, const auto& b) { return a->lastUse < b->lastUse; });
    if (static_cast<int>(reductions_.size()) >= KeptReductions && (*oldest)->lastUse < drawStart_) reductions_.erase(oldest);
    reductions_.push_back(std::move(r));
}

LongLineCache::TileSet* LongLineCache::findTileSet(const QVector<LineKey>& lines, double mercPerPixel, double dpr,
                                                   const QPointF& deviceOrigin) {
    for (const auto& s : tileSets_) {
        // The tiles fit a view whose corner lies on the same device pixel grid.
        if (s->lines == lines && s->mercPerPixel == mercPerPixel && s->dpr == dpr &&
            whole(deviceOrigin.x() - s->anchor.x()) && whole(deviceOrigin.y() - s->anchor.y())) {
            s->lastUse = ++uses_;
            return s.get();
        }
    }
    return nullptr;
}

LongLineCache::TileSet& LongLineCache::keepTileSet(std::unique_ptr<TileSet> set) {
    if (static_cast<int>(tileSets_.size()) >= KeptTileSets) {
        tileSets_.erase(std::min_element(tileSets_.begin(), tileSets_.end(),
                                         [](const auto& a, const auto& b) { return a->lastUse < b->lastUse; }));
    }
    set->lastUse = ++uses_;
    tileSets_.push_back(std::move(set));
    return *tileSets_.back();
}

const LongLineCache::TileSet* LongLineCache::nearestTileSet(const QVector<LineKey>& lines, double mercPerPixel,
                                                            double dpr) const {
    const TileSet* nearest = nullptr;
    double distance = 0.0;
    for (const auto& s : tileSets_) {
        if (s->lines != lines || s->dpr != dpr || s->tiles.empty()) continue;
        const double d = std::fabs(std::log(s->mercPerPixel / mercPerPixel));
        if (!nearest || d < distance) nearest = s.get(), distance = d;
    }
    return nearest;
}

void LongLineCache::setReady(std::function<void()> ready) {
    worker_.reset();
    requested_.clear();
    failed_.clear();
    if (ready) worker_ = std::make_unique<Worker>(std::move(ready));
}

bool LongLineCache::holds(const std::vector<Requested>& among, const QVector<LineKey>& keys, double mercPerPixel,
                          double dpr, const QPointF& deviceOrigin) {
    return std::any_of(among.begin(), among.end(), [&](const Requested& r) {
        return r.lines == keys && r.mercPerPixel == mercPerPixel && r.dpr == dpr &&
               whole(deviceOrigin.x() - r.anchor.x()) && whole(deviceOrigin.y() - r.anchor.y());
    });
}

std::unique_ptr<LongLineCache::Job> LongLineCache::newJob(const QVector<const MapObject*>& lines,
                                                          const QVector<LineKey>& keys, double dpr) {
    auto job = std::make_unique<Job>();
    job->lines = keys;
    for (const MapObject* o : lines) {
        job->pens.push_back({o->style.width, o->style.color});
        job->sources.push_back(significance(*o));
    }
    job->dpr = dpr;
    job->tolerance = Tolerance / dpr;
    return job;
}

void LongLineCache::requestTiles(std::unique_ptr<Job> job) {
    requested_.clear();
    for (const Job::Target& t : job->targets) requested_.push_back({job->lines, t.mercPerPixel, job->dpr, t.anchor});
    worker_->request(std::move(job));
}

void LongLineCache::requestAhead(const QVector<const MapObject*>& lines, const QVector<LineKey>& keys,
                                 const MapView& view, const QPointF& origin, double dpr, const std::vector<double>& ahead) {
    const double mpp = view.mercatorPerPixel();
    const double width = view.size().width(), height = view.size().height();
    std::unique_ptr<Job> job;
    for (const double m : ahead) {
        if (!(m > 0.0) || !std::isfinite(m) || m == mpp || holds(failed_, keys, m, dpr, QPointF())) continue;
        // The tiles kept at that scale on whole pixels (a view before, reached by the wheel) are
        // added to; otherwise the world grid's own.
        const TileSet* kept = findTileSet(keys, m, dpr, QPointF());
        Job::Target target;
        target.mercPerPixel = m;
        target.anchor = kept ? kept->anchor : QPointF();
        // A step about a point of the view shows, in the view's pixels, what lies between the
        // point and the sides stretched k times from it: at most this, whatever the point.
        const double k = m / mpp;
        const double left = std::min(0.0, width * (1.0 - k)), right = std::max(width, width * k);
        const double top = std::min(0.0, height * (1.0 - k)), bottom = std::max(height, height * k);
        // In device pixels of that scale's world grid (a view pixel is 1/k of its pixels).
        const double f = dpr / k;
        const qint64 x0 = qint64(std::floor(((origin.x() + left) * f - target.anchor.x()) / TileSize));
        const qint64 x1 = qint64(std::floor(((origin.x() + right) * f - target.anchor.x()) / TileSize));
        const qint64 y0 = qint64(std::floor(((origin.y() + top) * f - target.anchor.y()) / TileSize));
        const qint64 y1 = qint64(std::floor(((origin.y() + bottom) * f - target.anchor.y()) / TileSize));
        for (qint64 ty = y0; ty <= y1; ++ty)
            for (qint64 tx = x0; tx <= x1; ++tx)
                if (!kept || !kept->tiles.count(tileKey(tx, ty))) target.tiles.emplace_back(tx, ty);
        if (target.tiles.empty()) continue;
        if (!job) job = newJob(lines, keys, dpr);
        job->targets.push_back(std::move(target));
    }
    if (job) requestTiles(std::move(job));
}

void LongLineCache::adoptFinished() {
    if (!worker_) return;
    for (auto& job : worker_->takeFinished()) {
        for (const Job::Target& t : job->targets) {
            const Requested made{job->lines, t.mercPerPixel, job->dpr, t.anchor};
            std::erase(requested_, made);
            if (job->failed) failed_.push_back(made);  // not asked for again
        }
        if (failed_.size() > 16) failed_.erase(failed_.begin(), failed_.end() - 16);
        if (job->failed) continue;
        // Lines forgotten since the job was asked for keep nothing.
        const bool present = std::all_of(job->sources.begin(), job->sources.end(), [&](const auto& source) {
            return std::any_of(significances_.begin(), significances_.end(),
                               [&](const auto& s) { return s.get() == source.get(); });
        });
        if (!present) continue;
        for (auto& r : job->reductions) {
            const bool known = std::any_of(reductions_.begin(), reductions_.end(), [&](const auto& k) {
                return k->source == r->source && k->line.mercPerPixel() == r->line.mercPerPixel() &&
                       k->line.tolerance() == r->line.tolerance();
            });
            if (known) continue;
            r->lastUse = ++uses_;
            keepReduction(std::move(r));
        }
        for (Job::Target& t : job->targets) {
            TileSet* same = findTileSet(job->lines, t.mercPerPixel, job->dpr, t.anchor);
            if (!same) {
                keepTileSet(std::move(t.set));
                continue;
            }
            // The view drew some of these on its own meanwhile: the rest join them.
            if (t.anchor != same->anchor) continue;  // another grid's tiles: left to be made again
            for (auto& [key, tile] : t.set->tiles) {
                if (same->tiles.count(key)) continue;
                same->bytes += tile.image.sizeInBytes();
                same->tiles.emplace(key, std::move(tile));
            }
        }
    }
}

void LongLineCache::draw(QPainter& p, const MapView& view, const QVector<const MapObject*>& lines, const QRectF& area,
                         const Behind* behind) {
    if (lines.isEmpty()) return;
    adoptFinished();
    const QTransform t = p.deviceTransform();
    const double dpr = std::max(1e-3, std::sqrt(std::fabs(t.m11() * t.m22() - t.m12() * t.m21())));
    const double mpp = view.mercatorPerPixel();
    drawStart_ = uses_ + 1;
    QVector<LineKey> keys;
    for (const MapObject* o : lines) keys.append({o->geometryId, o->style.color.rgba(), o->style.width});
    // The view's top-left corner in world pixels of the scale, and in device pixels.
    const QPointF origin(view.center().x() / mpp - view.size().width() / 2.0,
                         -view.center().y() / mpp - view.size().height() / 2.0);
    const QPointF deviceOrigin = origin * dpr;
    TileSet* found = findTileSet(keys, mpp, dpr, deviceOrigin);
    // The tiles of the view, on the grid of the set, or of the one it would have.
    const QPointF anchor = found ? found->anchor : deviceOrigin;
    const QRectF device((deviceOrigin + area.topLeft() * dpr) - anchor, area.size() * dpr);
    const qint64 x0 = qint64(std::floor(device.left() / TileSize)), x1 = qint64(std::floor(device.right() / TileSize));
    const qint64 y0 = qint64(std::floor(device.top() / TileSize)), y1 = qint64(std::floor(device.bottom() / TileSize));

    if (!found && behind && worker_ && !holds(failed_, keys, mpp, dpr, deviceOrigin)) {
        if (const TileSet* near = nearestTileSet(keys, mpp, dpr)) {
            if (!holds(requested_, keys, mpp, dpr, deviceOrigin)) {
                auto job = newJob(lines, keys, dpr);
                Job::Target target;
                target.mercPerPixel = mpp;
                target.anchor = deviceOrigin;
                for (qint64 ty = y0; ty <= y1; ++ty)
                    for (qint64 tx = x0; tx <= x1; ++tx) target.tiles.emplace_back(tx, ty);
                job->targets.push_back(std::move(target));
                requestTiles(std::move(job));
            }
            // Meanwhile the nearest scale's tiles, stretched to this one: pixels repeated, not
            // filtered, which costs a quarter as much for a picture seen for a few frames.
            const double stretch = near->mercPerPixel / mpp;
            p.save();
            p.setRenderHint(QPainter::SmoothPixmapTransform, false);
            for (const auto& [key, tile] : near->tiles) {
                if (tile.image.isNull()) continue;
                const double tx = qint32(quint32(key >> 32)), ty = qint32(quint32(key));
                const double side = double(TileSize) / dpr * stretch;
                const QRectF target((near->anchor.x() / dpr + tx * TileSize / dpr) * stretch - origin.x(),
                                    (near->anchor.y() / dpr + ty * TileSize / dpr) * stretch - origin.y(), side, side);
                if (target.intersects(area)) p.drawImage(target, tile.image);
            }
            p.restore();
            return;
        }
    }

    if (!found) {
        auto s = std::make_unique<TileSet>();
        s->lines = keys;
        s->mercPerPixel = mpp;
        s->dpr = dpr;
        s->anchor = deviceOrigin;
        found = &keepTileSet(std::move(s));
    }
    TileSet& set = *found;
    const quint64 frame = ++uses_;
    std::vector<std::pair<qint64, qint64>> missing;
    for (qint64 ty = y0; ty <= y1; ++ty)
        for (qint64 tx = x0; tx <= x1; ++tx)
            if (set.tiles.find(tileKey(tx, ty)) == set.tiles.end()) missing.emplace_back(tx, ty);
    if (!missing.empty()) {
        QVector<const ReducedPolyline*> reduced;
        std::vector<Pen> pens;
        for (const MapObject* o : lines) {
            reduced.append(&reduction(*o, mpp, Tolerance / dpr));
            pens.push_back({o->style.width, o->style.color});
        }
        renderTiles(set, missing, reduced, pens);
    }
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
    // A whole view: the worker, when idle, makes the scales ahead.
    if (behind && worker_ && requested_.empty() && !behind->ahead.empty())
        requestAhead(lines, keys, view, origin, dpr, behind->ahead);
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
