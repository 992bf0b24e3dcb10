#include "playback/MarkerGeometry.h"

#include "common/Rounding.h"

#include <cmath>
#include <numbers>

namespace telvika::playback {

TMapPointArrays markerShape(double xs, double ys, double angle, double size) {
    constexpr double Pi = std::numbers::pi;
    const double angles[5] = {angle + Pi, angle + 3 * Pi / 4, angle, angle - 3 * Pi / 4, angle + Pi};
    const double outer[5] = {0.4, 1.0, 1.0, 1.0, 0.4};
    TMapPointArrays shape(2);
    for (int poly = 0; poly < 2; ++poly) {
        const double scale = poly == 0 ? 1.0 : 0.6;
        shape[poly].resize(5);
        for (int k = 0; k < 5; ++k) {
            const double r = outer[k] * scale * size;
            shape[poly][k] = {xs + r * std::cos(angles[k]), ys + r * std::sin(angles[k])};
        }
    }
    return shape;
}

QPoint wholePixel(const TMapPoint& p) {
    return QPoint(int(roundHalfEvenToInt(p.X)), int(roundHalfEvenToInt(p.Y)));
}

bool needsFollowing(const QPoint& point, const QPoint& centre, int width, int height, double margin) {
    return std::abs(double(point.x()) - centre.x()) > width / 2.0 - margin ||
           std::abs(double(point.y()) - centre.y()) > height / 2.0 - margin;
}

}  // namespace telvika::playback
