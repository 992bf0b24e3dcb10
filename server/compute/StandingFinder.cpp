#include "compute/StandingFinder.h"

#include "compute/GeoDistance.h"

namespace telvika::server {

QVector<StandingRun> StandingFinder::find(std::span<const TelemetryPoint> points) const {
    QVector<StandingRun> runs;
    const int n = static_cast<int>(points.size());
    int i = 0;
    while (i < n) {
        if (!standing(points[i])) {
            ++i;
            continue;
        }
        StandingRun run;
        run.first = i;
        bool placed = false;
        auto place = [&](const TelemetryPoint& p) {
            if (!placed && p.gpsValid) {
                run.lat = p.lat;
                run.lon = p.lon;
                placed = true;
            }
        };
        int j = i;
        while (j < n) {
            if (standing(points[j])) {
                place(points[j]);
                ++j;
                continue;
            }
            // A burst of moving records: jitter when it ends in another stand without leaving the
            // parking radius.
            int k = j;
            bool stayed = true;
            while (k < n && !standing(points[k])) {
                const TelemetryPoint& p = points[k];
                if (p.gpsValid && placed && !withinMetres(run.lat, run.lon, p.lat, p.lon, settings_.parkingRadiusM))
                    stayed = false;
                if (!stayed) break;
                ++k;
            }
            if (stayed && k < n && placed) {
                j = k;
                continue;
            }
            break;
        }
        run.resume = j < n ? j : -1;
        // No fix during the whole stand: it happened where the vehicle was last seen.
        for (int b = i - 1; b >= 0 && !placed; --b) place(points[b]);
        runs.push_back(run);
        i = j;
    }
    return runs;
}

QVector<bool> StandingFinder::parkedFlags(int count, const QVector<StandingRun>& runs) {
    QVector<bool> flags(count, false);
    for (const StandingRun& r : runs) {
        const int end = r.resume < 0 ? count : r.resume;
        for (int k = r.first; k < end; ++k) flags[k] = true;
    }
    return flags;
}

}  // namespace telvika::server
