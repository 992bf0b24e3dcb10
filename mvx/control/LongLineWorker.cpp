#include "LongLineTiles.h"

#include <QLoggingCategory>

#include <algorithm>
#include <exception>

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace mvx {

namespace {
Q_LOGGING_CATEGORY(lcLongLines, "mvx.control.longlines")
}  // namespace

bool LongLineCache::Job::make(const std::atomic<bool>& cancel) {
    for (Target& target : targets) {
        QVector<const ReducedPolyline*> reduced;
        for (const auto& source : sources) {
            const auto same = std::find_if(reductions.begin(), reductions.end(), [&](const auto& r) {
                return r->source == source.get() && r->line.mercPerPixel() == target.mercPerPixel;
            });
            if (same != reductions.end()) {
                reduced.append(&(*same)->line);
                continue;
            }
            auto r = std::make_unique<Reduction>();
            r->source = source.get();
            r->line.build(source->merc.constData(), source->values, target.mercPerPixel, tolerance);
            reductions.push_back(std::move(r));
            reduced.append(&reductions.back()->line);
            if (cancel.load(std::memory_order_relaxed)) return false;
        }
        target.set = std::make_unique<TileSet>();
        target.set->lines = lines;
        target.set->mercPerPixel = target.mercPerPixel;
        target.set->dpr = dpr;
        target.set->anchor = target.anchor;
        renderTiles(*target.set, target.tiles, reduced, pens, &cancel);
        if (cancel.load(std::memory_order_relaxed)) return false;
    }
    return true;
}

LongLineCache::Worker::Worker(std::function<void()> ready)
    : ready_(std::move(ready)), thread_([this](std::stop_token stop) { run(stop); }) {}

LongLineCache::Worker::~Worker() {
    cancel_ = true;
    thread_.request_stop();  // wakes the wait
    thread_.join();
}

void LongLineCache::Worker::request(std::unique_ptr<Job> job) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        waiting_ = std::move(job);
        cancel_ = true;  // the job being made, if any, is of no use now
    }
    wake_.notify_one();
}

std::vector<std::unique_ptr<LongLineCache::Job>> LongLineCache::Worker::takeFinished() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return std::move(finished_);
}

void LongLineCache::Worker::run(std::stop_token stop) {
#ifdef __linux__
    // The window's own thread comes first: a frame drawn while tiles are made here is hardly
    // slowed by them (the threads started from here share this). A lower share, not the idle
    // class, which would leave the tiles unmade for as long as anything else keeps the cores busy.
    const int nice = getpriority(PRIO_PROCESS, 0);
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), std::min(nice + 10, 19));
#endif
    while (true) {
        std::unique_ptr<Job> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!wake_.wait(lock, stop, [&] { return waiting_ != nullptr; })) return;
            job = std::move(waiting_);
            cancel_ = false;
        }
        try {
            if (!job->make(cancel_)) continue;  // the view has moved on
        } catch (const std::exception& e) {
            // Reported as failed: the drawing thread then makes those tiles itself.
            qCWarning(lcLongLines) << "track tiles not made in the background:" << e.what();
            job->failed = true;
        }
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            finished_.push_back(std::move(job));
        }
        if (ready_) ready_();
    }
}

}  // namespace mvx
