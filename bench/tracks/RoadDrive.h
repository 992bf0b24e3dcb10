#pragma once

// Long 1 Hz drives along the real roads of an OpenStreetMap extract, for benchmarks and tests that
// need tracks as a vehicle records them: routes between random places of the road network, speeds
// by road class with acceleration, braking and slowing for bends, short halts at the ends of
// routes, a stop of some minutes every hour or two, and receiver noise that wanders slowly (a few
// metres) as a real receiver's does. The same extract, length and seed give the same drive.

#include <QString>

#include <cstdint>
#include <vector>

namespace roaddrive {

struct Sample {
    double lat = 0.0;  // degrees
    double lon = 0.0;
    double speedKmh = 0.0;  // the vehicle's true speed
};

struct Options {
    int seconds = 3600;        // samples at 1 Hz
    std::uint64_t seed = 1;
    double noiseMetres = 2.5;  // standard deviation of the receiver's error, per axis
};

// The drivable roads of an extract (.osm.pbf or anything GDAL's OSM driver reads), as a graph.
class RoadNetwork {
public:
    // False with `error` set when the extract cannot be read or holds no connected roads.
    bool load(const QString& osmPath, QString* error);

    int nodeCount() const { return static_cast<int>(x_.size()); }

private:
    friend class Driver;
    struct Edge {
        int to;
        double metres;
        double limitMps;
    };
    double originLat_ = 0.0, originLon_ = 0.0, metresPerDegLon_ = 1.0;
    std::vector<double> x_, y_;  // metres east and north of the origin
    std::vector<std::vector<Edge>> edges_;
    std::vector<int> reachable_;  // nodes of the largest connected part
};

// One sample per second from the network, `options.seconds` of them.
std::vector<Sample> drive(const RoadNetwork& roads, const Options& options);

// Writes the drive as a GPX 1.1 track, one point a second from `startUtc` (seconds since 1970).
bool writeGpx(const QString& path, const std::vector<Sample>& samples, std::int64_t startUtc, QString* error);

}  // namespace roaddrive
