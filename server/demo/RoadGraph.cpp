#include "demo/RoadGraph.h"

#include <cmath>
#include <limits>
#include <queue>

namespace telvika::server::demo {

namespace {

qint64 placeKey(QPointF p) {
    return (static_cast<qint64>(std::llround(p.x())) << 32) ^ (std::llround(p.y()) & 0xffffffffLL);
}

}  // namespace

int RoadGraph::addNode(QPointF p) {
    const qint64 key = placeKey(p);
    const auto it = index_.constFind(key);
    if (it != index_.cend()) return it.value();
    const int id = static_cast<int>(nodes_.size());
    nodes_.push_back(QPointF(std::round(p.x()), std::round(p.y())));
    edges_.push_back({});
    index_.insert(key, id);
    return id;
}

void RoadGraph::addRoad(const QVector<QPointF>& points, double limitKmh, int roadClass) {
    int prev = -1;
    for (const QPointF& p : points) {
        const int id = addNode(p);
        if (prev >= 0 && prev != id && !edge(prev, id)) {
            const QPointF d = nodes_[id] - nodes_[prev];
            const double length = std::hypot(d.x(), d.y());
            edges_[prev].push_back({id, length, limitKmh, roadClass});
            edges_[id].push_back({prev, length, limitKmh, roadClass});
        }
        prev = id;
    }
}

int RoadGraph::nodeAt(QPointF metres) const { return index_.value(placeKey(metres), -1); }

int RoadGraph::nearestNode(QPointF metres) const {
    int best = -1;
    double bestD = std::numeric_limits<double>::max();
    for (int i = 0; i < nodes_.size(); ++i) {
        const QPointF d = nodes_[i] - metres;
        const double dist = d.x() * d.x() + d.y() * d.y();
        if (dist < bestD && !edges_[i].isEmpty()) {
            bestD = dist;
            best = i;
        }
    }
    return best;
}

const RoadGraph::Edge* RoadGraph::edge(int from, int to) const {
    for (const Edge& e : edges_[from])
        if (e.to == to) return &e;
    return nullptr;
}

QVector<int> RoadGraph::shortestPath(int from, int to) const {
    const int n = nodeCount();
    QVector<double> cost(n, std::numeric_limits<double>::infinity());
    QVector<int> prev(n, -1);
    using Item = std::pair<double, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<>> queue;
    cost[from] = 0.0;
    queue.push({0.0, from});
    while (!queue.empty()) {
        const auto [c, u] = queue.top();
        queue.pop();
        if (c > cost[u]) continue;
        if (u == to) break;
        for (const Edge& e : edges_[u]) {
            const double next = c + e.length / e.limitKmh;
            if (next < cost[e.to]) {
                cost[e.to] = next;
                prev[e.to] = u;
                queue.push({next, e.to});
            }
        }
    }
    if (from != to && prev[to] < 0) return {};
    QVector<int> path;
    for (int v = to; v >= 0; v = prev[v]) {
        path.push_front(v);
        if (v == from) break;
    }
    return path;
}

}  // namespace telvika::server::demo
