#pragma once

#include <QPair>
#include <QPointF>
#include <QString>
#include <QVector>

#include "demo/DemoTown.h"
#include "demo/LocalFrame.h"
#include "demo/RoadGraph.h"

namespace telvika::server::demo {

// One object of the town's map, in metres of the town's frame, with its map tags.
struct TownFeature {
    enum class Shape { Point, Line, Area };
    Shape shape = Shape::Line;
    QVector<QPointF> points;          // an area's outer ring, not repeated at the end
    QVector<QVector<QPointF>> holes;  // inner rings of an area
    QVector<QPair<QString, QString>> tags;
};

// A place the vehicles go to: a depot, a customer or a filling station, at a road node.
struct TownSite {
    QString name;
    QString note;
    int node = -1;
    QPointF at;  // metres
};

// Everything the demo town is made of: the map objects, the road graph the vehicles drive on
// (built from the same roads) and the sites.
struct TownPlan {
    LocalFrame frame;
    QVector<TownFeature> features;
    RoadGraph graph;
    QVector<TownSite> depots;
    QVector<TownSite> customers;
    QVector<TownSite> stations;
    DemoTown town;
};

// The town for a seed, built once and kept (the same seed always gives the same town).
const TownPlan& townPlan(quint32 seed);

}  // namespace telvika::server::demo
