#pragma once

#include <QPointF>
#include <QRectF>
#include <QSize>

namespace mvx {

// Spherical Web Mercator: metres on a sphere of the WGS 84 semi-major axis, x east, y north.
inline constexpr double EarthRadius = 6378137.0;
inline constexpr double MaxMercatorLatitude = 85.0511287798066;

QPointF lonLatToMercator(double lon, double lat);  // latitude clamped to the Mercator limit
QPointF mercatorToLonLat(const QPointF& m);          // x = longitude, y = latitude

// A north-up view: the Mercator point at the centre of the widget, the Mercator metres one pixel
// spans, and the widget's size. Pixel (0,0) is the top-left corner, y grows downwards.
class MapView {
public:
    MapView() = default;
    MapView(const QPointF& centerMerc, double mercPerPixel, const QSize& size)
        : center_(centerMerc), mercPerPixel_(mercPerPixel), size_(size) {}

    QPointF center() const { return center_; }
    double mercatorPerPixel() const { return mercPerPixel_; }
    QSize size() const { return size_; }

    void setCenter(const QPointF& m) { center_ = m; }
    void setMercatorPerPixel(double v) { mercPerPixel_ = v; }
    void setSize(const QSize& s) { size_ = s; }

    QPointF mercToScreen(const QPointF& m) const;
    QPointF screenToMerc(const QPointF& px) const;
    QPointF geoToScreen(double lat, double lon) const { return mercToScreen(lonLatToMercator(lon, lat)); }
    QPointF screenToGeo(const QPointF& px) const { return mercatorToLonLat(screenToMerc(px)); }  // x lon, y lat

    // The visible Mercator rectangle (x from left to right, y from bottom to top stored as
    // top < bottom in QRectF terms: top() is the smaller northing).
    QRectF visibleMercator() const;

    // Map scale 1:N at the view's centre for a screen of the given logical DPI: ground metres per
    // pixel (Mercator metres times the cosine of the centre latitude) over the pixel's size.
    double scaleDenominator(double dpi) const;
    void setScaleDenominator(double scale, double dpi);

    bool operator==(const MapView& o) const {
        return center_ == o.center_ && mercPerPixel_ == o.mercPerPixel_ && size_ == o.size_;
    }
    bool operator!=(const MapView& o) const { return !(*this == o); }

private:
    QPointF center_;
    double mercPerPixel_ = 10.0;
    QSize size_{1, 1};
};

}  // namespace mvx
