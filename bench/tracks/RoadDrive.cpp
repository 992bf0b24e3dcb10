#include "RoadDrive.h"

#include <gdal.h>
#include <ogr_api.h>

#include <QByteArray>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <queue>
#include <unordered_map>

namespace roaddrive {

namespace {

constexpr double MetresPerDegLat = 111320.0;

// Usual speeds in km/h of the road classes a car drives on; other ways (service roads, tracks,
// paths) are left out.
double classSpeedKmh(const char* highway) {
    static const std::pair<const char*, double> speeds[] = {
        {"motorway", 110}, {"motorway_link", 60}, {"trunk", 80},       {"trunk_link", 50},
        {"primary", 70},   {"primary_link", 40},  {"secondary", 60},   {"secondary_link", 40},
        {"tertiary", 50},  {"tertiary_link", 30}, {"unclassified", 40}, {"residential", 30},
        {"living_street", 15}, {"road", 30}};
    if (highway == nullptr) return 0.0;
    for (const auto& [name, kmh] : speeds)
        if (std::strcmp(name, highway) == 0) return kmh;
    return 0.0;
}

// Deterministic on every platform: the standard distributions are not.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint64_t next() {  // splitmix64
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return (next() >> 11) * 0x1.0p-53; }
    double uniform(double a, double b) { return a + (b - a) * uniform(); }
    int index(int n) { return static_cast<int>(uniform() * n) % n; }
    double normal() {  // Box-Muller
        const double u = std::max(uniform(), 1e-300), v = uniform();
        return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * M_PI * v);
    }

private:
    std::uint64_t state_;
};

}  // namespace

bool RoadNetwork::load(const QString& osmPath, QString* error) {
    GDALAllRegister();
    const QByteArray path = osmPath.toUtf8();
    const char* const drivers[] = {"OSM", nullptr};
    const std::unique_ptr<void, void (*)(void*)> ds(
        GDALOpenEx(path.constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers, nullptr, nullptr),
        [](void* d) { if (d) GDALClose(d); });
    if (!ds) {
        *error = QStringLiteral("cannot open %1").arg(osmPath);
        return false;
    }
    OGRLayerH lines = GDALDatasetGetLayerByName(ds.get(), "lines");
    if (lines == nullptr) {
        *error = QStringLiteral("%1 has no lines layer").arg(osmPath);
        return false;
    }
    const int highwayField = OGR_FD_GetFieldIndex(OGR_L_GetLayerDefn(lines), "highway");
    if (highwayField < 0) {
        *error = QStringLiteral("%1 has no highway field").arg(osmPath);
        return false;
    }

    struct Way {
        std::vector<std::pair<double, double>> lonLat;
        double limitMps;
    };
    std::vector<Way> ways;
    double sumLat = 0;
    long count = 0;
    OGR_L_ResetReading(lines);
    while (OGRFeatureH f = OGR_L_GetNextFeature(lines)) {
        const double kmh = OGR_F_IsFieldSetAndNotNull(f, highwayField)
                               ? classSpeedKmh(OGR_F_GetFieldAsString(f, highwayField))
                               : 0.0;
        OGRGeometryH g = OGR_F_GetGeometryRef(f);
        if (kmh > 0 && g != nullptr && OGR_G_GetPointCount(g) >= 2) {
            Way w;
            w.limitMps = kmh / 3.6;
            for (int i = 0; i < OGR_G_GetPointCount(g); ++i) {
                w.lonLat.emplace_back(OGR_G_GetX(g, i), OGR_G_GetY(g, i));
                sumLat += OGR_G_GetY(g, i);
                ++count;
            }
            ways.push_back(std::move(w));
        }
        OGR_F_Destroy(f);
    }
    if (ways.empty()) {
        *error = QStringLiteral("%1 has no roads").arg(osmPath);
        return false;
    }
    originLat_ = sumLat / count;
    originLon_ = ways.front().lonLat.front().first;
    metresPerDegLon_ = MetresPerDegLat * std::cos(originLat_ * M_PI / 180.0);

    // Ways meet where they share an OpenStreetMap node, which comes out as the same coordinates.
    std::unordered_map<std::uint64_t, int> nodeOf;
    auto node = [&](double lon, double lat) {
        const std::uint64_t key = (std::uint64_t(std::llround(lon * 1e7) + (1ll << 31)) << 32) ^
                                  std::uint64_t(std::llround(lat * 1e7) + (1ll << 31));
        auto [it, added] = nodeOf.emplace(key, static_cast<int>(x_.size()));
        if (added) {
            x_.push_back((lon - originLon_) * metresPerDegLon_);
            y_.push_back((lat - originLat_) * MetresPerDegLat);
            edges_.emplace_back();
        }
        return it->second;
    };
    for (const Way& w : ways) {
        int prev = node(w.lonLat[0].first, w.lonLat[0].second);
        for (size_t i = 1; i < w.lonLat.size(); ++i) {
            const int cur = node(w.lonLat[i].first, w.lonLat[i].second);
            if (cur == prev) continue;
            const double m = std::hypot(x_[cur] - x_[prev], y_[cur] - y_[prev]);
            edges_[prev].push_back({cur, m, w.limitMps});
            edges_[cur].push_back({prev, m, w.limitMps});
            prev = cur;
        }
    }

    // The largest connected part: routes between any two of its nodes exist.
    std::vector<int> part(x_.size(), -1);
    int best = -1;
    size_t bestSize = 0;
    for (int start = 0; start < nodeCount(); ++start) {
        if (part[start] >= 0) continue;
        std::vector<int> members{start};
        part[start] = start;
        for (size_t k = 0; k < members.size(); ++k)
            for (const Edge& e : edges_[members[k]])
                if (part[e.to] < 0) {
                    part[e.to] = start;
                    members.push_back(e.to);
                }
        if (members.size() > bestSize) {
            bestSize = members.size();
            best = start;
            reachable_ = std::move(members);
        }
    }
    if (best < 0 || bestSize < 100) {
        *error = QStringLiteral("%1 has no connected road network").arg(osmPath);
        return false;
    }
    std::sort(reachable_.begin(), reachable_.end());
    return true;
}

