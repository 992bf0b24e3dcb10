#include "PlayerImageArt.h"

#include "BundleImages.h"
#include "SymbolPainter.h"
#include "VehiclePainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPolygonF>

namespace resources {

namespace {

constexpr int ToolbarCount = 31;
constexpr int KindCount = 12;
constexpr int Design = 64;  // drawn at this size, then scaled down smoothly

QImage scaledTo(const QImage& big, int size) {
    return big.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QLinearGradient buttonGradient(double height) {
    QLinearGradient g(0, 0, 0, height);
    g.setColorAt(0, QColor(85, 100, 125));
    g.setColorAt(1, QColor(30, 38, 52));
    return g;
}

QImage toolbarImage(int i) {
    QImage big(Design, Design, QImage::Format_ARGB32_Premultiplied);
    big.fill(Qt::transparent);
    QPainter p(&big);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QLinearGradient g = buttonGradient(Design);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(QRectF(1, 1, Design - 2, Design - 2));
    SymbolPainter::draw(p, static_cast<Symbol>(i), QRectF(14, 14, Design - 28, Design - 28), Qt::white);
    p.end();
    return scaledTo(big, 16);
}

QImage kindMenuImage(int kind, bool greyed) {
    static const Symbol symbols[KindCount] = {Symbol::LetterP, Symbol::Antenna, Symbol::Battery, Symbol::Gauge,
                                              Symbol::FuelUp,  Symbol::FuelDown, Symbol::Digit1, Symbol::Digit2,
                                              Symbol::Digit3,  Symbol::Digit4,  Symbol::Digit5,  Symbol::Digit6};
    QImage big(Design, Design, QImage::Format_ARGB32_Premultiplied);
    big.fill(Qt::transparent);
    QPainter p(&big);
    SymbolPainter::draw(p, symbols[kind], QRectF(2, 2, Design - 4, Design - 4), greyed ? QColor(160, 160, 160) : kindColor(kind + 1));
    p.end();
    return scaledTo(big, 16);
}

}  // namespace

QVector<QImage> drawToolbarImages() {
    QVector<QImage> out;
    for (int i = 0; i < ToolbarCount; ++i) out << toolbarImage(i);
    return out;
}

QVector<QImage> drawKindMenuImages() {
    QVector<QImage> out;
    for (int i = 0; i < KindCount; ++i) out << kindMenuImage(i, false);
    for (int i = 0; i < KindCount; ++i) out << kindMenuImage(i, true);
    return out;
}

QVector<QImage> drawVehicleImages() {
    QVector<QImage> out;
    for (int i = 0; i < VehiclePainter::Count; ++i) {
        QImage img(48, 48, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::black);
        QPainter p(&img);
        p.drawImage(QRectF(1, 1, 46, 46), vehicleIcon(i + 1, 92));
        out << img;
    }
    return out;
}

QImage drawMenuButtonImage() {
    // Drawn four times larger, then scaled down smoothly like the toolbar images.
    constexpr int W = 14 * 4, H = 20 * 4;
    QImage big(W, H, QImage::Format_ARGB32_Premultiplied);
    big.fill(Qt::transparent);
    QPainter p(&big);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(buttonGradient(H));
    p.drawRoundedRect(QRectF(1, 1, W - 2, H - 2), W / 2.0 - 1, W / 2.0 - 1);
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({QPointF(W * 0.14, H * 0.34), QPointF(W * 0.86, H * 0.34), QPointF(W * 0.5, H * 0.72)}));
    p.end();
    return big.scaled(14, 20, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace resources
