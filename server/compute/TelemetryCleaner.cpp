#include "compute/TelemetryCleaner.h"

#include <algorithm>
#include <cmath>

#include "compute/ElapsedSeconds.h"
#include "compute/GeoDistance.h"

namespace telvika::server {

namespace {

qint64 millisecondKey(double oleTime) { return std::llround(oleTime * 86400000.0); }

// Index of the next record with a valid fix after i, or -1.
int nextValidFix(const QVector<TelemetryPoint>& points, int i) {
    for (int k = i + 1; k < points.size(); ++k)
        if (points[k].gpsValid) return k;
    return -1;
}

}  // namespace

bool TelemetryCleaner::validValues(const TelemetryPoint& p) const {
    if (!std::isfinite(p.speedKmh) || p.speedKmh < 0.0 || p.speedKmh > settings_.maxPlausibleSpeedKmh)
        return false;
    if (!std::isfinite(p.odometerM)) return false;
    if (p.gpsValid) {
        if (!std::isfinite(p.lat) || !std::isfinite(p.lon)) return false;
        if (std::fabs(p.lat) > 90.0 || std::fabs(p.lon) > 180.0) return false;
    }
    for (double tank : {p.tank1, p.tank2})
        if (std::isinf(tank) || tank < 0.0) return false;
    return true;
}

bool TelemetryCleaner::plausibleStep(const TelemetryPoint& a, const TelemetryPoint& b) const {
    // Sub-second steps are judged as one second, so that GPS jitter between close samples is not
    // taken for a jump.
    const double dt = std::max(1.0, std::fabs(secondsBetween(a.time, b.time)));
    return distanceMetres(a.lat, a.lon, b.lat, b.lon) <= settings_.maxPlausibleSpeedKmh / 3.6 * dt;
}

int TelemetryCleaner::dropJumps(QVector<TelemetryPoint>& points) const {
    // Compacts in place: kept records move towards the front.
    int out = 0;
    int dropped = 0;
    bool anchored = false;
    TelemetryPoint anchor;  // the last kept record with a valid fix
    const int n = static_cast<int>(points.size());
    for (int i = 0; i < n; ++i) {
        const TelemetryPoint p = points[i];
        if (!p.gpsValid) {
            points[out++] = p;
            continue;
        }
        bool keep;
        if (!anchored) {
            // The first fix must agree with one of the next two, or it could be a wild one that
            // would then make every good fix look like a jump.
            const int q1 = nextValidFix(points, i);
            const int q2 = q1 < 0 ? -1 : nextValidFix(points, q1);
            keep = q1 < 0 || plausibleStep(p, points[q1]) || (q2 >= 0 && plausibleStep(p, points[q2]));
        } else {
            keep = plausibleStep(anchor, p);
            if (!keep) {
                // When the next two fixes agree with this one and not with the anchor, the anchor
                // was the odd one out (or the vehicle reappeared elsewhere after a long gap):
                // follow them.
                const int q1 = nextValidFix(points, i);
                const int q2 = q1 < 0 ? -1 : nextValidFix(points, q1);
                keep = q2 >= 0 && plausibleStep(p, points[q1]) && plausibleStep(points[q1], points[q2]) &&
                       !plausibleStep(anchor, points[q1]);
            }
        }
        if (!keep) {
            ++dropped;
            continue;
        }
        points[out++] = p;
        anchor = p;
        anchored = true;
    }
    points.resize(out);
    return dropped;
}

CleanTelemetry TelemetryCleaner::clean(QVector<TelemetryPoint> rows, double periodBegin,
                                       double periodEnd) const {
    CleanTelemetry result;
    const qint64 beginKey = millisecondKey(periodBegin);
    const qint64 endKey = millisecondKey(periodEnd);
    // Filtered in place (the rows were passed by value).
    QVector<TelemetryPoint> points = std::move(rows);
    int kept = 0;
    for (int i = 0; i < points.size(); ++i) {
        TelemetryPoint p = points[i];
        if (!std::isfinite(p.time)) {
            ++result.dropped;
            continue;
        }
        const qint64 key = millisecondKey(p.time);
        if (key < beginKey || key > endKey) continue;
        if (!validValues(p)) {
            ++result.dropped;
            continue;
        }
        if (!p.gpsValid && (!std::isfinite(p.lat) || !std::isfinite(p.lon))) p.lat = p.lon = 0.0;
        points[kept++] = p;
    }
    points.resize(kept);

    const bool sorted = std::is_sorted(points.begin(), points.end(), [](const auto& a, const auto& b) {
        return a.time < b.time;
    });
    if (!sorted)
        std::stable_sort(points.begin(), points.end(),
                         [](const auto& a, const auto& b) { return a.time < b.time; });

    // One record per millisecond: the first one received wins.
    int out = 0;
    qint64 lastKey = 0;
    for (int i = 0; i < points.size(); ++i) {
        const qint64 key = millisecondKey(points[i].time);
        if (out > 0 && key == lastKey) {
            ++result.duplicates;
            continue;
        }
        lastKey = key;
        if (out != i) points[out] = points[i];
        ++out;
    }
    points.resize(out);

    result.dropped += dropJumps(points);
    result.points = std::move(points);
    return result;
}

}  // namespace telvika::server