class Driver {
public:
    Driver(const RoadNetwork& roads, const Options& options) : n_(roads), o_(options), rng_(options.seed) {}

    std::vector<Sample> run() {
        out_.reserve(o_.seconds);
        int at = n_.reachable_[rng_.index(static_cast<int>(n_.reachable_.size()))];
        double sinceLongStop = 0, nextLongStop = rng_.uniform(3600, 9000);
        while (static_cast<int>(out_.size()) < o_.seconds) {
            const int to = destination(at);
            const std::vector<int> path = route(at, to);
            if (path.size() < 2) {
                at = to;
                continue;
            }
            const double before = static_cast<double>(out_.size());
            drivePath(path);
            at = path.back();
            sinceLongStop += out_.size() - before;
            if (sinceLongStop > nextLongStop) {
                stand(at, rng_.uniform(180, 1500));  // shorter than the half hour that ends a trip
                sinceLongStop = 0;
                nextLongStop = rng_.uniform(3600, 9000);
            } else if (rng_.uniform() < 0.7) {
                stand(at, rng_.uniform(3, 60));
            }
        }
        out_.resize(o_.seconds);
        return std::move(out_);
    }

private:
    // A place 1.5 to 12 km away as the crow flies, else anywhere.
    int destination(int from) {
        for (int tries = 0; tries < 50; ++tries) {
            const int c = n_.reachable_[rng_.index(static_cast<int>(n_.reachable_.size()))];
            const double d = std::hypot(n_.x_[c] - n_.x_[from], n_.y_[c] - n_.y_[from]);
            if (d > 1500 && d < 12000) return c;
        }
        return n_.reachable_[rng_.index(static_cast<int>(n_.reachable_.size()))];
    }

    // Quickest path by the roads' usual speeds (Dijkstra, stopping at the destination).
    std::vector<int> route(int from, int to) {
        const int n = n_.nodeCount();
        dist_.assign(n, INFINITY);
        prev_.assign(n, -1);
        using Item = std::pair<double, int>;
        std::priority_queue<Item, std::vector<Item>, std::greater<>> open;
        dist_[from] = 0;
        open.push({0.0, from});
        while (!open.empty()) {
            const auto [d, v] = open.top();
            open.pop();
            if (d > dist_[v]) continue;
            if (v == to) break;
            for (const RoadNetwork::Edge& e : n_.edges_[v]) {
                const double nd = d + e.metres / e.limitMps;
                if (nd < dist_[e.to]) {
                    dist_[e.to] = nd;
                    prev_[e.to] = v;
                    open.push({nd, e.to});
                }
            }
        }
        std::vector<int> path;
        if (prev_[to] < 0 && to != from) return path;
        for (int v = to; v >= 0; v = prev_[v]) path.push_back(v);
        std::reverse(path.begin(), path.end());
        return path;
    }

    double edgeLimit(int a, int b) const {
        for (const RoadNetwork::Edge& e : n_.edges_[a])
            if (e.to == b) return e.limitMps;
        return 8.0;
    }

