#pragma once

#include <QPointF>
#include <QString>
#include <QVector>

namespace mvx {

// Parses a geometry text "L E lon lat, lon lat, ...": "L" a chain of points (a line, or the ring
// of an area), "E" geographic degrees, then "lon lat" pairs joined by ','. Numbers are read as the
// player writes them: '.' as the decimal separator, exponents allowed ("1E-7" near the equator or
// the prime meridian). A trailing ',' is tolerated. Never throws.
class MetricsParser {
public:
    // x = longitude, y = latitude. False with a reason on a malformed text, a non-finite or
    // out-of-range coordinate, or no points.
    static bool parse(const QString& text, QVector<QPointF>& lonLat, QString& error);
};

}  // namespace mvx
