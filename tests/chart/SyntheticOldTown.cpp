// The old-town parts of the synthetic city: irregular block sizes growing towards the edge of
// the town, short streets with names of their own, houses wall to wall along every block edge
// with lanes and footpaths through gaps between them, paved squares and a church.
#include "SyntheticCityBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

SyntheticCity::Options SyntheticCity::oldTown() {
    Options o;
    o.blocksX = 84;
    o.blocksY = 60;
    o.blockMetres = 75.0;
    o.buildingsPerSide = 4;  // in the newer town round the old one
    o.blockSpread = 0.2;  // blocks of 60 to 90 m in the core
    o.coreBlocks = 16;
    o.outerGrowth = 0.08;
    o.crooked = 0.16;
    o.blocksPerWay = 2;
    o.shortStreets = true;
    o.waysPerName = 3;
    o.alleyShare = 0.35;
    o.perimeterBuildings = true;
    o.laneShare = 0.35;
    o.footpathShare = 0.3;
    o.squares = 2;
    o.church = true;
    o.streetNodeMetres = 8;
    o.sidewalks = true;
    o.courtyardShare = 0.15;
    o.bayShare = 0.5;
    o.yards = true;
    o.seed = 11;
    return o;
}

namespace synthetic {

namespace {

// More stems for the old town's many short streets, after the twenty of the ordinary city.
const char* const kMoreGenitive[] = {
    "Герцена",    "Радищева",   "Жуковского", "Тургенева",  "Грибоедова", "Островского", "Крылова",
    "Белинского", "Ломоносова", "Менделеева", "Павлова",    "Мичурина",   "Попова",      "Достоевского",
    "Маяковского", "Блока",     "Глинки",     "Чайковского", "Репина",    "Сурикова",    "Шишкина",
    "Левитана",   "Баумана",    "Державина",  "Карамзина",  "Щедрина",  "Фонвизина",   "Васнецова",
    "Огарёва",    "Щепкина"};
const char* const kMoreAdjective[] = {
    "Кузнечная",  "Гончарная",   "Рыбная",   "Торговая",   "Соборная",   "Монастырская", "Дворянская",
    "Купеческая", "Мещанская",   "Ямская",   "Пушкарская", "Стрелецкая", "Никольская",   "Ильинская",
    "Покровская", "Варварская",  "Троицкая", "Спасская",   "Успенская",  "Казанская"};
constexpr int kGenitiveCount = 20 + static_cast<int>(sizeof(kMoreGenitive) / sizeof(kMoreGenitive[0]));
constexpr int kAdjectiveCount = 20 + static_cast<int>(sizeof(kMoreAdjective) / sizeof(kMoreAdjective[0]));

const char* genitive(int k) { return k < 20 ? kGenitive[k] : kMoreGenitive[k - 20]; }
const char* adjective(int k) { return k < 20 ? kAdjective[k] : kMoreAdjective[k - 20]; }

// "<before><genitive stem>" or "<before><adjective stem><after>".
struct NamePattern {
    const char* before;
    bool genitive;
    const char* after;
};
const NamePattern kPatterns[] = {
    {"улица ", true, ""},  {"", false, " улица"},  {"переулок ", true, ""},       {"Малая ", false, " улица"},
    {"проезд ", true, ""}, {"Большая ", false, " улица"}, {"тупик ", true, ""}, {"Верхняя ", false, " улица"},
    {"Нижняя ", false, " улица"}};
constexpr int kPatternCount = static_cast<int>(sizeof(kPatterns) / sizeof(kPatterns[0]));

constexpr double kSetback = 6.5;  // metres from the middle of a street to the house fronts

}  // namespace

void Builder::layout() {
    const double b = o_.blockMetres;
    colX_.resize(static_cast<size_t>(o_.blocksX + 1));
    rowY_.resize(static_cast<size_t>(o_.blocksY + 1));
    if (o_.blockSpread == 0 && o_.outerGrowth == 0) {  // the ordinary even grid
        for (int i = 0; i <= o_.blocksX; ++i) colX_[static_cast<size_t>(i)] = (i - o_.blocksX / 2.0) * b;
        for (int j = 0; j <= o_.blocksY; ++j) rowY_[static_cast<size_t>(j)] = (j - o_.blocksY / 2.0) * b;
        halfW_ = o_.blocksX * b / 2;
        halfH_ = o_.blocksY * b / 2;
        return;
    }
    // Each column and row of blocks its own width; the extent stays centred on the town centre.
    auto lines = [&](int count, std::vector<double>& at) {
        at[0] = 0;
        for (int k = 0; k < count; ++k) {
            const double fromCentre = std::abs(k + 0.5 - count / 2.0);
            const double grow = 1 + o_.outerGrowth * std::max(0.0, fromCentre - o_.coreBlocks);
            const double spread = o_.blockSpread > 0 ? uniform(-o_.blockSpread, o_.blockSpread) : 0.0;
            at[static_cast<size_t>(k + 1)] = at[static_cast<size_t>(k)] + b * grow * (1 + spread);
        }
        const double middle = (at.front() + at.back()) / 2;
        for (double& v : at) v -= middle;
        return at.back();
    };
    halfW_ = lines(o_.blocksX, colX_);
    halfH_ = lines(o_.blocksY, rowY_);
}

double Builder::Quad::width() const {
    return (std::hypot(c[1].x() - c[0].x(), c[1].y() - c[0].y()) + std::hypot(c[2].x() - c[3].x(), c[2].y() - c[3].y())) / 2;
}

double Builder::Quad::height() const {
    return (std::hypot(c[3].x() - c[0].x(), c[3].y() - c[0].y()) + std::hypot(c[2].x() - c[1].x(), c[2].y() - c[1].y())) / 2;
}

// Two main streets cross at the centre; a few through streets; the rest are minor streets.
std::string Builder::oldTownKind(int k, int count) {
    const int fromCentre = std::abs(k - count / 2);
    if (k == 0 || k == count) return "tertiary";
    if (fromCentre == 0) return "primary";
    if (fromCentre % 12 == 0) return "secondary";
    if (fromCentre % 6 == 3) return "tertiary";
    return "residential";
}

// Names in turn through patterns and stems, so that neighbouring streets differ; after every
// combination (some four hundred) the names repeat, far apart in the town.
std::string Builder::oldTownStreetName() {
    const int n = streetNames_++;
    const NamePattern& p = kPatterns[n % kPatternCount];
    const int round = n / kPatternCount;
    const std::string stem = p.genitive ? genitive(round % kGenitiveCount) : adjective(round % kAdjectiveCount);
    return p.before + stem + p.after;
}

bool Builder::oldTownBlock(int i, int j) const {
    const double reach = o_.coreBlocks > 0 ? o_.coreBlocks + 3 : 1e9;
    return std::abs(i + 0.5 - o_.blocksX / 2.0) < reach && std::abs(j + 0.5 - o_.blocksY / 2.0) < reach;
}

bool Builder::inLake(double x, double y) const {
    const QPointF c = lakeCentre();
    const double dx = (x - c.x()) / 1000.0, dy = (y - c.y()) / 560.0;
    return dx * dx + dy * dy < 1.0;
}

// The old town keeps its lake outside the streets, west of the town.
QPointF Builder::lakeCentre() const {
    return o_.perimeterBuildings ? QPointF(-(halfW_ + 1300), 0.4 * halfH_) : QPointF(-0.6 * halfW_, 0.6 * halfH_);
}

// The old town's railway passes south of the centre, in a corridor of its own.
double Builder::railY(double x) const {
    return 0.55 * x + 300 * std::sin(x / 2500.0) - (o_.perimeterBuildings ? 0.6 * halfH_ : 0.0);
}

bool Builder::nearRailway(double x, double y) const {
    return std::abs(y - railY(x)) / std::hypot(1.0, 0.55) < 0.8 * o_.blockMetres;
}

bool Builder::squareBlock(int i, int j, const Quad& q) {
    const int ci = o_.blocksX / 2, cj = o_.blocksY / 2;
    const bool main = o_.squares >= 1 && i == ci && j == cj;
    const bool market = o_.squares >= 2 && i == ci + 3 && j == cj - 2;
    if (main || market) {
        ring({q.at(0.08, 0.08), q.at(0.92, 0.08), q.at(0.92, 0.92), q.at(0.08, 0.92)},
             {{"place", "square"}, {"highway", "pedestrian"}, {"area", "yes"}, {"surface", "paving_stones"},
              {"name", main ? "Соборная площадь" : "Рыночная площадь"}});
        way({node(q.at(0.1, 0.1)), node(q.at(0.9, 0.9))}, {{"highway", "footway"}});
        way({node(q.at(0.1, 0.9)), node(q.at(0.9, 0.1))}, {{"highway", "footway"}});
        return true;
    }
    if (o_.church && i == ci - 1 && j == cj) {
        church(q);
        return true;
    }
    return false;
}

// A cross-shaped church in a grassy yard, nave along the block.
void Builder::church(const Quad& q) {
    const double w = q.width(), h = q.height();
    ring({q.at(0.08, 0.08), q.at(0.92, 0.08), q.at(0.92, 0.92), q.at(0.08, 0.92)}, {{"landuse", "grass"}});
    const double nave = std::min(26.0, 0.38 * w), aisle = std::min(8.0, 0.12 * h);
    const double arm = std::min(15.0, 0.3 * h), arms = std::min(7.0, 0.1 * w), cross = 0.3 * nave;
    const double outline[][2] = {{-nave, -aisle}, {cross - arms, -aisle}, {cross - arms, -arm}, {cross + arms, -arm},
                                 {cross + arms, -aisle}, {nave, -aisle}, {nave, aisle}, {cross + arms, aisle},
                                 {cross + arms, arm}, {cross - arms, arm}, {cross - arms, aisle}, {-nave, aisle}};
    std::vector<QPointF> points;
    for (const auto& p : outline) points.push_back(q.at(0.5 + p[0] / w, 0.5 + p[1] / h));
    ring(points, {{"building", "church"}, {"amenity", "place_of_worship"}, {"religion", "christian"},
                  {"name", "собор Николая Чудотворца"}});
    way({node(q.at(0.5, 0.0)), node(q.at(0.5, 0.5 - aisle / h))}, {{"highway", "footway"}});
}

void Builder::perimeterBlock(const Quad& q, const std::string& building, bool retail) {
    const double w = q.width(), h = q.height();
    if (w < 30 || h < 30) return;
    constexpr double Band = 16.0;  // the rows along u end their corner houses this deep
    const double su = kSetback / w, sv = kSetback / h;
    if (o_.courtyardShare > 0 && uniform(0, 1) < o_.courtyardShare && courtyardBlock(q, building)) {
        yard(q);
        return;
    }
    const bool lane = uniform(0, 1) < o_.laneShare;
    const bool path = uniform(0, 1) < o_.footpathShare;
    int house = 1;
    // The rows along u run the whole block (their end houses make the corners); the side rows
    // fill in between them. A lane enters through a gap in the lower row, a footpath crosses
    // the yard from the upper row to the left one.
    frontage(q, 0, su, 1 - su, lane ? 0.5 : -1, building, retail, house);
    frontage(q, 1, sv + Band / h, 1 - sv - Band / h, -1, building, retail, house);
    frontage(q, 2, su, 1 - su, path ? 0.5 : -1, building, retail, house);
    frontage(q, 3, sv + Band / h, 1 - sv - Band / h, path ? 0.5 : -1, building, retail, house);
    if (lane) way({node(q.at(0.5, 0.0)), node(q.at(0.5, 0.42))}, {{"highway", "service"}, {"service", "alley"}});
    if (path) way({node(q.at(0.5, 1.0)), node(q.at(0.48, 0.5)), node(q.at(0.0, 0.5))}, {{"highway", "footway"}});
    yard(q);
}

// One row of houses along side 0 (lower, v = 0), 1 (right), 2 (upper) or 3 (left) of a block,
// from t0 to t1 along that side; gapAt, when in 0..1, leaves a passage there.
void Builder::frontage(const Quad& q, int side, double t0, double t1, double gapAt, const std::string& building,
                       bool retail, int& house) {
    const double w = q.width(), h = q.height();
    const double su = kSetback / w, sv = kSetback / h;
    const double along = side % 2 == 0 ? w : h;  // metres per unit of t
    auto at = [&](double t, double depth) {
        switch (side) {
            case 0: return q.at(t, sv + depth / h);
            case 1: return q.at(1 - su - depth / w, t);
            case 2: return q.at(1 - t, 1 - sv - depth / h);
            default: return q.at(su + depth / w, 1 - t);
        }
    };
    if (side >= 2) {  // walk the upper and left rows backwards, keeping every outline the same way round
        const double a = t0;
        t0 = 1 - t1;
        t1 = 1 - a;
        if (gapAt >= 0) gapAt = 1 - gapAt;
    }
    const double gap0 = gapAt - 3.0 / along, gap1 = gapAt + 3.0 / along;
    const double inner = 20.0 / along;  // houses this far from the row's ends may have wings
    double t = t0;
    while (t < t1 - 1e-9) {
        double end = t + uniform(o_.frontageMin, o_.frontageMax) / along;
        if (t1 - end < o_.frontageMin / along) end = t1;  // the last house closes the row
        if (gapAt >= 0 && t < gap1 && end > gap0) {
            if (gap0 - t < 4.0 / along) {
                t = gap1;
                continue;
            }
            end = gap0;
        }
        const double depth = uniform(10, 15), dice = uniform(0, 1);
        const bool wings = t - t0 > inner && t1 - end > inner;
        std::vector<QPointF> p{at(t, 0), at(end, 0)};
        if (!wings || dice < 0.5) {
            p.insert(p.end(), {at(end, depth), at(t, depth)});
        } else if (dice < 0.7) {  // L: the back steps in
            const double m = t + (end - t) * uniform(0.4, 0.6), d2 = depth * uniform(0.55, 0.75);
            p.insert(p.end(), {at(end, d2), at(m, d2), at(m, depth), at(t, depth)});
        } else if (dice < 0.85) {  // the back wall bent
            p.insert(p.end(), {at(end, depth), at((t + end) / 2, depth * uniform(1.1, 1.3)), at(t, depth)});
        } else {  // a wing into the yard
            const double a = t + (end - t) * 0.3, b = t + (end - t) * 0.7, wing = depth + uniform(4, 9);
            p.insert(p.end(), {at(end, depth), at(b, depth), at(b, wing), at(a, wing), at(a, depth), at(t, depth)});
        }
        if (o_.bayShare > 0 && uniform(0, 1) < o_.bayShare && (end - t) * along > 7) bay(p, at, t, end);
        const char* kind = retail ? (dice < 0.5 ? "retail" : "apartments") : (dice < 0.3 ? "house" : building.c_str());
        ring(p, {{"building", kind},
                 {"addr:housenumber", std::to_string(house++)},
                 {"building:levels", std::to_string(2 + static_cast<int>(dice * 4))}});
        t = end;
    }
}

}  // namespace synthetic
