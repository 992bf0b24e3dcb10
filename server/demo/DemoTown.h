#pragma once

#include <QPointF>
#include <QString>
#include <QVector>

namespace telvika::server::demo {

// The synthetic town the demo fleet drives in. Coordinates are longitude (x) and latitude (y).
struct TownRoad {
    QString name;
    QString highway;  // OSM class: "primary", "secondary", "residential", ...
    QVector<QPointF> points;
};

struct DemoTown {
    QPointF center;  // lon, lat
    QVector<TownRoad> roads;
    // Everything else the map shows (river, railway, parks, buildings, places) is generated along
    // with the roads and written by writeDemoTownChart.
};

// The town for a seed (the same seed always gives the same town).
const DemoTown& demoTown(quint32 seed = 20091);

// Writes the town as a .chart map (a GeoPackage in the layer schema of docs/chart-format.md).
// Returns false and sets *error on failure; an existing file is replaced.
bool writeDemoTownChart(const QString& path, quint32 seed, QString* error);

}  // namespace telvika::server::demo
