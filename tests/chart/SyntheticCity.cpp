#include "SyntheticCity.h"

#include <gdal_priv.h>
#include <gdal_utils.h>

#include <QFile>
#include <QStringList>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

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

const char* const kGenitive[] = {"Ленина",  "Гагарина",  "Пушкина",  "Мира",     "Кирова",   "Чехова",
                                 "Горького", "Лермонтова", "Толстого", "Некрасова", "Чапаева",  "Суворова",
                                 "Кутузова", "Победы",    "Фрунзе",   "Строителей", "Матросова", "Есенина",
                                 "Королёва", "Циолковского"};
const char* const kAdjective[] = {"Садовая",  "Лесная",   "Школьная", "Советская", "Молодёжная", "Центральная",
                                  "Заречная", "Полевая",  "Солнечная", "Речная",   "Зелёная",    "Луговая",
                                  "Парковая", "Новая",    "Рабочая",   "Заводская", "Вокзальная", "Берёзовая",
                                  "Сиреневая", "Озёрная"};
const char* const kSuburbs[] = {"Заречье", "Северный", "Слобода", "Южный", "Нагорный", "Луговой", "Восточный", "Старый город"};

class Builder {
public:
    Builder(const SyntheticCity::Options& o) : o_(o), rng_(o.seed) {
        lat0_ = o.centreLonLat.y();
        lon0_ = o.centreLonLat.x();
        mPerDegLon_ = 111320.0 * std::cos(lat0_ * M_PI / 180.0);
    }

    long node(double x, double y, Tags tags = {}) {
        nodes_.push_back({x, y, std::move(tags)});
        return static_cast<long>(nodes_.size());
    }
    long way(std::vector<long> n, Tags tags) {
        ways_.push_back({std::move(n), std::move(tags)});
        return static_cast<long>(ways_.size());
    }
    double uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng_); }

    // The warped grid position of intersection (i, j), in metres from the centre.
    QPointF gridPoint(int i, int j) {
        const double b = o_.blockMetres;
        double x = (i - o_.blocksX / 2.0) * b;
        double y = (j - o_.blocksY / 2.0) * b;
        const double wx = 0.35 * b * std::sin(y / 1900.0) + 0.2 * b * std::sin(x / 1300.0 + 1.0);
        const double wy = 0.3 * b * std::sin(x / 2300.0) + 0.15 * b * std::cos(y / 900.0);
        return {x + wx, y + wy};
    }
    double riverY(double x) const { return 0.18 * o_.blocksY * o_.blockMetres * std::sin(x / 3100.0) - 0.12 * o_.blocksY * o_.blockMetres; }

    void build();
    bool write(const QString& path) const;

private:
    struct Node {
        double x, y;
        Tags tags;
    };
    void streets();
    void blocks();
    void water();
    void railways();
    void places();
    void block(int i, int j);
    std::string streetName(bool horizontal, int index, const std::string& kind);

    const SyntheticCity::Options& o_;
    std::mt19937 rng_;
    double lat0_, lon0_, mPerDegLon_;
    std::vector<Node> nodes_;
    std::vector<Way> ways_;
    std::vector<Relation> relations_;
    std::vector<std::vector<long>> grid_;  // intersection node ids
};

std::string Builder::streetName(bool horizontal, int index, const std::string& kind) {
    const int n = 20;
    const int round = index / n;
    std::string base = horizontal ? kGenitive[index % n] : kAdjective[index % n];
    std::string prefix = round > 0 ? std::to_string(round + 1) + "-я " : "";
    if (kind == "primary") return "проспект " + std::string(kGenitive[(index * 7) % n]);
    if (horizontal) return prefix + "улица " + base;
    return prefix + base + " улица";
}

