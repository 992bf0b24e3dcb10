#include "BundleImages.h"

#include "SymbolPainter.h"
#include "VehiclePainter.h"

#include <QPainter>

namespace resources {

namespace {

Symbol kindSymbol(int n) {
    static const Symbol symbols[KindIconCount] = {Symbol::Pin,    Symbol::LetterP, Symbol::Antenna, Symbol::Battery, Symbol::Gauge,
                                                  Symbol::FuelUp, Symbol::FuelDown, Symbol::Digit1, Symbol::Digit2,  Symbol::Digit3,
                                                  Symbol::Digit4, Symbol::Digit5, Symbol::Digit6};
    return symbols[std::clamp(n, 0, KindIconCount - 1)];
}

}  // namespace

QColor kindColor(int n) {
    static const QColor colors[KindIconCount] = {{210, 30, 30},  {30, 90, 220},  {225, 120, 0},  {40, 150, 50}, {200, 30, 60},
                                                 {20, 130, 110}, {150, 80, 30},  {110, 50, 170}, {110, 50, 170}, {110, 50, 170},
                                                 {110, 50, 170}, {110, 50, 170}, {110, 50, 170}};
    return colors[std::clamp(n, 0, KindIconCount - 1)];
}

QImage kindIcon(int n, int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    const double ring = size / 12.0;
    p.setPen(QPen(kindColor(n), ring));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(ring / 2, ring / 2, size - ring, size - ring));
    const double inset = size * 0.2;
    SymbolPainter::draw(p, kindSymbol(n), QRectF(inset, inset, size - 2 * inset, size - 2 * inset), kindColor(n));
    return img;
}

QImage vehicleIcon(int n, int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    VehiclePainter::draw(p, n - 1, QRectF(0, 0, size, size));
    return img;
}

}  // namespace resources
