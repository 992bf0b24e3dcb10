#pragma once

// The generator behind SyntheticCity: collects nodes, ways and relations in metres from the town
// centre and writes them as OpenStreetMap XML. The ordinary layout lives in SyntheticCity.cpp,
// the old-town parts (small crooked blocks, buildings wall to wall, squares, a church) in
// SyntheticOldTown.cpp, the writing in SyntheticCityOsm.cpp.
#include "SyntheticCity.h"

#include <QPointF>
#include <QString>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace synthetic {

// Street name stems: genitive nouns ("улица Ленина") and feminine adjectives ("Садовая улица").
extern const char* const kGenitive[20];
extern const char* const kAdjective[20];

using Tags = std::vector<std::pair<std::string, std::string>>;

struct Way {
    std::vector<long> nodes;
    Tags tags;
};

struct Relation {
    long outer;
    long inner;
    Tags tags;
};

class Builder {
public:
    explicit Builder(const SyntheticCity::Options& o);

    long node(double x, double y, Tags tags = {}) {
        nodes_.push_back({x, y, std::move(tags)});
        return static_cast<long>(nodes_.size());
    }
    long node(const QPointF& p, Tags tags = {}) { return node(p.x(), p.y(), std::move(tags)); }
    long way(std::vector<long> n, Tags tags) {
        ways_.push_back({std::move(n), std::move(tags)});
        return static_cast<long>(ways_.size());
    }
    // A closed way through the points.
    long ring(const std::vector<QPointF>& points, Tags tags);
    double uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng_); }

    // The warped grid position of intersection (i, j), in metres from the centre.
    QPointF gridPoint(int i, int j) const;
    double riverY(double x) const { return 0.36 * halfH_ * std::sin(x / 3100.0) - 0.24 * halfH_; }

    void build();
    bool write(const QString& path) const;

private:
    struct Node {
        double x, y;
        Tags tags;
    };
    // The corners of block (i, j) and positions inside it, u and v in 0..1.
    struct Quad {
        QPointF c[4];
        QPointF at(double u, double v) const;
        double width() const;   // mean length of the sides along u
        double height() const;  // mean length of the sides along v
    };

    void layout();
    void streets();
    void blocks();
    void water();
    void railways();
    void places();
    void block(int i, int j);
    Quad quad(int i, int j) const;
    std::string streetName(bool horizontal, int index, const std::string& kind);

    // Old-town parts.
    static std::string oldTownKind(int k, int count);
    std::string oldTownStreetName();
    void perimeterBlock(const Quad& q, const std::string& building, bool retail);
    void frontage(const Quad& q, int side, double t0, double t1, double gapAt, const std::string& building,
                  bool retail, int& house);
    bool squareBlock(int i, int j, const Quad& q);
    // Whether block (i, j) is built wall to wall: the core and a few blocks round it; beyond, the
    // newer town has free-standing buildings.
    bool oldTownBlock(int i, int j) const;
    bool inLake(double x, double y) const;
    QPointF lakeCentre() const;
    double railY(double x) const;
    bool nearRailway(double x, double y) const;
    void church(const Quad& q);

    // Detail of a city centre mapped closely (SyntheticOldTownDetail.cpp).
    bool inCore(const QPointF& p) const;
    std::vector<long> streetNodes(const std::vector<long>& corners);
    void sidewalks(const std::vector<long>& street);
    bool courtyardBlock(const Quad& q, const std::string& building);
    void yard(const Quad& q);
    void bay(std::vector<QPointF>& house, const std::function<QPointF(double, double)>& at, double t, double end);

    const SyntheticCity::Options& o_;
    std::mt19937 rng_;
    double lat0_, lon0_, mPerDegLon_;
    double halfW_ = 0, halfH_ = 0;  // half the extent of the street grid, metres
    std::vector<double> colX_, rowY_;  // grid line positions before the warp
    std::vector<Node> nodes_;
    std::vector<Way> ways_;
    std::vector<Relation> relations_;
    std::vector<std::vector<long>> grid_;  // intersection node ids
    int streetNames_ = 0;                  // old-town names handed out so far
};

}  // namespace synthetic
