#include "core/Projection.h"

#include <QRectF>

#include <algorithm>
#include <cmath>

namespace mvx {

namespace {
constexpr double DegToRad = M_PI / 180.0;
constexpr double InchInMetres = 0.0254;
}  // namespace

QPointF lonLatToMercator(double lon, double lat) {
    lat = std::clamp(lat, -MaxMercatorLatitude, MaxMercatorLatitude);
    const double x = EarthRadius * lon * DegToRad;
    const double y = EarthRadius * std::log(std::tan(M_PI / 4.0 + lat * DegToRad / 2.0));
    return {x, y};
}

QPointF mercatorToLonLat(const QPointF& m) {
    const double lon = m.x() / EarthRadius / DegToRad;
    const double lat = (2.0 * std::atan(std::exp(m.y() / EarthRadius)) - M_PI / 2.0) / DegToRad;
    return {lon, lat};
}

QPointF MapView::mercToScreen(const QPointF& m) const {
    return {(m.x() - center_.x()) / mercPerPixel_ + size_.width() / 2.0,
            (center_.y() - m.y()) / mercPerPixel_ + size_.height() / 2.0};
}

QPointF MapView::screenToMerc(const QPointF& px) const {
    return {center_.x() + (px.x() - size_.width() / 2.0) * mercPerPixel_,
            center_.y() - (px.y() - size_.height() / 2.0) * mercPerPixel_};
}

QRectF MapView::visibleMercator() const {
    const double w = size_.width() * mercPerPixel_;
    const double h = size_.height() * mercPerPixel_;
    return QRectF(center_.x() - w / 2.0, center_.y() - h / 2.0, w, h);
}

double MapView::scaleDenominator(double dpi) const {
    const double lat = mercatorToLonLat(center_).y();
    const double groundPerPixel = mercPerPixel_ * std::cos(lat * DegToRad);
    return groundPerPixel * dpi / InchInMetres;
}

void MapView::setScaleDenominator(double scale, double dpi) {
    const double lat = mercatorToLonLat(center_).y();
    const double groundPerPixel = scale * InchInMetres / dpi;
    mercPerPixel_ = groundPerPixel / std::max(1e-9, std::cos(lat * DegToRad));
}

}  // namespace mvx
