#pragma once

#include <QString>

namespace mvx {

// A parsed object-set command: the set's name, where each record's geometry comes from, and
// which field (if any) holds a per-record style.
struct ObjectCommand {
    enum class Geometry { Metrics, Coords };

    QString name;
    Geometry geometry = Geometry::Metrics;
    QString metricsField;  // Metrics: text field holding "L E lon lat, lon lat, ..."
    QString latField;      // Coords: the latitude field, then the longitude field
    QString lonField;
    QString styleField;  // empty: every record takes the set's default style
};

}  // namespace mvx
