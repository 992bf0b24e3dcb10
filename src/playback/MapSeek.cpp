#include "playback/MapSeek.h"

#include "common/Rounding.h"

#include <algorithm>
#include <cmath>

namespace telvika::playback {

namespace {

double rootOfNonNegative(double v) {
    return std::sqrt(std::max(0.0, v));
}

double squaredDistance(double x1, double y1, double x2, double y2) {
    const double dx = x2 - x1, dy = y2 - y1;
    return dx * dx + dy * dy;
}

}  // namespace

TMapSeek nearestSegment(const TMapPointArray& points, int pointCount, double x, double y) {
    const int n = std::min(pointCount, int(points.size()));
    TMapSeek best;
    double bestDistance = 0.0, bestA2 = 0.0, bestC2 = 0.0;
    bool bestAtA = false;
    for (int s = 0; s + 1 < n; ++s) {
        const TMapPoint& A = points[s];
        const TMapPoint& B = points[s + 1];
        const double a2 = squaredDistance(x, y, A.X, A.Y);
        const double b2 = squaredDistance(x, y, B.X, B.Y);
        const double c2 = squaredDistance(A.X, A.Y, B.X, B.Y);
        const double a = std::sqrt(a2), b = std::sqrt(b2), c = std::sqrt(c2);
        double distance = a;
        if (a2 + b2 < c2) {
            const double h = (a + b + c) / 2;
            const double area = rootOfNonNegative(h * (h - a) * (h - b) * (h - c));
            distance = 2 * area / c;
        }
        if (!best.found || distance < bestDistance) {
            best.found = true;
            best.segment = s;
            bestDistance = distance;
            bestA2 = a2;
            bestC2 = c2;
            bestAtA = a == distance;
        }
    }
    if (!best.found) return best;
    double f = bestC2 > 0 ? rootOfNonNegative((bestA2 - bestDistance * bestDistance) / bestC2) : 0.0;
    if (!(f >= 0.0 && f <= 1.0) || bestAtA) f = 0.0;
    best.fraction = f;
    return best;
}

TDateTime seekMoment(TDateTime segmentBegin, TDateTime segmentEnd, double fraction) {
    return segmentBegin +
           roundHalfEven((segmentEnd - segmentBegin) * SecondsPerDay * fraction) / SecondsPerDay;
}

}  // namespace telvika::playback
