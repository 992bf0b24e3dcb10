#pragma once

#include "compute/RunFinder.h"

namespace telvika::server {

// "over_speed": periods above the speed limit, with the maximum speed, placed where the maximum
// was reached.
class OverSpeedDetector {
public:
    explicit OverSpeedDetector(const ComputeSettings& settings)
        : limitKmh_(settings.speedLimitKmh), minSec_(settings.overSpeedMinSec) {}

    QVector<TripEntry> detect(std::span<const TelemetryPoint> points, const TripRange& trip) const {
        QVector<TripEntry> entries;
        const double limit = limitKmh_;
        for (const RecordRun& run :
             findRuns(points, trip, minSec_, [limit](const TelemetryPoint& p) { return p.speedKmh > limit; })) {
            TripEntry e = entryOfRun(points, trip, run);
            int top = run.first;
            for (int k = run.first; k < run.end || k == run.first; ++k)
                if (points[k].speedKmh > points[top].speedKmh) top = k;
            if (run.end == trip.last && points[run.end].speedKmh > points[top].speedKmh) top = run.end;
            e.maxSpeedKmh = points[top].speedKmh;
            placeEntry(e, points, trip, top);
            entries.push_back(e);
        }
        return entries;
    }

private:
    double limitKmh_;
    double minSec_;
};

}  // namespace telvika::server
