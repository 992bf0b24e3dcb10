// Operations of the control beyond the view on screen: the street at a place, and a picture of
// an area at a printer's resolution.
#include "TMVControl.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace mvx {

namespace {

constexpr double ScreenDpi = 96.0;    // the resolution view pixels are counted in
constexpr double LargestScale = 5000.0;  // a short trip is not blown up beyond 1:5000
constexpr double Margin = 1.08;        // room round the area inside the target
constexpr double InchInMetres = 0.0254;

}  // namespace

MapPlace TMVControl::NearestStreet(double lat, double lon, double maxMetres) const {
    MapPlace place;
#ifdef MVX_HAVE_CHARTS
    const StreetPlace found = charts_.nearestStreet(lon, lat, maxMetres);
    place.street = found.street;
    place.house = found.house;
    place.metres = found.metres;
    place.found = found.found;
#else
    Q_UNUSED(lat);
    Q_UNUSED(lon);
    Q_UNUSED(maxMetres);
#endif
    return place;
}

double TMVControl::PrintView(QPainter& painter, const QRectF& target, double south, double west, double north,
                             double east) {
    if (!target.isValid() || !std::isfinite(south) || !std::isfinite(west) || !std::isfinite(north) ||
        !std::isfinite(east))
        throw MapError(QStringLiteral("Неверная область карты для печати"));
    // Device pixels of the target, and how many of them make one view pixel at 96 dpi.
    const QPaintDevice* device = painter.device();
    const double deviceDpi = device != nullptr && device->logicalDpiX() > 0 ? device->logicalDpiX() : ScreenDpi;
    const QRectF onDevice = painter.transform().mapRect(target);
    const QSize pixels(std::max(1, static_cast<int>(std::lround(onDevice.width()))),
                       std::max(1, static_cast<int>(std::lround(onDevice.height()))));
    const double ratio = std::max(1.0, deviceDpi / ScreenDpi);
    const QSize logical(std::max(1, static_cast<int>(std::lround(pixels.width() / ratio))),
                        std::max(1, static_cast<int>(std::lround(pixels.height() / ratio))));

    const QPointF sw = lonLatToMercator(std::min(west, east), std::min(south, north));
    const QPointF ne = lonLatToMercator(std::max(west, east), std::max(south, north));
    const QPointF centre = (sw + ne) / 2.0;
    const QPointF centreGeo = mercatorToLonLat(centre);
    const double stretch = 1.0 / std::cos(centreGeo.y() * M_PI / 180.0);
    const double closest = LargestScale * InchInMetres / ScreenDpi * stretch;  // Mercator metres per pixel
    const double fit = std::max((ne.x() - sw.x()) / logical.width(), (ne.y() - sw.y()) / logical.height()) * Margin;
    const MapView view(centre, std::max(fit, closest), logical);

    QImage picture(pixels, QImage::Format_ARGB32_Premultiplied);
    picture.setDotsPerMeterX(static_cast<int>(std::lround(ScreenDpi / InchInMetres)));
    picture.setDotsPerMeterY(static_cast<int>(std::lround(ScreenDpi / InchInMetres)));
    picture.fill(QColor(242, 239, 233));
    {
        QPainter p(&picture);
        p.scale(static_cast<double>(pixels.width()) / logical.width(), static_cast<double>(pixels.height()) / logical.height());
#ifdef MVX_HAVE_CHARTS
        charts_.print(p, view);
#endif
        renderer_.render(p, view, layer_, icons_);
    }
    painter.drawImage(target, picture);
    return view.scaleDenominator(ScreenDpi);
}

}  // namespace mvx
