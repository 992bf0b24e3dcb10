#pragma once

#include "compute/RunFinder.h"

namespace telvika::server {

// "blinds": periods without a valid GPS fix, placed where the vehicle was last seen.
class BlindDetector {
public:
    explicit BlindDetector(const ComputeSettings& settings) : minSec_(settings.blindMinSec) {}

    QVector<TripEntry> detect(std::span<const TelemetryPoint> points, const TripRange& trip) const {
        QVector<TripEntry> entries;
        for (const RecordRun& run :
             findRuns(points, trip, minSec_, [](const TelemetryPoint& p) { return !p.gpsValid; }))
            entries.push_back(entryOfRun(points, trip, run));
        return entries;
    }

private:
    double minSec_;
};

}  // namespace telvika::server
