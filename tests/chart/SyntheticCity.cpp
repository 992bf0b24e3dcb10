#include "SyntheticCity.h"

#include "SyntheticCityBuilder.h"

#include <gdal_priv.h>
#include <gdal_utils.h>

#include <QFile>
#include <QStringList>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace synthetic {

const char* const kGenitive[] = {"Ленина",  "Гагарина",  "Пушкина",  "Мира",     "Кирова",   "Чехова",
                                 "Горького", "Лермонтова", "Толстого", "Некрасова", "Чапаева",  "Суворова",
                                 "Кутузова", "Победы",    "Фрунзе",   "Строителей", "Матросова", "Есенина",
                                 "Королёва", "Циолковского"};
const char* const kAdjective[] = {"Садовая",  "Лесная",   "Школьная", "Советская", "Молодёжная", "Центральная",
                                  "Заречная", "Полевая",  "Солнечная", "Речная",   "Зелёная",    "Луговая",
                                  "Парковая", "Новая",    "Рабочая",   "Заводская", "Вокзальная", "Берёзовая",
                                  "Сиреневая", "Озёрная"};
const char* const kSuburbs[] = {"Заречье", "Северный", "Слобода", "Южный", "Нагорный", "Луговой", "Восточный", "Старый город"};

Builder::Builder(const SyntheticCity::Options& o) : o_(o), rng_(o.seed) {
    lat0_ = o.centreLonLat.y();
    lon0_ = o.centreLonLat.x();
    mPerDegLon_ = 111320.0 * std::cos(lat0_ * M_PI / 180.0);
    layout();
}

long Builder::ring(const std::vector<QPointF>& points, Tags tags) {
    std::vector<long> n;
    for (const QPointF& p : points) n.push_back(node(p));
    n.push_back(n.front());
    return way(std::move(n), std::move(tags));
}

QPointF Builder::gridPoint(int i, int j) const {
    const double b = o_.blockMetres;
    const double x = colX_[static_cast<size_t>(i)];
    const double y = rowY_[static_cast<size_t>(j)];
    const double wx = 0.35 * b * std::sin(y / 1900.0) + 0.2 * b * std::sin(x / 1300.0 + 1.0);
    const double wy = 0.3 * b * std::sin(x / 2300.0) + 0.15 * b * std::cos(y / 900.0);
    return {x + wx, y + wy};
}

Builder::Quad Builder::quad(int i, int j) const {
    const auto at = [&](int a, int b) {
        const Node& n = nodes_[static_cast<size_t>(grid_[static_cast<size_t>(a)][static_cast<size_t>(b)] - 1)];
        return QPointF(n.x, n.y);
    };
    return Quad{{at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)}};
}