void Builder::streets() {
    grid_.assign(static_cast<size_t>(o_.blocksX + 1), std::vector<long>(static_cast<size_t>(o_.blocksY + 1), 0));
    for (int i = 0; i <= o_.blocksX; ++i)
        for (int j = 0; j <= o_.blocksY; ++j) {
            QPointF p = gridPoint(i, j);
            p += QPointF(uniform(-0.06, 0.06) * o_.blockMetres, uniform(-0.06, 0.06) * o_.blockMetres);
            grid_[static_cast<size_t>(i)][static_cast<size_t>(j)] = node(p.x(), p.y());
        }
    auto kindOf = [](int k, int count) -> std::string {
        if (k == 0 || k == count) return "tertiary";
        if (k % 10 == 5) return "primary";
        if (k % 5 == 0) return "secondary";
        if (k % 3 == 0) return "tertiary";
        return "residential";
    };
    constexpr int chunk = 5;  // blocks per way, like real streets split at junctions and changes
    for (int j = 0; j <= o_.blocksY; ++j) {
        const std::string kind = kindOf(j, o_.blocksY);
        const std::string name = streetName(true, j, kind);
        for (int i0 = 0; i0 < o_.blocksX; i0 += chunk) {
            std::vector<long> nodes;
            for (int i = i0; i <= std::min(i0 + chunk, o_.blocksX); ++i) nodes.push_back(grid_[static_cast<size_t>(i)][static_cast<size_t>(j)]);
            Tags tags{{"highway", kind}, {"name", name}, {"surface", "asphalt"}};
            if (kind != "residential") tags.push_back({"maxspeed", "60"});
            way(nodes, tags);
        }
    }
    for (int i = 0; i <= o_.blocksX; ++i) {
        const std::string kind = kindOf(i, o_.blocksX);
        const std::string name = streetName(false, i, kind);
        for (int j0 = 0; j0 < o_.blocksY; j0 += chunk) {
            std::vector<long> nodes;
            for (int j = j0; j <= std::min(j0 + chunk, o_.blocksY); ++j) nodes.push_back(grid_[static_cast<size_t>(i)][static_cast<size_t>(j)]);
            way(nodes, {{"highway", kind}, {"name", name}, {"lanes", "2"}});
        }
    }
    // A trunk ring road round the town and a motorway past it.
    const double rx = (o_.blocksX / 2.0 + 3) * o_.blockMetres, ry = (o_.blocksY / 2.0 + 3) * o_.blockMetres;
    std::vector<long> ring;
    for (int k = 0; k < 120; ++k) {
        const double a = 2 * M_PI * k / 120.0;
        ring.push_back(node(rx * std::cos(a) * (1 + 0.03 * std::sin(5 * a)), ry * std::sin(a)));
    }
    ring.push_back(ring.front());
    way(ring, {{"highway", "trunk"}, {"name", "Объездное шоссе"}, {"ref", "Р-240"}});
    std::vector<long> motorway;
    for (int k = 0; k <= 60; ++k) {
        const double x = -2.2 * rx + k * 4.4 * rx / 60.0;
        motorway.push_back(node(x, -1.35 * ry + 0.1 * ry * std::sin(x / 4000.0)));
    }
    way(motorway, {{"highway", "motorway"}, {"name", "трасса М-7"}, {"ref", "М-7"}});
}

