#pragma once

// The pieces of LongLineCache that its tile making shares with the cache (internal).

#include "LongLineCache.h"

#include <QImage>

#include <condition_variable>
#include <mutex>
#include <thread>
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

// Tiles made on the worker: those of a view at a new scale, or of the scales a wheel step would
// show next. The lines' significances are kept alive here, whatever the cache forgets meanwhile.
struct LongLineCache::Job {
    struct Target {
        double mercPerPixel = 0.0;
        QPointF anchor;
        std::vector<std::pair<qint64, qint64>> tiles;
        std::unique_ptr<TileSet> set;  // made
    };
    QVector<LineKey> lines;
    std::vector<Pen> pens;
    std::vector<std::shared_ptr<const Significance>> sources;  // a line's
    double dpr = 1.0, tolerance = 0.0;
    std::vector<Target> targets;

    std::vector<std::unique_ptr<Reduction>> reductions;  // made: one for each distinct source and scale
    bool failed = false;                                 // nothing made: an error on the way

    // Runs on the worker's thread; false when cancelled on the way.
    bool make(const std::atomic<bool>& cancel);
};

// One thread making jobs one at a time; a new job replaces the one waiting and cancels the one
// being made (the view has moved on to another scale).
class LongLineCache::Worker {
public:
    explicit Worker(std::function<void()> ready);
    ~Worker();  // cancels, and waits for the thread (at most one tile)
    void request(std::unique_ptr<Job> job);
    std::vector<std::unique_ptr<Job>> takeFinished();

private:
    void run(std::stop_token stop);

    std::function<void()> ready_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::unique_ptr<Job> waiting_;
    std::vector<std::unique_ptr<Job>> finished_;
    std::atomic<bool> cancel_{false};
    std::jthread thread_;  // last: started when the rest is ready, stopped first
};

}  // namespace mvx