QPointF Builder::Quad::at(double u, double v) const {
    const double x = (1 - u) * (1 - v) * c[0].x() + u * (1 - v) * c[1].x() + u * v * c[2].x() + (1 - u) * v * c[3].x();
    const double y = (1 - u) * (1 - v) * c[0].y() + u * (1 - v) * c[1].y() + u * v * c[2].y() + (1 - u) * v * c[3].y();
    return QPointF(x, y);
}

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
    const double shift = o_.crooked * o_.blockMetres;
    for (int i = 0; i <= o_.blocksX; ++i)
        for (int j = 0; j <= o_.blocksY; ++j) {
            QPointF p = gridPoint(i, j);
            p += QPointF(uniform(-shift, shift), uniform(-shift, shift));
            grid_[static_cast<size_t>(i)][static_cast<size_t>(j)] = node(p.x(), p.y());
        }
    auto kindOf = [this](int k, int count) -> std::string {
        if (o_.shortStreets) return oldTownKind(k, count);
        if (k == 0 || k == count) return "tertiary";
        if (k % 10 == 5) return "primary";
        if (k % 5 == 0) return "secondary";
        if (k % 3 == 0) return "tertiary";
        return "residential";
    };
    // Short streets keep one name along a major road only; the other streets change their name
    // every few ways, and some of their ways are narrow lanes or pedestrian streets instead.
    int waysNamed = 0;
    std::string shortName;
    auto street = [&](std::vector<long> nodes, const std::string& kind, const std::string& lineName, bool lineStart,
                      bool horizontal) {
        std::string name = lineName, highway = kind;
        const Node& middle = nodes_[static_cast<size_t>(nodes[nodes.size() / 2] - 1)];
        const bool core = inCore(QPointF(middle.x, middle.y));
        if (o_.shortStreets && kind != "primary" && kind != "secondary") {
            // No street runs along in the river; streets across it are its bridges.
            if (horizontal)
                for (long id : nodes) {
                    const Node& n = nodes_[static_cast<size_t>(id - 1)];
                    if (std::abs(n.y - riverY(n.x)) < 70) return;
                }
            if (lineStart || waysNamed >= o_.waysPerName) {
                shortName = oldTownStreetName();
                waysNamed = 0;
            }
            ++waysNamed;
            name = shortName;
            const double dice = kind == "residential" ? uniform(0, 1) : 1.0;
            if (dice < o_.alleyShare / 2) {
                way(core ? streetNodes(nodes) : std::move(nodes), {{"highway", "service"}, {"service", "alley"}});
                return;
            }
            if (dice < o_.alleyShare) highway = "pedestrian";
        }
        if (core) nodes = streetNodes(nodes);
        if (core && o_.sidewalks && highway != "pedestrian") sidewalks(nodes);
        Tags tags{{"highway", highway}, {"name", name}};
        if (horizontal) tags.push_back({"surface", "asphalt"});
        if (horizontal && kind != "residential") tags.push_back({"maxspeed", "60"});
        if (!horizontal) tags.push_back({"lanes", "2"});
        way(std::move(nodes), std::move(tags));
    };
    const int chunk = std::max(1, o_.blocksPerWay);  // like real streets split at junctions and changes
    for (int j = 0; j <= o_.blocksY; ++j) {
        const std::string kind = kindOf(j, o_.blocksY);
        const std::string name = streetName(true, j, kind);
        for (int i0 = 0; i0 < o_.blocksX; i0 += chunk) {
            std::vector<long> nodes;
            for (int i = i0; i <= std::min(i0 + chunk, o_.blocksX); ++i) nodes.push_back(grid_[static_cast<size_t>(i)][static_cast<size_t>(j)]);
            street(std::move(nodes), kind, name, i0 == 0, true);
        }
    }
    for (int i = 0; i <= o_.blocksX; ++i) {
        const std::string kind = kindOf(i, o_.blocksX);
        const std::string name = streetName(false, i, kind);
        for (int j0 = 0; j0 < o_.blocksY; j0 += chunk) {
            std::vector<long> nodes;
            for (int j = j0; j <= std::min(j0 + chunk, o_.blocksY); ++j) nodes.push_back(grid_[static_cast<size_t>(i)][static_cast<size_t>(j)]);
            street(std::move(nodes), kind, name, j0 == 0, false);
        }
    }
    // A trunk ring road round the town and a motorway past it.
    const double rx = halfW_ + 3 * o_.blockMetres, ry = halfH_ + 3 * o_.blockMetres;
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
    const Quad q = quad(i, j);  // a copy: adding nodes below moves the node array
    const QPointF mid = q.at(0.5, 0.5);
    const double cxm = mid.x(), cym = mid.y();
    auto area = [&](double u0, double v0, double u1, double v1, Tags tags) {
        ring({q.at(u0, v0), q.at(u1, v0), q.at(u1, v1), q.at(u0, v1)}, std::move(tags));
    };
    const double r = std::hypot(cxm / halfW_, cym / halfH_);
    if (std::abs(cym - riverY(cxm)) < o_.blockMetres * 0.9) {
        area(0.06, 0.06, 0.94, 0.94, {{"landuse", "grass"}});
        return;
    }
    if (o_.perimeterBuildings && (inLake(cxm, cym) || squareBlock(i, j, q))) return;
    if (o_.perimeterBuildings && nearRailway(cxm, cym)) {
        area(0.04, 0.04, 0.96, 0.96, {{"landuse", "railway"}});
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
        way({node(q.at(0.05, 0.05)), node(q.at(0.95, 0.95))}, {{"highway", "footway"}});
        way({node(q.at(0.05, 0.95)), node(q.at(0.95, 0.05))}, {{"highway", "footway"}});
        return;
    }
    if (dice < 0.06) {
        area(0.05, 0.05, 0.95, 0.95, {{"landuse", "cemetery"}});
        return;
    }
    const bool industrial = cxm > halfW_ * 0.35 && cym < -halfH_ * 0.2;
    const bool centre = r < 0.22;
    area(0.04, 0.04, 0.96, 0.96, {{"landuse", industrial ? "industrial" : centre ? "commercial" : "residential"}});
    if (o_.perimeterBuildings && oldTownBlock(i, j)) {
        perimeterBlock(q, industrial ? "industrial" : centre ? "retail" : "apartments", centre);
        return;
    }
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
    if (!industrial && uniform(0, 1) < 0.3)
        way({node(q.at(0.0, 0.5)), node(q.at(0.5, 0.52)), node(q.at(0.5, 0.9))}, {{"highway", "service"}});
    if (industrial && uniform(0, 1) < 0.4) area(0.55, 0.55, 0.92, 0.92, {{"amenity", "parking"}});
}

void Builder::blocks() {
    for (int i = 0; i < o_.blocksX; ++i)
        for (int j = 0; j < o_.blocksY; ++j) block(i, j);
}

void Builder::water() {
    const double x0 = -(halfW_ + 8 * o_.blockMetres), x1 = -x0;
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
    const double lx = lakeCentre().x(), ly = lakeCentre().y();
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
        stream.push_back(node(x0 * (0.95 - 0.4 * t), -0.9 * halfH_ + 400 * std::sin(t * 7)));
    }
    way(stream, {{"waterway", "stream"}, {"name", "ручей Быстрый"}});
}

void Builder::railways() {
    const double ext = halfW_ + 10 * o_.blockMetres;
    std::vector<long> rail;
    for (int k = 0; k <= 80; ++k) {
        const double x = -ext + 2 * ext * k / 80.0;
        rail.push_back(node(x, railY(x)));
    }
    way(rail, {{"railway", "rail"}, {"name", "Транссибирская магистраль"}, {"gauge", "1520"}});
    // A tram line along the first primary street; in the old town down its middle, on the
    // street's own nodes.
    std::vector<long> tram;
    for (int i = 0; i <= o_.blocksX; ++i) {
        if (o_.shortStreets) {
            tram.push_back(grid_[static_cast<size_t>(i)][static_cast<size_t>(o_.blocksY / 2)]);
            continue;
        }
        const QPointF p = gridPoint(i, 5) + QPointF(0, 6);
        tram.push_back(node(p.x(), p.y()));
    }
    way(tram, {{"railway", "tram"}});
}

void Builder::places() {
    node(0, 0, {{"place", "city"}, {"name", SyntheticCity::cityName().toStdString()}, {"population", "350000"}});
    const double hx = halfW_, hy = halfH_;
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

}  // namespace synthetic

SyntheticCity::SyntheticCity() = default;
SyntheticCity::SyntheticCity(const Options& options) : options_(options) {}

QString SyntheticCity::cityName() { return QStringLiteral("Новоград"); }

bool SyntheticCity::writeOsm(const QString& path, QString* error) const {
    synthetic::Builder b(options_);
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