void Builder::block(int i, int j) {
    const auto id = [&](int a, int b) { return grid_[static_cast<size_t>(a)][static_cast<size_t>(b)]; };
    // Copies: adding nodes below moves the node array.
    QPointF corner[4];
    const long ids[4] = {id(i, j), id(i + 1, j), id(i + 1, j + 1), id(i, j + 1)};
    for (int k = 0; k < 4; ++k) corner[k] = QPointF(nodes_[static_cast<size_t>(ids[k] - 1)].x, nodes_[static_cast<size_t>(ids[k] - 1)].y);
    const QPointF* c[4] = {&corner[0], &corner[1], &corner[2], &corner[3]};
    const double cxm = (c[0]->x() + c[1]->x() + c[2]->x() + c[3]->x()) / 4, cym = (c[0]->y() + c[1]->y() + c[2]->y() + c[3]->y()) / 4;
    // Bilinear position inside the block, u and v in 0..1.
    auto at = [&](double u, double v) {
        const double x = (1 - u) * (1 - v) * c[0]->x() + u * (1 - v) * c[1]->x() + u * v * c[2]->x() + (1 - u) * v * c[3]->x();
        const double y = (1 - u) * (1 - v) * c[0]->y() + u * (1 - v) * c[1]->y() + u * v * c[2]->y() + (1 - u) * v * c[3]->y();
        return QPointF(x, y);
    };
    auto area = [&](double u0, double v0, double u1, double v1, Tags tags) {
        const QPointF p[4] = {at(u0, v0), at(u1, v0), at(u1, v1), at(u0, v1)};
        std::vector<long> n;
        for (const QPointF& q : p) n.push_back(node(q.x(), q.y()));
        n.push_back(n.front());
        way(n, std::move(tags));
    };
    const double halfW = o_.blocksX * o_.blockMetres / 2, halfH = o_.blocksY * o_.blockMetres / 2;
    const double r = std::hypot(cxm / halfW, cym / halfH);
    if (std::abs(cym - riverY(cxm)) < o_.blockMetres * 0.9) {
        area(0.06, 0.06, 0.94, 0.94, {{"landuse", "grass"}});
        return;
    }
    const double dice = uniform(0, 1);
    if (r > 0.92) {
        area(0.05, 0.05, 0.95, 0.95, {{dice < 0.6 ? "landuse" : "natural", dice < 0.6 ? "farmland" : "wood"}});
        return;
    }
    if (r > 0.82 && dice < 0.5) {
        area(0.05, 0.05, 0.95, 0.95, {{"landuse", "forest"}});
        return;
    }
    if (dice < 0.05) {
        const bool named = dice < 0.025;
        Tags tags{{"leisure", "park"}};
        if (named) tags.push_back({"name", "парк " + std::string(kGenitive[(i * 3 + j) % 20])});
        area(0.05, 0.05, 0.95, 0.95, tags);
        const QPointF a = at(0.05, 0.05), b = at(0.95, 0.95), d = at(0.05, 0.95), e = at(0.95, 0.05);
        way({node(a.x(), a.y()), node(b.x(), b.y())}, {{"highway", "footway"}});
        way({node(d.x(), d.y()), node(e.x(), e.y())}, {{"highway", "footway"}});
        return;
    }
    if (dice < 0.06) {
        area(0.05, 0.05, 0.95, 0.95, {{"landuse", "cemetery"}});
        return;
    }
    const bool industrial = cxm > halfW * 0.35 && cym < -halfH * 0.2;
    const bool centre = r < 0.22;
    area(0.04, 0.04, 0.96, 0.96, {{"landuse", industrial ? "industrial" : centre ? "commercial" : "residential"}});
    const int n = industrial ? 2 : o_.buildingsPerSide;
    const double cell = 0.84 / n;
    int house = 1;
    for (int a = 0; a < n; ++a)
        for (int b = 0; b < n; ++b) {
            if (uniform(0, 1) < 0.12) continue;
            const double u0 = 0.08 + a * cell + cell * uniform(0.08, 0.18), v0 = 0.08 + b * cell + cell * uniform(0.08, 0.18);
            const double u1 = 0.08 + (a + 1) * cell - cell * uniform(0.08, 0.2), v1 = 0.08 + (b + 1) * cell - cell * uniform(0.08, 0.2);
            Tags tags{{"building", industrial ? "industrial" : centre ? "commercial" : (uniform(0, 1) < 0.5 ? "apartments" : "yes")},
                      {"addr:housenumber", std::to_string(house++)}};
            if (uniform(0, 1) < 0.3) tags.push_back({"building:levels", std::to_string(2 + (a + b) % 9)});
            area(u0, v0, u1, v1, tags);
        }
    if (!industrial && uniform(0, 1) < 0.3) {
        const QPointF a = at(0.0, 0.5), b = at(0.5, 0.52), d = at(0.5, 0.9);
        way({node(a.x(), a.y()), node(b.x(), b.y()), node(d.x(), d.y())}, {{"highway", "service"}});
    }
    if (industrial && uniform(0, 1) < 0.4) area(0.55, 0.55, 0.92, 0.92, {{"amenity", "parking"}});
}

void Builder::blocks() {
    for (int i = 0; i < o_.blocksX; ++i)
        for (int j = 0; j < o_.blocksY; ++j) block(i, j);
}

