#include "compute/StageDetector.h"

#include <algorithm>

#include "compute/GeoDistance.h"

namespace telvika::server {

QVector<TripEntry> StageDetector::detect(std::span<const TelemetryPoint> points, const TripRange& trip,
                                         const QVector<ControlPoint>& controlPoints) const {
    QVector<TripEntry> entries;
    const int count = trip.last - trip.first + 1;
    QVector<bool> inside(count);
    for (const ControlPoint& cp : controlPoints) {
        bool state = false;
        for (int k = 0; k < count; ++k) {
            const TelemetryPoint& p = points[trip.first + k];
            if (p.gpsValid) state = distanceMetres(cp.lat, cp.lon, p.lat, p.lon) <= cp.radiusM;
            inside[k] = state;
        }
        const auto runs = findRuns(points, trip, minSec_, [&](const TelemetryPoint& p) {
            return inside[static_cast<int>(&p - points.data()) - trip.first];
        });
        for (const RecordRun& run : runs) {
            TripEntry e;
            e.begin = points[run.first].time;
            e.end = points[run.end].time;
            e.lon = cp.lon;
            e.lat = cp.lat;
            entries.push_back(e);
        }
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const TripEntry& a, const TripEntry& b) { return a.begin < b.begin; });
    return entries;
}

}  // namespace telvika::server
