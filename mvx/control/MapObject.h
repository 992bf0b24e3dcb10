#pragma once

#include "ObjectStyle.h"

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVector>

namespace mvx {

// One drawable record of an object set: its style, its points in degrees and in Web Mercator
// metres (computed once at load so that drawing only scales and shifts), and its tooltip.
struct MapObject {
    ObjectStyle style;
    QString styleText;
    QVector<QPointF> lonLat;  // x = longitude, y = latitude
    QVector<QPointF> merc;
    QRectF mercBounds;  // bounding box of merc (top() is the smaller northing)
    quint64 geometryId = 0;  // the same for objects that share one loaded geometry
    QString name;
};

}  // namespace mvx
