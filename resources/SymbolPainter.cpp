#include "SymbolPainter.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace resources {

namespace {

// Everything is designed in a 64 x 64 box.
QPolygonF poly(std::initializer_list<QPointF> pts) { return QPolygonF(QVector<QPointF>(pts)); }

void text(QPainter& p, const QString& s, const QColor& c, double px) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(int(px));
    QPainterPath path;
    path.addText(0, 0, f, s);
    const QRectF b = path.boundingRect();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(path.translated(32 - b.center().x(), 32 - b.center().y()));
}

void arrow(QPainter& p, double angleDeg, const QColor& c) {
    p.save();
    p.translate(32, 32);
    p.rotate(angleDeg);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(poly({{0, -24}, {20, -2}, {8, -2}, {8, 22}, {-8, 22}, {-8, -2}, {-20, -2}}));
    p.restore();
}

}  // namespace

void SymbolPainter::draw(QPainter& p, Symbol s, const QRectF& box, const QColor& c) {
    const double side = std::min(box.width(), box.height());
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.translate(box.center().x() - side / 2, box.center().y() - side / 2);
    p.scale(side / 64.0, side / 64.0);
    QPen pen(c, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    auto fill = [&]() {
        p.setPen(Qt::NoPen);
        p.setBrush(c);
    };
    switch (s) {
        case Symbol::Play: fill(); p.drawPolygon(poly({{18, 10}, {54, 32}, {18, 54}})); break;
        case Symbol::Pause: fill(); p.drawRect(QRectF(14, 10, 13, 44)); p.drawRect(QRectF(37, 10, 13, 44)); break;
        case Symbol::Stop: fill(); p.drawRect(QRectF(12, 12, 40, 40)); break;
        case Symbol::Rewind:
            fill(); p.drawPolygon(poly({{32, 14}, {32, 50}, {4, 32}})); p.drawPolygon(poly({{60, 14}, {60, 50}, {32, 32}}));
            break;
        case Symbol::Forward:
            fill(); p.drawPolygon(poly({{4, 14}, {4, 50}, {32, 32}})); p.drawPolygon(poly({{32, 14}, {32, 50}, {60, 32}}));
            break;
        case Symbol::Plus: p.setPen(QPen(c, 10, Qt::SolidLine, Qt::RoundCap)); p.drawLine(32, 12, 32, 52); p.drawLine(12, 32, 52, 32); break;
        case Symbol::Minus: p.setPen(QPen(c, 10, Qt::SolidLine, Qt::RoundCap)); p.drawLine(12, 32, 52, 32); break;
        case Symbol::Magnifier: p.drawEllipse(QPointF(27, 27), 16, 16); p.setPen(QPen(c, 10, Qt::SolidLine, Qt::RoundCap)); p.drawLine(39, 39, 54, 54); break;
        case Symbol::Home:
            fill(); p.drawPolygon(poly({{32, 8}, {58, 32}, {50, 32}, {50, 56}, {38, 56}, {38, 40}, {26, 40}, {26, 56}, {14, 56}, {14, 32}, {6, 32}}));
            break;
        case Symbol::Pin: {
            fill();
            QPainterPath path;
            path.moveTo(32, 60);
            path.cubicTo(22, 42, 12, 34, 12, 24);
            path.arcTo(QRectF(12, 4, 40, 40), 180, -180);
            path.cubicTo(52, 34, 42, 42, 32, 60);
            path.addEllipse(QPointF(32, 24), 8, 8);
            p.drawPath(path);
            break;
        }
        case Symbol::LetterP: text(p, QStringLiteral("P"), c, 54); break;
        case Symbol::Info: text(p, QStringLiteral("i"), c, 54); break;
        case Symbol::Question: text(p, QStringLiteral("?"), c, 54); break;
        case Symbol::Check: p.setPen(QPen(c, 9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin)); p.drawPolyline(poly({{12, 34}, {26, 48}, {52, 16}})); break;
        case Symbol::Cross: p.setPen(QPen(c, 9, Qt::SolidLine, Qt::RoundCap)); p.drawLine(14, 14, 50, 50); p.drawLine(50, 14, 14, 50); break;
        case Symbol::ArrowUp: arrow(p, 0, c); break;
        case Symbol::ArrowRight: arrow(p, 90, c); break;
        case Symbol::ArrowDown: arrow(p, 180, c); break;
        case Symbol::ArrowLeft: arrow(p, 270, c); break;
        case Symbol::Clock: p.drawEllipse(QPointF(32, 32), 24, 24); p.drawPolyline(poly({{32, 16}, {32, 32}, {44, 40}})); break;
        case Symbol::Flag:
            p.drawLine(16, 8, 16, 58); fill(); p.drawPolygon(poly({{19, 8}, {52, 18}, {19, 30}}));
            break;
        case Symbol::Star: {
            fill();
            QPolygonF star;
            for (int i = 0; i < 10; ++i) {
                const double r = i % 2 ? 11 : 27, a = M_PI * (i / 5.0) - M_PI / 2;
                star << QPointF(32 + r * std::cos(a), 34 + r * std::sin(a));
            }
            p.drawPolygon(star);
            break;
        }
        case Symbol::Folder: fill(); p.drawPolygon(poly({{6, 16}, {24, 16}, {30, 22}, {58, 22}, {58, 52}, {6, 52}})); break;
        case Symbol::Disk:
            p.setPen(QPen(c, 6, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin)); p.drawRect(QRectF(10, 10, 44, 44));
            fill(); p.drawRect(QRectF(20, 34, 24, 20)); p.drawRect(QRectF(20, 10, 22, 12));
            break;
        case Symbol::Refresh:
            p.drawArc(QRectF(12, 12, 40, 40), 90 * 16, 270 * 16); fill(); p.drawPolygon(poly({{32, 2}, {44, 12}, {32, 22}}));
            break;
        case Symbol::Gear: {
            p.setPen(QPen(c, 8)); p.drawEllipse(QPointF(32, 32), 14, 14);
            p.setPen(QPen(c, 8, Qt::SolidLine, Qt::FlatCap));
            for (int i = 0; i < 8; ++i) {
                const double a = i * M_PI / 4;
                p.drawLine(QPointF(32 + 18 * std::cos(a), 32 + 18 * std::sin(a)), QPointF(32 + 27 * std::cos(a), 32 + 27 * std::sin(a)));
            }
            break;
        }
        case Symbol::List: for (int y : {16, 32, 48}) p.drawLine(12, y, 52, y); break;
        case Symbol::Eye: {
            QPainterPath path; path.moveTo(6, 32); path.quadTo(32, 8, 58, 32); path.quadTo(32, 56, 6, 32); p.drawPath(path);
            fill(); p.drawEllipse(QPointF(32, 32), 8, 8);
            break;
        }
        case Symbol::Zigzag: p.setPen(QPen(c, 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin)); p.drawPolyline(poly({{6, 50}, {22, 16}, {34, 46}, {46, 14}, {58, 40}})); break;
        case Symbol::Chevrons:
            p.setPen(QPen(c, 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(poly({{10, 14}, {28, 32}, {10, 50}})); p.drawPolyline(poly({{32, 14}, {50, 32}, {32, 50}}));
            break;
        case Symbol::Wrench: {
            p.setPen(QPen(c, 11, Qt::SolidLine, Qt::RoundCap)); p.drawLine(18, 46, 40, 24);
            p.setPen(QPen(c, 7)); p.drawArc(QRectF(34, 6, 24, 24), -135 * 16, 270 * 16);
            break;
        }
        case Symbol::Antenna:
            p.drawLine(32, 28, 32, 58); p.drawLine(20, 58, 44, 58);
            p.drawArc(QRectF(20, 14, 24, 24), 30 * 16, 120 * 16); p.drawArc(QRectF(8, 4, 48, 48), 35 * 16, 110 * 16);
            fill(); p.drawEllipse(QPointF(32, 27), 5, 5);
            break;
        case Symbol::Battery:
            p.setPen(QPen(c, 5)); p.drawRoundedRect(QRectF(6, 18, 46, 28), 4, 4);
            fill(); p.drawRect(QRectF(52, 26, 6, 12)); p.drawRect(QRectF(12, 24, 14, 16)); p.drawRect(QRectF(29, 24, 14, 16));
            break;
        case Symbol::Gauge:
            p.drawArc(QRectF(6, 12, 52, 52), 0, 180 * 16);
            p.setPen(QPen(c, 6, Qt::SolidLine, Qt::RoundCap)); p.drawLine(32, 38, 48, 20);
            fill(); p.drawEllipse(QPointF(32, 38), 6, 6);
            break;
        case Symbol::FuelUp:
        case Symbol::FuelDown: {
            p.setPen(QPen(c, 5)); p.drawRoundedRect(QRectF(9, 12, 26, 45), 4, 4);
            fill(); p.drawRect(QRectF(9, 32, 26, 25));
            p.setPen(QPen(c, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin)); p.setBrush(Qt::NoBrush);
            p.drawPolyline(poly({{36, 22}, {44, 22}, {44, 50}, {52, 50}, {52, 18}, {46, 12}}));
            p.setPen(Qt::NoPen); p.setBrush(c);
            // the arrow tells a refuelling (up) from a drain (down)
            if (s == Symbol::FuelUp)
                p.drawPolygon(poly({{50, 0}, {62, 12}, {54, 12}, {54, 20}, {46, 20}, {46, 12}, {38, 12}}));
            else
                p.drawPolygon(poly({{50, 64}, {62, 52}, {54, 52}, {54, 44}, {46, 44}, {46, 52}, {38, 52}}));
            break;
        }
        case Symbol::Digit1: case Symbol::Digit2: case Symbol::Digit3:
        case Symbol::Digit4: case Symbol::Digit5: case Symbol::Digit6:
            text(p, QString::number(int(s) - int(Symbol::Digit1) + 1), c, 56);
            break;
    }
    p.restore();
}

}  // namespace resources
