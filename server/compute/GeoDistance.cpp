#include "compute/GeoDistance.h"

#include <cmath>
#include <numbers>

namespace telvika::server {

namespace {

constexpr double earthRadiusM = 6371008.8;
constexpr double rad = std::numbers::pi / 180.0;

}  // namespace

double distanceMetres(double lat1, double lon1, double lat2, double lon2) {
    const double dLat = (lat2 - lat1) * rad;
    const double dLon = (lon2 - lon1) * rad;
    if (std::fabs(dLat) < 1e-3 && std::fabs(dLon) < 1e-3) {
        // Steps of up to a few kilometres: the flat approximation agrees with the haversine to
        // a few millimetres and needs one cosine instead of four trigonometric calls.
        const double x = dLon * std::cos((lat1 + lat2) / 2.0 * rad);
        return earthRadiusM * std::sqrt(x * x + dLat * dLat);
    }
    const double s1 = std::sin(dLat / 2.0);
    const double s2 = std::sin(dLon / 2.0);
    const double a = s1 * s1 + std::cos(lat1 * rad) * std::cos(lat2 * rad) * s2 * s2;
    return 2.0 * earthRadiusM * std::asin(std::min(1.0, std::sqrt(a)));
}

bool withinMetres(double lat1, double lon1, double lat2, double lon2, double limitM) {
    const double dLat = (lat2 - lat1) * rad;
    const double dLon = (lon2 - lon1) * rad;
    if (std::fabs(dLat) < 1e-3 && std::fabs(dLon) < 1e-3) {
        // The short-step formula scales dLon by a cosine of at most 1: with dLon as it is, every
        // rounded step gives at least as much, so a bound within the limit is the answer.
        if (earthRadiusM * std::sqrt(dLon * dLon + dLat * dLat) <= limitM) return true;
    }
    return distanceMetres(lat1, lon1, lat2, lon2) <= limitM;
}

}  // namespace telvika::server
