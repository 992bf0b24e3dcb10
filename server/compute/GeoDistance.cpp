#include "compute/GeoDistance.h"

#include <cmath>
#include <numbers>

namespace telvika::server {

double distanceMetres(double lat1, double lon1, double lat2, double lon2) {
    constexpr double earthRadiusM = 6371008.8;
    constexpr double rad = std::numbers::pi / 180.0;
    const double dLat = (lat2 - lat1) * rad;
    const double dLon = (lon2 - lon1) * rad;
    const double s1 = std::sin(dLat / 2.0);
    const double s2 = std::sin(dLon / 2.0);
    const double a = s1 * s1 + std::cos(lat1 * rad) * std::cos(lat2 * rad) * s2 * s2;
    return 2.0 * earthRadiusM * std::asin(std::min(1.0, std::sqrt(a)));
}

}  // namespace telvika::server
