#pragma once

#include "compute/RunFinder.h"
#include "compute/StandingFinder.h"

namespace telvika::server {

// "parks": stands inside a trip of at least the minimum stop time, placed where the vehicle stood.
class ParkDetector {
public:
    explicit ParkDetector(const ComputeSettings& settings) : minSec_(settings.stopMinSec) {}

    QVector<TripEntry> detect(std::span<const TelemetryPoint> points, const TripRange& trip,
                              const QVector<StandingRun>& stands) const {
        QVector<TripEntry> entries;
        for (const StandingRun& s : stands) {
            if (s.first <= trip.first || s.resume < 0 || s.resume > trip.last) continue;
            const double begin = points[s.first].time;
            const double end = points[s.resume].time;
            if (!reaches(secondsBetween(begin, end), minSec_)) continue;
            TripEntry e;
            e.begin = begin;
            e.end = end;
            e.lon = s.lon;
            e.lat = s.lat;
            entries.push_back(e);
        }
        return entries;
    }

private:
    double minSec_;
};

}  // namespace telvika::server
