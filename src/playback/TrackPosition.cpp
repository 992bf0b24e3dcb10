#include "playback/TrackPosition.h"

#include "common/DateText.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace telvika::playback {

namespace {

constexpr double Pi = std::numbers::pi;

double headingOf(const TMapPoint& a, const TMapPoint& b) {
    return heading(a.X, b.X, a.Y, b.Y);
}

}  // namespace

int findSegment(const TTrackData& track, int pointCount, TDateTime moment, int current) {
    const int n = std::min(pointCount, track.pointCount());
    if (n < 2) return current;
    const double* values = track.values().constData();
    for (int k = 1; k <= n - 2; ++k)
        if (values[k * TTrackData::ValuesPerPoint] >= moment) return k - 1;
    return n - 2;
}

double heading(double x1, double x2, double y1, double y2) {
    double angle;
    if (x1 == x2) {
        angle = y1 >= y2 ? Pi / 2 : -Pi / 2;
    } else {
        angle = std::atan((y2 - y1) / (std::cos((y1 + y2) * Pi / 360.0) * (x1 - x2)));
        if (x1 > x2) angle += Pi;
    }
    if (angle < 0) angle += 2 * Pi;
    return angle;
}

double meanDirection(double a1, double a2) {
    const double sx = std::cos(a1) + std::cos(a2);
    const double sy = std::sin(a1) + std::sin(a2);
    if (std::hypot(sx, sy) < 1e-9) return a2;
    double angle = std::atan2(sy, sx);
    if (angle < 0) angle += 2 * Pi;
    return angle;
}

int usablePointCount(const TTrackData& track, const TMapPointArray& points, int pointCount) {
    return std::max(0, std::min({pointCount, int(points.size()), track.pointCount()}));
}

TVehiclePose lastPointPose(const TMapPointArray& points, int pointCount) {
    const int n = std::min(pointCount, int(points.size()));
    if (n < 1) return {};
    const TMapPoint& last = points[n - 1];
    const double angle = n >= 2 ? headingOf(points[n - 2], last) : Pi / 2;
    return {last.X, last.Y, angle};
}

TVehiclePose vehiclePose(const TTrackData& track, const TMapPointArray& points, int pointCount, int i,
                         TDateTime moment) {
    const int n = usablePointCount(track, points, pointCount);
    if (n < 1) return {};
    i = std::clamp(i, 0, n - 1);
    const TMapPoint& p = points[i];
    const bool hasPrev = i >= 1;
    const bool hasNext = i + 1 < n;

    if (dateLabelText(track.time(i)) == dateLabelText(moment)) {
        double angle = Pi / 2;
        if (hasPrev && hasNext)
            angle = meanDirection(headingOf(points[i - 1], p), headingOf(p, points[i + 1]));
        else if (hasPrev)
            angle = headingOf(points[i - 1], p);
        else if (hasNext)
            angle = headingOf(p, points[i + 1]);
        return {p.X, p.Y, angle};
    }
    if (!hasNext) return {p.X, p.Y, hasPrev ? headingOf(points[i - 1], p) : Pi / 2};

    const TMapPoint& q = points[i + 1];
    const double d = (track.time(i + 1) - track.time(i)) * SecondsPerDay;
    if (d == 0.0) return {p.X, p.Y, headingOf(p, q)};
    // Held on the segment: a moment before the track's first point or after its last one shows the
    // vehicle at that end, never off the track.
    const double e = std::clamp((moment - track.time(i)) * SecondsPerDay, 0.0, d);
    TMapPoint at{p.X + (q.X - p.X) * e / d, p.Y + (q.Y - p.Y) * e / d};
    if (at.X == 0.0 || at.Y == 0.0) return {p.X, p.Y, headingOf(p, p)};
    return {at.X, at.Y, e > 0.0 ? headingOf(p, at) : headingOf(p, q)};
}

}  // namespace telvika::playback