void Builder::water() {
    const double x0 = -(o_.blocksX / 2.0 + 8) * o_.blockMetres, x1 = -x0;
    std::vector<long> centre, bankN, bankS;
    const int steps = 240;
    for (int k = 0; k <= steps; ++k) {
        const double x = x0 + (x1 - x0) * k / steps;
        const double y = riverY(x);
        centre.push_back(node(x, y));
        bankN.push_back(node(x, y + 55 + 10 * std::sin(x / 300.0)));
        bankS.push_back(node(x, y - 55 - 10 * std::cos(x / 270.0)));
    }
    way(centre, {{"waterway", "river"}, {"name", "река Ормань"}});
    std::vector<long> bank = bankN;
    bank.insert(bank.end(), bankS.rbegin(), bankS.rend());
    bank.push_back(bank.front());
    way(bank, {{"natural", "water"}, {"water", "river"}});
    // A lake with an island, as a multipolygon relation, north-west of the centre.
    const double lx = -0.3 * o_.blocksX * o_.blockMetres, ly = 0.3 * o_.blocksY * o_.blockMetres;
    std::vector<long> outer, inner;
    for (int k = 0; k < 48; ++k) {
        const double a = 2 * M_PI * k / 48;
        outer.push_back(node(lx + 900 * std::cos(a) * (1 + 0.15 * std::sin(3 * a)), ly + 520 * std::sin(a)));
        inner.push_back(node(lx + 150 + 160 * std::cos(a), ly + 90 * std::sin(a)));
    }
    outer.push_back(outer.front());
    inner.push_back(inner.front());
    const long o = way(outer, {});
    const long in = way(inner, {});
    relations_.push_back({o, in, {{"type", "multipolygon"}, {"natural", "water"}, {"name", "озеро Светлое"}}});
    // A stream through the forest in the south-west.
    std::vector<long> stream;
    for (int k = 0; k <= 40; ++k) {
        const double t = k / 40.0;
        stream.push_back(node(x0 * (0.95 - 0.4 * t), -0.45 * o_.blocksY * o_.blockMetres + 400 * std::sin(t * 7)));
    }
    way(stream, {{"waterway", "stream"}, {"name", "ручей Быстрый"}});
}

void Builder::railways() {
    const double ext = (o_.blocksX / 2.0 + 10) * o_.blockMetres;
    std::vector<long> rail;
    for (int k = 0; k <= 80; ++k) {
        const double x = -ext + 2 * ext * k / 80.0;
        rail.push_back(node(x, 0.55 * x + 300 * std::sin(x / 2500.0)));
    }
    way(rail, {{"railway", "rail"}, {"name", "Транссибирская магистраль"}, {"gauge", "1520"}});
    // A tram line along the first primary street.
    std::vector<long> tram;
    for (int i = 0; i <= o_.blocksX; ++i) {
        const QPointF p = gridPoint(i, 5) + QPointF(0, 6);
        tram.push_back(node(p.x(), p.y()));
    }
    way(tram, {{"railway", "tram"}});
}

void Builder::places() {
    node(0, 0, {{"place", "city"}, {"name", SyntheticCity::cityName().toStdString()}, {"population", "350000"}});
    const double hx = o_.blocksX * o_.blockMetres / 2, hy = o_.blocksY * o_.blockMetres / 2;
    for (int k = 0; k < 8; ++k) {
        const double a = 2 * M_PI * k / 8 + 0.3;
        node(0.55 * hx * std::cos(a), 0.55 * hy * std::sin(a), {{"place", "suburb"}, {"name", kSuburbs[k]}});
    }
    for (int k = 0; k < 24; ++k) {
        const double a = 2 * M_PI * k / 24, rr = (k % 2 ? 0.35 : 0.78);
        node(rr * hx * std::cos(a), rr * hy * std::sin(a),
             {{"place", "neighbourhood"}, {"name", "микрорайон " + std::to_string(k + 1) + "-й"}});
    }
}

void Builder::build() {
    streets();
    blocks();
    water();
    railways();
    places();
}

std::string xmlEscape(const std::string& s) {
    std::string out;
    for (char ch : s) {
        switch (ch) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += ch;
        }
    }
    return out;
}

