#pragma once

#include "compute/RunFinder.h"

namespace telvika::server {

// "power_off": periods with the external power off.
class PowerOffDetector {
public:
    explicit PowerOffDetector(const ComputeSettings& settings) : minSec_(settings.powerOffMinSec) {}

    QVector<TripEntry> detect(std::span<const TelemetryPoint> points, const TripRange& trip) const {
        QVector<TripEntry> entries;
        for (const RecordRun& run :
             findRuns(points, trip, minSec_, [](const TelemetryPoint& p) { return !p.externalPower; }))
            entries.push_back(entryOfRun(points, trip, run));
        return entries;
    }

private:
    double minSec_;
};

}  // namespace telvika::server
