#include "compute/TripDivider.h"

#include <algorithm>

#include "compute/ElapsedSeconds.h"
#include "compute/TrackBuilder.h"

namespace telvika::server {

namespace {

// A place where one trip must end and the next may begin.
struct Break {
    int end;        // last record of the trip before
    int nextStart;  // first record the next trip may use; -1 when none
};

}  // namespace

QVector<DividedTrip> TripDivider::divide(std::span<const TelemetryPoint> points,
                                         const QVector<StandingRun>& stands,
                                         const QVector<bool>& parked) const {
    const int n = static_cast<int>(points.size());
    QVector<DividedTrip> trips;
    if (n < 2) return trips;

    QVector<Break> breaks;
    for (const StandingRun& s : stands) {
        const double sec = secondsBetween(points[s.first].time,
                                          points[s.resume < 0 ? n - 1 : s.resume].time);
        // A stand that lasts to the end of the data ends the trip in any case.
        if (s.resume < 0 || reaches(sec, settings_.tripEndParkingSec))
            breaks.push_back({s.first, s.resume < 0 ? -1 : s.resume - 1});
    }
    for (int i = 0; i + 1 < n; ++i)
        if (secondsBetween(points[i].time, points[i + 1].time) > settings_.tripEndGapSec)
            breaks.push_back({i, i + 1});
    std::sort(breaks.begin(), breaks.end(), [](const Break& a, const Break& b) { return a.end < b.end; });

    auto addTrip = [&](int first, int last) {
        // Trim standing records at either end: the trip starts where the vehicle drove off and
        // ends where it stopped.
        int a = first;
        while (a <= last && parked[a]) ++a;
        if (a > last) return;
        int b = last;
        while (b >= a && parked[b]) --b;
        const TripRange range{std::max(first, a - 1), std::min(last, b + 1)};
        if (range.last <= range.first) return;
        QVector<double> track = buildTrack(points, parked, range);
        // The metres driven to the track's last point (none without a fix).
        const double metres = track.isEmpty() ? 0.0 : track[track.size() - 2];
        if (metres < settings_.tripMinDistanceM) return;
        trips.push_back({range, std::move(track)});
    };

    int start = 0;
    for (const Break& b : breaks) {
        if (start >= 0 && b.end > start) addTrip(start, b.end);
        if (b.nextStart < 0) {
            start = -1;
            break;
        }
        start = std::max(start, b.nextStart);
    }
    if (start >= 0 && start < n - 1) addTrip(start, n - 1);
    return trips;
}

}  // namespace telvika::server