void writeTags(std::FILE* f, const Tags& tags) {
    for (const auto& [k, v] : tags)
        std::fprintf(f, "  <tag k=\"%s\" v=\"%s\"/>\n", xmlEscape(k).c_str(), xmlEscape(v).c_str());
}

bool Builder::write(const QString& path) const {
    std::FILE* f = std::fopen(QFile::encodeName(path).constData(), "w");
    if (f == nullptr) return false;
    std::fprintf(f, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osm version=\"0.6\" generator=\"telvika-synthetic\">\n");
    for (size_t k = 0; k < nodes_.size(); ++k) {
        const Node& n = nodes_[k];
        const double lat = lat0_ + n.y / 110540.0, lon = lon0_ + n.x / mPerDegLon_;
        if (n.tags.empty()) {
            std::fprintf(f, "<node id=\"%zu\" lat=\"%.7f\" lon=\"%.7f\"/>\n", k + 1, lat, lon);
        } else {
            std::fprintf(f, "<node id=\"%zu\" lat=\"%.7f\" lon=\"%.7f\">\n", k + 1, lat, lon);
            writeTags(f, n.tags);
            std::fprintf(f, "</node>\n");
        }
    }
    for (size_t k = 0; k < ways_.size(); ++k) {
        std::fprintf(f, "<way id=\"%zu\">\n", k + 1);
        for (long n : ways_[k].nodes) std::fprintf(f, "  <nd ref=\"%ld\"/>\n", n);
        writeTags(f, ways_[k].tags);
        std::fprintf(f, "</way>\n");
    }
    for (size_t k = 0; k < relations_.size(); ++k) {
        std::fprintf(f, "<relation id=\"%zu\">\n  <member type=\"way\" ref=\"%ld\" role=\"outer\"/>\n"
                        "  <member type=\"way\" ref=\"%ld\" role=\"inner\"/>\n",
                     k + 1, relations_[k].outer, relations_[k].inner);
        writeTags(f, relations_[k].tags);
        std::fprintf(f, "</relation>\n");
    }
    std::fprintf(f, "</osm>\n");
    return std::fclose(f) == 0;
}

}  // namespace

SyntheticCity::SyntheticCity() = default;
SyntheticCity::SyntheticCity(const Options& options) : options_(options) {}

QString SyntheticCity::cityName() { return QStringLiteral("Новоград"); }

bool SyntheticCity::writeOsm(const QString& path, QString* error) const {
    Builder b(options_);
    b.build();
    if (!b.write(path)) {
        if (error) *error = "cannot write " + path;
        return false;
    }
    return true;
}

bool SyntheticCity::convertToChart(const QString& osmPath, const QString& chartPath, QString* error) {
    GDALAllRegister();
    QFile::remove(chartPath);
    const char* const osmOnly[] = {"OSM", nullptr};
    GDALDatasetH src = GDALOpenEx(osmPath.toUtf8().constData(), GDAL_OF_VECTOR, osmOnly, nullptr, nullptr);
    if (src == nullptr) {
        if (error) *error = "GDAL cannot open " + osmPath;
        return false;
    }
    char* args[] = {const_cast<char*>("-f"), const_cast<char*>("GPKG"), nullptr};
    GDALVectorTranslateOptions* opts = GDALVectorTranslateOptionsNew(args, nullptr);
    int usageError = 0;
    CPLPushErrorHandler(CPLQuietErrorHandler);  // the .chart extension warning
    GDALDatasetH out = GDALVectorTranslate(chartPath.toUtf8().constData(), nullptr, 1, &src, opts, &usageError);
    CPLPopErrorHandler();
    GDALVectorTranslateOptionsFree(opts);
    GDALClose(src);
    if (out == nullptr) {
        if (error) *error = "GDALVectorTranslate failed: " + QString::fromUtf8(CPLGetLastErrorMsg());
        return false;
    }
    GDALClose(out);
    return true;
}

bool SyntheticCity::writeChart(const QString& chartPath, QString* error) const {
    const QString osm = chartPath + ".osm";
    return writeOsm(osm, error) && convertToChart(osm, chartPath, error);
}
