#include "import/PointStream.h"

#include <algorithm>
#include <cmath>

#include "compute/GeoDistance.h"
#include "compute/TelemetryCheck.h"
#include "compute/UtcTime.h"
#include "import/TrackImport.h"

namespace telvika::server::import {

bool WholeTrack::add(const TelemetryPoint& p) {
    if (std::isnan(p.speedKmh)) allHaveSpeed_ = false;
    points_.push_back(p);
    return true;
}

void WholeTrack::finish(ImportResult& result) {
    problems_.finish(std::move(points_), speedColumn_ && allHaveSpeed_, result);
}

PointStream::PointStream(Batch batch, int batchSize)
    : batch_(std::move(batch)), batchSize_(std::max(1, batchSize)), now_(utcNow()) {
    pending_.reserve(batchSize_);
}

bool PointStream::add(const TelemetryPoint& p) {
    if (!streamable_) return false;
    // Whether speeds are derived is known only at the end of the file when its first point gives
    // one: a later point without one ends the stream.
    if (first_) {
        derived_ = !speedColumn_ || std::isnan(p.speedKmh);
        first_ = false;
    } else if (!derived_ && std::isnan(p.speedKmh)) {
        streamable_ = false;
        return false;
    }
    TelemetryPoint probe = p;
    if (std::isnan(probe.speedKmh)) probe.speedKmh = 0.0;  // derived below
    const QString problem = telemetryProblem(probe, now_);
    if (!problem.isEmpty()) {
        problems_.skip(problem);
        return true;
    }
    if (haveLastTime_ && p.time < lastTime_) {
        streamable_ = false;
        return false;
    }
    haveLastTime_ = true;
    lastTime_ = p.time;
    if (count_ > 0 && std::llround(current_.time * 86400000.0) == std::llround(p.time * 86400000.0)) {
        problems_.skip(QStringLiteral("повторяющееся время"));
        return true;
    }
    next(p);
    return true;
}

// The speed of a point from its neighbours' distances and times, as deriveSpeedAndOdometer gives it.
void PointStream::complete(TelemetryPoint& p, const TelemetryPoint& before, const TelemetryPoint& after,
                           double metres) {
    if (!derived_) return;
    const double seconds = (after.time - before.time) * 86400.0;
    p.speedKmh = seconds > 0.0 ? std::min(metres / seconds * 3.6, MaxTelemetrySpeedKmh) : 0.0;
}

void PointStream::next(TelemetryPoint p) {
    if (count_ == 0) {
        p.odometerM = odometer_;
        current_ = p;
        count_ = 1;
        return;
    }
    const double step = distanceMetres(current_.lat, current_.lon, p.lat, p.lon);
    odometer_ += step;
    p.odometerM = odometer_;
    // The point before it is now complete: its neighbours are known.
    double metres = 0.0;
    if (count_ > 1) metres += stepToCurrent_;
    metres += step;
    complete(current_, count_ > 1 ? before_ : current_, p, metres);
    handOut(current_);
    before_ = current_;
    current_ = p;
    stepToCurrent_ = step;
    ++count_;
}

void PointStream::handOut(const TelemetryPoint& p) {
    pending_.push_back(p);
    ++handedOut_;
    if (pending_.size() >= batchSize_) {
        batch_(pending_);
        pending_.clear();
    }
}

void PointStream::finish(ImportResult& result) {
    if (streamable_ && count_ > 0) {
        double metres = 0.0;
        if (count_ > 1) metres += stepToCurrent_;
        complete(current_, count_ > 1 ? before_ : current_, current_, metres);
        handOut(current_);
        count_ = 0;
    }
    if (streamable_ && !pending_.isEmpty()) batch_(pending_);
    pending_.clear();
    problems_.report(result);
    if (handedOut_ == 0 && result.error.isEmpty()) {
        result.error = QStringLiteral("В файле нет ни одной пригодной точки трека");
        if (!result.problems.isEmpty()) result.error += QStringLiteral(": ") + result.problems.join(QStringLiteral("; "));
    }
}

}  // namespace telvika::server::import
