// The detail with which real city centres are mapped, for the old town's core: street ways with
// a node every few metres, sidewalks drawn as footways of their own on both sides of a street,
// bays on house fronts, blocks built as one building round a courtyard, and yards with gardens,
// playgrounds and parking.
#include "SyntheticCityBuilder.h"

#include <algorithm>
#include <cmath>

namespace synthetic {

namespace {

constexpr double kSidewalkOffset = 6.0;   // metres from the middle of a street, just before the houses
constexpr double kCourtyardSetback = 6.5;
constexpr double kCourtyardDepth = 14.0;  // the courtyard building's wings

QPointF unitNormal(const QPointF& d) {
    const double len = std::hypot(d.x(), d.y());
    return len > 0 ? QPointF(-d.y() / len, d.x() / len) : QPointF(0, 0);
}

}  // namespace

bool Builder::inCore(const QPointF& p) const {
    if (o_.coreBlocks <= 0) return false;
    const double reach = o_.coreBlocks + 3;
    auto span = [&](int count, const std::vector<double>& at, double v) {
        const int lo = std::max(0, static_cast<int>(std::floor(count / 2.0 - reach - 0.5)) + 1);
        const int hi = std::min(count, static_cast<int>(std::ceil(count / 2.0 + reach - 0.5)));
        return v >= at[static_cast<size_t>(lo)] && v <= at[static_cast<size_t>(hi)];
    };
    return span(o_.blocksX, colX_, p.x()) && span(o_.blocksY, rowY_, p.y());
}

std::vector<long> Builder::streetNodes(const std::vector<long>& corners) {
    if (o_.streetNodeMetres <= 0 || corners.size() < 2) return corners;
    std::vector<long> out{corners.front()};
    for (size_t k = 1; k < corners.size(); ++k) {
        const Node& a = nodes_[static_cast<size_t>(corners[k - 1] - 1)];
        const Node& b = nodes_[static_cast<size_t>(corners[k] - 1)];
        const QPointF pa(a.x, a.y), pb(b.x, b.y);
        const int pieces = static_cast<int>(std::hypot(pb.x() - pa.x(), pb.y() - pa.y()) / o_.streetNodeMetres);
        const QPointF n = unitNormal(pb - pa);
        for (int s = 1; s < pieces; ++s) {
            // A street is never quite straight between its corners.
            const double bend = 0.4 * std::sin(s * 1.7 + static_cast<double>(corners[k]));
            out.push_back(node(pa + (pb - pa) * (static_cast<double>(s) / pieces) + n * bend));
        }
        out.push_back(corners[k]);
    }
    return out;
}

void Builder::sidewalks(const std::vector<long>& street) {
    std::vector<QPointF> p;
    for (long id : street) p.emplace_back(nodes_[static_cast<size_t>(id - 1)].x, nodes_[static_cast<size_t>(id - 1)].y);
    if (p.size() < 2) return;
    for (const double side : {kSidewalkOffset, -kSidewalkOffset}) {
        std::vector<long> walk;
        for (size_t i = 0; i < p.size(); ++i) {
            // Mitred at the street's bends, so the sidewalk keeps its distance.
            const QPointF before = i > 0 ? unitNormal(p[i] - p[i - 1]) : unitNormal(p[1] - p[0]);
            const QPointF after = i + 1 < p.size() ? unitNormal(p[i + 1] - p[i]) : before;
            const QPointF mean = before + after;
            const double dot = mean.x() * before.x() + mean.y() * before.y();
            const QPointF shift = dot > 0.3 ? mean * (side / dot) : before * side;
            walk.push_back(node(p[i] + shift));
        }
        way(std::move(walk), {{"highway", "footway"}, {"footway", "sidewalk"}});
    }
}

bool Builder::courtyardBlock(const Quad& q, const std::string& building) {
    const double w = q.width(), h = q.height();
    const double inset = kCourtyardSetback + kCourtyardDepth;
    if (w < 2 * inset + 12 || h < 2 * inset + 12) return false;
    auto frame = [&](double metres) {
        const double u = metres / w, v = metres / h;
        return std::vector<QPointF>{q.at(u, v), q.at(0.5, v * 0.9), q.at(1 - u, v), q.at(1 - u, 1 - v),
                                    q.at(0.5, 1 - v * 0.9), q.at(u, 1 - v)};
    };
    const long outer = ring(frame(kCourtyardSetback), {});
    const long inner = ring(frame(inset), {});
    relations_.push_back({outer, inner,
                          {{"type", "multipolygon"}, {"building", building}, {"building:levels", "5"}}});
    return true;
}

void Builder::yard(const Quad& q) {
    if (!o_.yards) return;
    const double w = q.width(), h = q.height();
    const double u0 = 24.0 / w, v0 = 24.0 / h;  // behind the houses
    if (u0 > 0.4 || v0 > 0.4) return;
    const double dice = uniform(0, 1);
    if (dice < 0.55) {
        const double a = uniform(u0, 0.45), b = uniform(0.55, 1 - u0), c = uniform(v0, 0.45), d = uniform(0.55, 1 - v0);
        ring({q.at(a, c), q.at((a + b) / 2, c - 0.02), q.at(b, c), q.at(b, d), q.at((a + b) / 2, d + 0.02), q.at(a, d)},
             {{"landuse", "grass"}});
    }
    if (dice > 0.4) {
        const double a = uniform(u0, 0.5);
        const double c = uniform(v0, 0.5);
        ring({q.at(a, c), q.at(a + 12.0 / w, c), q.at(a + 12.0 / w, c + 9.0 / h), q.at(a, c + 9.0 / h)},
             {{dice < 0.7 ? "leisure" : "amenity", dice < 0.7 ? "playground" : "parking"}});
    }
    if (uniform(0, 1) < 0.5) {  // a row of sheds and garages along the back of the yard
        const double v = uniform(0.55, 1 - v0 - 5.0 / h);
        for (double a = uniform(u0, 0.4), end = a + uniform(10, 20) / w; a + 3.0 / w < end; a += 3.5 / w)
            ring({q.at(a, v), q.at(a + 3.0 / w, v), q.at(a + 3.0 / w, v + 5.0 / h), q.at(a, v + 5.0 / h)},
                 {{"building", "garage"}});
    }
}

void Builder::bay(std::vector<QPointF>& house, const std::function<QPointF(double, double)>& at, double t,
                  double end) {
    // The front runs from house[0] to house[1]; a bay steps out into the street between them.
    const double a = t + (end - t) * uniform(0.25, 0.35), b = t + (end - t) * uniform(0.65, 0.75);
    house.insert(house.begin() + 1, {at(a, 0), at(a, -0.9), at(b, -0.9), at(b, 0)});
}

}  // namespace synthetic
