#pragma once

#include "chart/FeatureKind.h"

#include <QColor>

namespace mvx {

// The look of one kind of feature.
struct KindStyle {
    QRgb fill = 0;            // area fill or line colour
    QRgb stroke = 0;          // area outline or road casing; alpha 0 for none
    double widthMetres = 0;   // typical real width of a line feature
    double minWidthPx = 0;    // never drawn thinner than this at large scales
    Qt::PenStyle dash = Qt::SolidLine;
    double maxScale = 0;      // drawn when the scale denominator is at most this (0: never)
    double labelMaxScale = 0; // named features are labelled up to this denominator (0: never)
};

// The cartographic style of base maps: colours, widths and the scales at which each kind appears.
class ChartStyle {
public:
    static const KindStyle& of(FeatureKind kind);
    static QColor land() { return QColor(0xf2, 0xef, 0xe9); }
    static QColor labelText(FeatureKind kind);
    static QColor halo() { return QColor(255, 255, 255, 230); }
    static QColor railDash() { return QColor(255, 255, 255); }
};

}  // namespace mvx
