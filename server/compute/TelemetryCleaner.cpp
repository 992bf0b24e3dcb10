#include "compute/TelemetryCleaner.h"

#include <algorithm>
#include <cmath>

#include "compute/ElapsedSeconds.h"
#include "compute/GeoDistance.h"

namespace telvika::server {

namespace {

qint64 millisecondKey(double oleTime) { return std::llround(oleTime * 86400000.0); }

// Index of the next record with a valid fix after i, or -1.
int nextValidFix(const TelemetryPoint* points, int count, int i) {
    for (int k = i + 1; k < count; ++k)
        if (points[k].gpsValid) return k;
    return -1;
}

// Compacts records in place: kept records move towards the front. Records are read through a const
// pointer and written only once one moves or changes, so rows shared with the caller are copied
// only then. in() changes at that first write: read records through it, never through a pointer
// kept from before.
class InPlaceCompactor {
public:
    explicit InPlaceCompactor(QVector<TelemetryPoint>& points) : points_(points), in_(points.constData()) {}
    const TelemetryPoint* in() const { return in_; }
    int kept() const { return out_; }
    void keep(int i) {
        if (out_ == i)
            ++out_;
        else
            keepChanged(i);
    }
    // Keeps record i and returns its written copy, to be changed.
    TelemetryPoint& keepChanged(int i) {
        if (!write_) {
            write_ = points_.data();
            in_ = points_.constData();
        }
        write_[out_] = in_[i];
        return write_[out_++];
    }
    void finish() {
        if (out_ != points_.size()) points_.resize(out_);
    }

private:
    QVector<TelemetryPoint>& points_;
    const TelemetryPoint* in_;
    TelemetryPoint* write_ = nullptr;
    int out_ = 0;
};

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
    return withinMetres(a.lat, a.lon, b.lat, b.lon, settings_.maxPlausibleSpeedKmh / 3.6 * dt);
}

int TelemetryCleaner::dropJumps(QVector<TelemetryPoint>& points) const {
    InPlaceCompactor kept(points);
    int dropped = 0;
    int anchor = -1;  // the last kept record with a valid fix, by its place among the kept ones
    const int n = static_cast<int>(points.size());
    for (int i = 0; i < n; ++i) {
        const TelemetryPoint* in = kept.in();
        const TelemetryPoint& p = in[i];
        if (!p.gpsValid) {
            kept.keep(i);
            continue;
        }
        bool keep;
        if (anchor < 0) {
            // The first fix must agree with one of the next two, or it could be a wild one that
            // would then make every good fix look like a jump.
            const int q1 = nextValidFix(in, n, i);
            const int q2 = q1 < 0 ? -1 : nextValidFix(in, n, q1);
            keep = q1 < 0 || plausibleStep(p, in[q1]) || (q2 >= 0 && plausibleStep(p, in[q2]));
        } else {
            keep = plausibleStep(in[anchor], p);
            if (!keep) {
                // When the next two fixes agree with this one and not with the anchor, the anchor
                // was the odd one out (or the vehicle reappeared elsewhere after a long gap):
                // follow them.
                const int q1 = nextValidFix(in, n, i);
                const int q2 = q1 < 0 ? -1 : nextValidFix(in, n, q1);
                keep = q2 >= 0 && plausibleStep(p, in[q1]) && plausibleStep(in[q1], in[q2]) &&
                       !plausibleStep(in[anchor], in[q1]);
            }
        }
        if (!keep) {
            ++dropped;
            continue;
        }
        kept.keep(i);
        anchor = kept.kept() - 1;  // where it now lies: later records are written behind it
    }
    kept.finish();
    return dropped;
}

CleanTelemetry TelemetryCleaner::clean(QVector<TelemetryPoint> rows, double periodBegin,
                                       double periodEnd) const {
    CleanTelemetry result;
    const qint64 beginKey = millisecondKey(periodBegin);
    const qint64 endKey = millisecondKey(periodEnd);
    // Filtered in place (the rows were passed by value). A record is written only when it moves or
    // changes: rows that need no cleaning stay shared with the caller, never copied.
    QVector<TelemetryPoint> points = std::move(rows);
    InPlaceCompactor valid(points);
    const int n = static_cast<int>(points.size());
    for (int i = 0; i < n; ++i) {
        const TelemetryPoint& p = valid.in()[i];
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
        if (!p.gpsValid && (!std::isfinite(p.lat) || !std::isfinite(p.lon))) {
            TelemetryPoint& placeless = valid.keepChanged(i);
            placeless.lat = placeless.lon = 0.0;
        } else {
            valid.keep(i);
        }
    }
    valid.finish();

    const auto earlier = [](const TelemetryPoint& a, const TelemetryPoint& b) { return a.time < b.time; };
    if (!std::is_sorted(points.cbegin(), points.cend(), earlier))
        std::stable_sort(points.begin(), points.end(), earlier);

    // One record per millisecond: the first one received wins.
    InPlaceCompactor unique(points);
    const int sortedCount = static_cast<int>(points.size());
    qint64 lastKey = 0;
    for (int i = 0; i < sortedCount; ++i) {
        const qint64 key = millisecondKey(unique.in()[i].time);
        if (unique.kept() > 0 && key == lastKey) {
            ++result.duplicates;
            continue;
        }
        lastKey = key;
        unique.keep(i);
    }
    unique.finish();

    result.dropped += dropJumps(points);
    result.points = std::move(points);
    return result;
}

}  // namespace telvika::server