    // Along the path with the speed each stretch allows: the road's speed times the driver's
    // manner, slower into bends and junctions, accelerating at 1.5 m/s2 and braking at 2.5 m/s2,
    // from a standstill to a standstill.
    void drivePath(const std::vector<int>& path) {
        const size_t k = path.size();
        const double manner = rng_.uniform(0.85, 1.05);
        std::vector<double> len(k - 1), limit(k - 1), vmax(k, 0.0), along(k, 0.0);
        for (size_t i = 0; i + 1 < k; ++i) {
            len[i] = std::hypot(n_.x_[path[i + 1]] - n_.x_[path[i]], n_.y_[path[i + 1]] - n_.y_[path[i]]);
            limit[i] = edgeLimit(path[i], path[i + 1]) * manner;
            along[i + 1] = along[i] + len[i];
        }
        for (size_t i = 1; i + 1 < k; ++i) {
            const double a1 = std::atan2(n_.y_[path[i]] - n_.y_[path[i - 1]], n_.x_[path[i]] - n_.x_[path[i - 1]]);
            const double a2 = std::atan2(n_.y_[path[i + 1]] - n_.y_[path[i]], n_.x_[path[i + 1]] - n_.x_[path[i]]);
            double turn = std::fabs(a2 - a1);
            if (turn > M_PI) turn = 2 * M_PI - turn;
            const double bend = std::clamp(1.0 - turn / (M_PI / 2) * 0.8, 0.15, 1.0);
            vmax[i] = std::min(limit[i - 1], limit[i]) * bend;
        }
        constexpr double accel = 1.5, brake = 2.5;
        for (size_t i = 1; i < k; ++i) vmax[i] = std::min(vmax[i], std::sqrt(vmax[i - 1] * vmax[i - 1] + 2 * accel * len[i - 1]));
        for (size_t i = k - 1; i-- > 0;) vmax[i] = std::min(vmax[i], std::sqrt(vmax[i + 1] * vmax[i + 1] + 2 * brake * len[i]));

        double s = 0;
        size_t seg = 0;
        const double total = along[k - 1];
        while (s < total && static_cast<int>(out_.size()) < o_.seconds) {
            while (seg + 2 < k && s >= along[seg + 1]) ++seg;
            const double into = s - along[seg];
            double v = std::min({limit[seg], std::sqrt(vmax[seg] * vmax[seg] + 2 * accel * into),
                                 std::sqrt(vmax[seg + 1] * vmax[seg + 1] + 2 * brake * std::max(0.0, len[seg] - into))});
            const double f = len[seg] > 0 ? into / len[seg] : 0.0;
            const int a = path[seg], b = path[seg + 1];
            record(n_.x_[a] + (n_.x_[b] - n_.x_[a]) * f, n_.y_[a] + (n_.y_[b] - n_.y_[a]) * f, v);
            s += std::max(v, 0.7);
        }
    }

    void stand(int at, double seconds) {
        for (int i = 0; i < static_cast<int>(seconds) && static_cast<int>(out_.size()) < o_.seconds; ++i)
            record(n_.x_[at], n_.y_[at], 0.0);
    }

    // A sample with the receiver's error: per axis a slow random wander (about two minutes).
    void record(double x, double y, double mps) {
        const double rho = std::exp(-1.0 / 120.0), kick = o_.noiseMetres * std::sqrt(1 - rho * rho);
        noiseX_ = rho * noiseX_ + kick * rng_.normal();
        noiseY_ = rho * noiseY_ + kick * rng_.normal();
        Sample s;
        s.lon = n_.originLon_ + (x + noiseX_) / n_.metresPerDegLon_;
        s.lat = n_.originLat_ + (y + noiseY_) / MetresPerDegLat;
        s.speedKmh = mps * 3.6;
        out_.push_back(s);
    }

    const RoadNetwork& n_;
    const Options o_;
    Random rng_;
    std::vector<Sample> out_;
    std::vector<double> dist_;
    std::vector<int> prev_;
    double noiseX_ = 0, noiseY_ = 0;
};

std::vector<Sample> drive(const RoadNetwork& roads, const Options& options) { return Driver(roads, options).run(); }

bool writeGpx(const QString& path, const std::vector<Sample>& samples, std::int64_t startUtc, QString* error) {
    const QByteArray name = path.toUtf8();
    std::FILE* f = std::fopen(name.constData(), "wb");
    if (f == nullptr) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    std::vector<char> buffer(1 << 20);
    std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
    std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<gpx version=\"1.1\" creator=\"road drive\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
               " <trk>\n  <name>Drive</name>\n  <trkseg>\n",
               f);
    for (size_t i = 0; i < samples.size(); ++i) {
        const std::time_t t = static_cast<std::time_t>(startUtc + static_cast<std::int64_t>(i));
        std::tm utc{};
        gmtime_r(&t, &utc);
        std::fprintf(f,
                     "   <trkpt lat=\"%.7f\" lon=\"%.7f\">\n    <time>%04d-%02d-%02dT%02d:%02d:%02dZ</time>\n   </trkpt>\n",
                     samples[i].lat, samples[i].lon, utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour,
                     utc.tm_min, utc.tm_sec);
    }
    std::fputs("  </trkseg>\n </trk>\n</gpx>\n", f);
    const bool ok = std::ferror(f) == 0;
    if (std::fclose(f) != 0 || !ok) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

}  // namespace roaddrive
