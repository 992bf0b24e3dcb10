#pragma once

#include <QPointF>

#include <cmath>
#include <numbers>

namespace telvika::server::demo {

// A flat frame in metres (x east, y north) around a centre given in degrees; exact enough for a
// town of a few tens of kilometres.
struct LocalFrame {
    double lon0 = 0.0;
    double lat0 = 0.0;

    double metresPerDegreeLon() const { return 111320.0 * std::cos(lat0 * std::numbers::pi / 180.0); }
    static constexpr double metresPerDegreeLat = 111132.0;

    QPointF toLonLat(QPointF metres) const {
        return {lon0 + metres.x() / metresPerDegreeLon(), lat0 + metres.y() / metresPerDegreeLat};
    }
    QPointF toMetres(double lon, double lat) const {
        return {(lon - lon0) * metresPerDegreeLon(), (lat - lat0) * metresPerDegreeLat};
    }
};

}  // namespace telvika::server::demo
