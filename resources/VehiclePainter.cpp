#include "VehiclePainter.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>

namespace resources {

namespace {

const QColor Outline(25, 25, 25);
const QColor Glass(175, 215, 245);
const QColor Tyre(45, 45, 45);
const QColor Rim(205, 205, 205);

QPolygonF poly(std::initializer_list<QPointF> pts) { return QPolygonF(QVector<QPointF>(pts)); }

struct Pen {
    QPainter& p;
    void body(const QColor& fill) {
        p.setPen(QPen(Outline, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(fill);
    }
    void glass() {
        p.setPen(QPen(Outline, 1.5));
        p.setBrush(Glass);
    }
    void wheel(double x, double y, double r) {
        p.setPen(QPen(Outline, 2));
        p.setBrush(Tyre);
        p.drawEllipse(QPointF(x, y), r, r);
        p.setPen(Qt::NoPen);
        p.setBrush(Rim);
        p.drawEllipse(QPointF(x, y), r * 0.45, r * 0.45);
    }
};

void cab(QPainter& p, Pen& pen, const QColor& c) {
    pen.body(c.darker(125));
    p.drawPolygon(poly({{43, 47}, {43, 20}, {53, 20}, {60, 31}, {60, 47}}));
    pen.glass();
    p.drawPolygon(poly({{46, 23}, {52, 23}, {57, 31}, {46, 31}}));
}

}  // namespace

QColor VehiclePainter::bodyColor(int n) {
    static const QColor colors[ColorCount] = {
        {220, 40, 40}, {40, 90, 220}, {30, 160, 60},  {240, 200, 30}, {245, 130, 20}, {245, 245, 245}, {135, 135, 135},
        {30, 190, 210}, {150, 60, 190}, {140, 90, 40}, {25, 50, 140},  {150, 220, 40}, {240, 120, 170}, {95, 120, 80}};
    return colors[((n % ColorCount) + ColorCount) % ColorCount];
}

void VehiclePainter::draw(QPainter& p, int n, const QRectF& box) {
    const double side = std::min(box.width(), box.height());
    const QColor c = bodyColor(n);
    const int kind = std::clamp(n / ColorCount, 0, KindCount - 1);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.translate(box.center().x() - side / 2, box.center().y() - side / 2);
    p.scale(side / 64.0, side / 64.0);
    Pen pen{p};
    switch (kind) {
        case 0:  // car
            pen.body(c);
            p.drawPolygon(poly({{3, 46}, {3, 34}, {14, 31}, {22, 21}, {42, 21}, {51, 31}, {61, 34}, {61, 46}}));
            pen.glass();
            p.drawPolygon(poly({{23, 24}, {31, 24}, {31, 31}, {17, 31}}));
            p.drawPolygon(poly({{34, 24}, {41, 24}, {47, 31}, {34, 31}}));
            pen.wheel(16, 46, 7);
            pen.wheel(48, 46, 7);
            break;
        case 1:  // van
            pen.body(c);
            p.drawPolygon(poly({{3, 46}, {3, 15}, {44, 15}, {54, 28}, {61, 31}, {61, 46}}));
            pen.glass();
            p.drawPolygon(poly({{45, 19}, {52, 28}, {45, 28}}));
            p.drawRect(QRectF(8, 19, 30, 9));
            pen.wheel(15, 46, 7);
            pen.wheel(49, 46, 7);
            break;
        case 2:  // lorry with a box body
            pen.body(c);
            p.drawRect(QRectF(2, 11, 39, 31));
            cab(p, pen, c);
            pen.wheel(11, 47, 6.5);
            pen.wheel(26, 47, 6.5);
            pen.wheel(51, 47, 6.5);
            break;
        case 3:  // tipper
            pen.body(c);
            p.drawPolygon(poly({{2, 20}, {41, 20}, {38, 41}, {7, 41}}));
            p.setPen(QPen(Outline, 2));
            p.drawLine(QPointF(4, 41), QPointF(42, 41));
            cab(p, pen, c);
            pen.wheel(12, 47, 6.5);
            pen.wheel(28, 47, 6.5);
            pen.wheel(51, 47, 6.5);
            break;
        case 4:  // tanker
            pen.body(c);
            p.drawRoundedRect(QRectF(2, 17, 39, 24), 11, 11);
            p.setPen(QPen(Outline, 2));
            p.drawLine(QPointF(4, 42), QPointF(42, 42));
            cab(p, pen, c);
            pen.wheel(12, 47, 6.5);
            pen.wheel(27, 47, 6.5);
            pen.wheel(51, 47, 6.5);
            break;
        case 5:  // bus
            pen.body(c);
            p.drawRoundedRect(QRectF(2, 13, 60, 33), 4, 4);
            pen.glass();
            for (int i = 0; i < 5; ++i) p.drawRect(QRectF(5 + i * 10.5, 17, 8, 10));
            p.drawRect(QRectF(56, 17, 5, 17));
            pen.wheel(14, 46, 7);
            pen.wheel(50, 46, 7);
            break;
        case 6:  // crane truck
            p.setPen(QPen(c.darker(140), 5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(26, 34), QPointF(6, 6));
            p.setPen(QPen(Outline, 1.5));
            p.drawLine(QPointF(6, 6), QPointF(6, 22));
            pen.body(c);
            p.drawRect(QRectF(3, 34, 40, 8));
            p.drawRect(QRectF(20, 27, 14, 8));
            cab(p, pen, c);
            pen.wheel(12, 47, 6.5);
            pen.wheel(28, 47, 6.5);
            pen.wheel(51, 47, 6.5);
            break;
        case 7:  // tractor
            pen.body(c);
            p.drawRect(QRectF(27, 29, 32, 13));
            p.setPen(QPen(Outline, 2.5));
            p.setBrush(Qt::NoBrush);
            p.drawPolygon(poly({{10, 34}, {12, 10}, {30, 10}, {32, 34}}));
            pen.glass();
            p.drawRect(QRectF(15, 14, 13, 12));
            p.setPen(QPen(Outline, 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(52, 29), QPointF(52, 20));
            pen.wheel(20, 43, 14);
            pen.wheel(51, 48, 8);
            break;
        case 8:  // combine harvester
            pen.body(c);
            p.drawRect(QRectF(6, 16, 42, 26));
            p.drawRect(QRectF(49, 36, 13, 11));
            p.setPen(QPen(Outline, 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(10, 16), QPointF(2, 6));
            pen.glass();
            p.drawRect(QRectF(34, 6, 14, 10));
            pen.wheel(20, 44, 11);
            pen.wheel(44, 48, 7);
            break;
        case 9:  // motorcycle
            pen.wheel(13, 45, 9);
            pen.wheel(51, 45, 9);
            pen.body(c);
            p.drawPolygon(poly({{20, 36}, {28, 25}, {44, 25}, {48, 34}, {30, 38}}));
            p.setPen(QPen(Outline, 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(46, 22), QPointF(51, 45));
            p.drawLine(QPointF(42, 19), QPointF(50, 21));
            p.drawLine(QPointF(13, 45), QPointF(26, 36));
            p.setPen(QPen(Outline, 2));
            p.setBrush(c.darker(150));
            p.drawRect(QRectF(12, 26, 16, 5));
            break;
        case 10:  // aeroplane
            pen.body(c);
            p.drawPolygon(poly({{6, 28}, {9, 10}, {17, 10}, {22, 28}}));
            p.drawRoundedRect(QRectF(4, 26, 58, 13), 6.5, 6.5);
            pen.body(c.darker(125));
            p.drawPolygon(poly({{26, 33}, {40, 33}, {30, 54}, {21, 54}}));
            pen.glass();
            for (int i = 0; i < 5; ++i) p.drawEllipse(QPointF(24 + i * 6, 30), 1.6, 1.6);
            p.drawPolygon(poly({{54, 28}, {59, 30}, {54, 31}}));
            break;
        default:  // boat
            pen.body(c);
            p.drawPolygon(poly({{2, 36}, {62, 36}, {53, 52}, {9, 52}}));
            pen.body(Qt::white);
            p.drawRect(QRectF(17, 24, 24, 12));
            pen.glass();
            p.drawRect(QRectF(20, 27, 6, 5));
            p.drawRect(QRectF(31, 27, 6, 5));
            p.setPen(QPen(Outline, 2.5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(29, 24), QPointF(29, 8));
            p.setPen(QPen(QColor(60, 120, 210), 2.5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(4, 57), QPointF(60, 57));
            break;
    }
    p.restore();
}

}  // namespace resources
