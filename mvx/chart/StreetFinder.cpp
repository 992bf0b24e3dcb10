#include "chart/StreetFinder.h"

#include "core/Projection.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mvx {

namespace {

// Squared distance from p to the segment a-b (all in Mercator metres).
double segmentDistance2(const QPointF& p, const QPointF& a, const QPointF& b) {
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double len2 = dx * dx + dy * dy;
    double t = 0.0;
    if (len2 > 0.0) t = std::clamp(((p.x() - a.x()) * dx + (p.y() - a.y()) * dy) / len2, 0.0, 1.0);
    const double ex = a.x() + t * dx - p.x(), ey = a.y() + t * dy - p.y();
    return ex * ex + ey * ey;
}

QRectF squareAround(const QPointF& m, double half) { return QRectF(m.x() - half, m.y() - half, 2 * half, 2 * half); }

}  // namespace

StreetPlace StreetFinder::nearest(const std::vector<const Chart*>& charts, double lon, double lat, double maxMetres) {
    StreetPlace place;
    if (!std::isfinite(lon) || !std::isfinite(lat) || std::fabs(lat) > MaxMercatorLatitude || !(maxMetres > 0))
        return place;
    const QPointF m = lonLatToMercator(lon, lat);
    // Mercator metres per ground metre at this latitude.
    const double stretch = 1.0 / std::cos(lat * M_PI / 180.0);
    const double reach = maxMetres * stretch;
    double best2 = reach * reach;
    const Chart* bestChart = nullptr;
    std::int32_t bestName = -1;
    for (const Chart* chart : charts) {
        const auto& features = chart->features();
        const auto& parts = chart->parts();
        const auto& points = chart->points();
        chart->forEachIn(squareAround(m, reach), [&](std::uint32_t i) {
            const ChartFeature& f = features[i];
            if (f.name < 0 || f.shape != FeatureShape::Line || !isRoad(f.kind)) return;
            for (std::uint32_t p = f.firstPart; p < f.firstPart + f.partCount; ++p) {
                const ChartPart& part = parts[p];
                const QPointF* run = points.data() + part.firstPoint;
                const std::uint32_t last = part.pointCount - 1;  // a part holds at least one point
                for (std::uint32_t k = 0; k <= last; ++k) {
                    if (k == last && last > 0) break;
                    const double d2 = segmentDistance2(m, run[k], run[k == last ? k : k + 1]);
                    // The first way found within reach, then only a strictly nearer one.
                    if (d2 < best2 || (!bestChart && d2 <= best2)) {
                        best2 = d2;
                        bestChart = chart;
                        bestName = f.name;
                    }
                }
            }
        });
    }
    if (!bestChart) return place;
    place.found = true;
    place.street = bestChart->names()[static_cast<size_t>(bestName)];
    place.metres = std::sqrt(best2) / stretch;

    const double houseReach = HouseMetres * stretch;
    double house2 = std::numeric_limits<double>::infinity();
    for (const Chart* chart : charts) {
        const auto& addresses = chart->addresses();
        chart->forEachAddressIn(squareAround(m, houseReach), [&](std::uint32_t i) {
            const ChartAddress& a = addresses[i];
            if (a.street < 0 || chart->names()[static_cast<size_t>(a.street)] != place.street) return;
            const double dx = a.at.x() - m.x(), dy = a.at.y() - m.y();
            const double d2 = dx * dx + dy * dy;
            if (d2 <= houseReach * houseReach && d2 < house2) {
                house2 = d2;
                place.house = a.number;
            }
        });
    }
    return place;
}

}  // namespace mvx
