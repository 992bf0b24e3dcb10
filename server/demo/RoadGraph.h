#pragma once

#include <QHash>
#include <QPointF>
#include <QString>
#include <QVector>

namespace telvika::server::demo {

// The roads of the demo town as a graph: nodes where roads meet or bend, edges along the roads,
// coordinates in metres of the town's local frame.
class RoadGraph {
public:
    struct Edge {
        int to = 0;
        double length = 0.0;    // metres
        double limitKmh = 0.0;  // speed limit of the road
        int roadClass = 0;      // 0 service .. 5 ring road
    };

    // Adds a road: consecutive points are joined; points at the same place (to the metre) are
    // one node, so crossing roads share their crossing point.
    void addRoad(const QVector<QPointF>& points, double limitKmh, int roadClass);

    int nodeCount() const { return static_cast<int>(nodes_.size()); }
    QPointF node(int i) const { return nodes_[i]; }
    const QVector<Edge>& edges(int i) const { return edges_[i]; }
    int nodeAt(QPointF metres) const;  // the node at that place, or -1
    int nearestNode(QPointF metres) const;

    // The nodes of a shortest path by travel time from one node to another, both included; empty
    // when there is none.
    QVector<int> shortestPath(int from, int to) const;
    // The edge from one node to a neighbour.
    const Edge* edge(int from, int to) const;

private:
    int addNode(QPointF p);

    QVector<QPointF> nodes_;
    QVector<QVector<Edge>> edges_;
    QHash<qint64, int> index_;
};

}  // namespace telvika::server::demo
