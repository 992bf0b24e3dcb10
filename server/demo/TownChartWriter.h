#pragma once

#include <QByteArray>
#include <QString>

#include "demo/TownPlan.h"

namespace telvika::server::demo {

// Writes a town as a .chart map: the town as OpenStreetMap XML (nodes, ways and multipolygon
// relations with OSM tags), converted by GDAL into a GeoPackage in the layer schema of GDAL's OSM
// driver (points, lines, multilinestrings, multipolygons), the schema the map control reads.
class TownChartWriter {
public:
    explicit TownChartWriter(const TownPlan& plan) : plan_(plan) {}

    QByteArray osmXml() const;
    bool write(const QString& path, QString* error) const;

private:
    const TownPlan& plan_;
};

}  // namespace telvika::server::demo
