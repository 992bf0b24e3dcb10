// The demo town "Орманск": a square street grid inside a ring road, four avenues leaving it as
// highways, a meandering river and a railway across it, blocks of housing, shops, industry and
// parks, forest outside the ring, depots on the highways and customers and filling stations on the
// streets.
#include "demo/TownPlan.h"

#include <QMutex>
#include <QRandomGenerator>

#include <cmath>
#include <map>
#include <memory>
#include <numbers>

namespace telvika::server::demo {

namespace {

constexpr double spacing = 300.0;    // between streets
constexpr int gridHalf = 12;         // lattice indices -12 .. 12
constexpr double gridRadius = 3700;  // streets end at this circle
constexpr double ringRadius = 4500;
constexpr double highwayEnd = 7200;

struct RoadClass {
    const char* highway;
    double limitKmh;
    int rank;
};
constexpr RoadClass service{"service", 20, 0};
constexpr RoadClass residential{"residential", 40, 1};
constexpr RoadClass tertiary{"tertiary", 50, 2};
constexpr RoadClass secondary{"secondary", 60, 3};
constexpr RoadClass primary{"primary", 60, 4};
constexpr RoadClass highway{"primary", 90, 4};
constexpr RoadClass ring{"trunk", 90, 5};

const char* const rowNames[] = {
    "улица Ленина", "Садовая улица", "улица Гагарина", "Школьная улица", "улица Мира", "Советская улица",
    "Молодёжная улица", "улица Чкалова", "Набережная улица", "Лесная улица", "улица Победы",
    "Заводская улица", "Полевая улица", "улица Кирова", "Береговая улица", "улица Пушкина",
    "Луговая улица", "Октябрьская улица", "Речная улица", "улица Чехова", "Солнечная улица",
    "Почтовая улица", "улица Лермонтова", "Зелёная улица"};
const char* const columnNames[] = {
    "Первомайская улица", "улица Свердлова", "Северная улица", "улица Фрунзе", "Парковая улица",
    "улица Некрасова", "Вокзальная улица", "Южная улица", "улица Маяковского", "Рабочая улица",
    "улица Королёва", "Новая улица", "Комсомольская улица", "улица Горького", "Строительная улица",
    "Весенняя улица", "улица Толстого", "Дачная улица", "улица Есенина", "Кооперативная улица",
    "Цветочная улица", "Тихая улица", "улица Калинина", "Озёрная улица"};
const char* const customerNames[] = {
    "Магазин «Ромашка»", "Супермаркет «Орман»", "Склад стройматериалов", "Пекарня «Колос»",
    "Аптека №3", "Рынок «Центральный»", "Кафе «Встреча»", "Школа №2", "Больница", "Торговый центр «Ока»",
    "Мебельная фабрика", "Молокозавод", "Почтовое отделение", "Гипермаркет «Лента»", "Автосервис",
    "Хлебозавод", "Детский сад «Солнышко»", "Администрация", "Стадион", "Вокзал",
    "Магазин «Продукты»", "Оптовая база", "Цех металлоконструкций", "Ресторан «Волга»"};

bool insideGrid(int i, int j) { return std::hypot(i * spacing, j * spacing) <= gridRadius; }

RoadClass classOf(int index) {
    const int a = std::abs(index);
    if (a == 0) return primary;
    if (a == 6) return secondary;
    if (a == 3 || a == 9) return tertiary;
    return residential;
}

double riverY(double x) { return -0.35 * x + 900.0 + 450.0 * std::sin(x / 1300.0); }
double railwayY(double x) { return 0.08 * x - 2350.0; }

class TownBuilder {
public:
    explicit TownBuilder(quint32 seed) : rng_(seed) {}

    std::unique_ptr<TownPlan> build() {
        plan_ = std::make_unique<TownPlan>();
        plan_->frame = LocalFrame{37.66, 55.74};
        plan_->town.center = QPointF(plan_->frame.lon0, plan_->frame.lat0);
        landuse();
        water();
        railway();
        streets();
        ringAndHighways();
        depots();
        sites();
        places();
        return std::move(plan_);
    }

private:
    double uniform(double a, double b) { return a + rng_.generateDouble() * (b - a); }

    void addRoad(const QVector<QPointF>& pts, const RoadClass& cls, const QString& name) {
        TownFeature f;
        f.shape = TownFeature::Shape::Line;
        f.points = pts;
        f.tags = {{QStringLiteral("highway"), QString::fromLatin1(cls.highway)}};
        if (!name.isEmpty()) f.tags.push_back({QStringLiteral("name"), name});
        plan_->features.push_back(f);
        plan_->graph.addRoad(pts, cls.limitKmh, cls.rank);
        TownRoad road{name, QString::fromLatin1(cls.highway), {}};
        for (const QPointF& p : pts) road.points.push_back(plan_->frame.toLonLat(p));
        plan_->town.roads.push_back(road);
    }

    void addArea(QVector<QPointF> ring, QVector<QPair<QString, QString>> tags, QVector<QVector<QPointF>> holes = {}) {
        TownFeature f;
        f.shape = TownFeature::Shape::Area;
        f.points = std::move(ring);
        f.holes = std::move(holes);
        f.tags = std::move(tags);
        plan_->features.push_back(f);
    }

    static QVector<QPointF> rect(double x0, double y0, double x1, double y1) {
        return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    }

    void streets() {
        for (int j = -gridHalf; j <= gridHalf; ++j) {
            QVector<QPointF> row, column;
            for (int i = -gridHalf; i <= gridHalf; ++i) {
                if (insideGrid(i, j)) row.push_back({i * spacing, j * spacing});
                if (insideGrid(j, i)) column.push_back({j * spacing, i * spacing});
            }
            const int k = j + gridHalf;
            addRoad(row, classOf(j), j == 0 ? QStringLiteral("проспект Мира")
                                    : std::abs(j) == 6 ? (j > 0 ? QStringLiteral("Северный проспект")
                                                                : QStringLiteral("Южный проспект"))
                                                       : QString::fromUtf8(rowNames[k % 24]));
            addRoad(column, classOf(j), j == 0 ? QStringLiteral("Центральный проспект")
                                       : std::abs(j) == 6 ? (j > 0 ? QStringLiteral("Восточный проспект")
                                                                   : QStringLiteral("Западный проспект"))
                                                          : QString::fromUtf8(columnNames[k % 24]));
        }
    }

    void ringAndHighways() {
        QVector<QPointF> ringPts;
        for (int a = 0; a <= 72; ++a) {
            const double angle = a * 5.0 * std::numbers::pi / 180.0;
            ringPts.push_back({ringRadius * std::cos(angle), ringRadius * std::sin(angle)});
        }
        ringPts.last() = ringPts.first();
        addRoad(ringPts, ring, QStringLiteral("Кольцевая автодорога"));
        const QString names[] = {QStringLiteral("Восточное шоссе"), QStringLiteral("Северное шоссе"),
                                 QStringLiteral("Западное шоссе"), QStringLiteral("Южное шоссе")};
        const QPointF dirs[] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
        for (int d = 0; d < 4; ++d) {
            QVector<QPointF> pts;
            for (double r = gridHalf * spacing; r <= highwayEnd + 1; r += spacing) pts.push_back(dirs[d] * r);
            addRoad(pts, highway, names[d]);
        }
    }

    void depots() {
        const QPointF dirs[] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
        const QString names[] = {QStringLiteral("База «Восток»"), QStringLiteral("База «Север»"),
                                 QStringLiteral("База «Запад»"), QStringLiteral("База «Юг»")};
        for (int d = 0; d < 4; ++d) {
            const QPointF along = dirs[d] * 6000.0;
            const QPointF side(-dirs[d].y(), dirs[d].x());
            const QVector<QPointF> pts{along, along + side * 300.0, along + side * 600.0};
            addRoad(pts, service, QString());
            plan_->depots.push_back({names[d], QStringLiteral("стоянка"), plan_->graph.nodeAt(pts.last()), pts.last()});
            const QPointF c = pts.last();
            addArea(rect(c.x() - 250, c.y() - 250, c.x() + 250, c.y() + 250),
                    {{QStringLiteral("landuse"), QStringLiteral("industrial")}, {QStringLiteral("name"), names[d]}});
            addArea(rect(c.x() - 120, c.y() + 40, c.x() + 120, c.y() + 110), {{QStringLiteral("building"), QStringLiteral("yes")}});
            addArea(rect(c.x() - 100, c.y() - 150, c.x() + 100, c.y() - 60), {{QStringLiteral("amenity"), QStringLiteral("parking")}});
        }
    }

    void sites() {
        // Customers on the streets inside the grid, away from the avenues; filling stations on the
        // secondary roads.
        QVector<QPointF> taken;
        int named = 0;
        while (plan_->customers.size() < 24) {
            const int i = static_cast<int>(rng_.bounded(-10, 11));
            const int j = static_cast<int>(rng_.bounded(-10, 11));
            if (i == 0 || j == 0 || !insideGrid(i, j)) continue;
            const QPointF at(i * spacing, j * spacing);
            if (taken.contains(at)) continue;
            taken.push_back(at);
            plan_->customers.push_back({QString::fromUtf8(customerNames[named++ % 24]),
                                        QStringLiteral("клиент"), plan_->graph.nodeAt(at), at});
        }
        const QPointF stations[] = {{1800, -1800}, {-1800, 1800}, {1800, 2400}};
        int n = 1;
        for (const QPointF& at : stations) {
            const QString name = QStringLiteral("АЗС №%1").arg(n++);
            plan_->stations.push_back({name, QStringLiteral("заправка"), plan_->graph.nodeAt(at), at});
            TownFeature f;
            f.shape = TownFeature::Shape::Point;
            f.points = {at + QPointF(25, 25)};
            f.tags = {{QStringLiteral("amenity"), QStringLiteral("fuel")}, {QStringLiteral("name"), name}};
            plan_->features.push_back(f);
        }
    }

    void landuse() {
        // Forest beyond the ring road, in four corners clear of the highways and depots.
        for (int sx : {-1, 1})
            for (int sy : {-1, 1}) {
                QVector<QPointF> ring;
                ring.push_back({sx * 1200.0, sy * 7600.0});
                for (int a = 0; a <= 12; ++a) {
                    const double angle = (a / 12.0) * std::numbers::pi / 2.0;
                    const double r = ringRadius + 400.0;
                    ring.push_back({sx * std::max(1200.0, r * std::sin(angle)), sy * std::max(1200.0, r * std::cos(angle))});
                }
                ring.push_back({sx * 7600.0, sy * 1200.0});
                ring.push_back({sx * 7600.0, sy * 7600.0});
                addArea(ring, {{QStringLiteral("landuse"), QStringLiteral("forest")},
                               {QStringLiteral("name"), sx > 0 ? QStringLiteral("Сосновый бор")
                                                               : QStringLiteral("Берёзовая роща")}});
            }
        // Blocks between the streets.
        int parks = 0;
        for (int i = -gridHalf; i < gridHalf; ++i)
            for (int j = -gridHalf; j < gridHalf; ++j) {
                if (!insideGrid(i, j) || !insideGrid(i + 1, j) || !insideGrid(i, j + 1) || !insideGrid(i + 1, j + 1))
                    continue;
                const double x0 = i * spacing + 12, y0 = j * spacing + 12;
                const double x1 = x0 + spacing - 24, y1 = y0 + spacing - 24;
                const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
                if (std::fabs(cy - riverY(cx)) < 260) {
                    addArea(rect(x0, y0, x1, y1), {{QStringLiteral("landuse"), QStringLiteral("grass")}});
                    continue;
                }
                if (std::fabs(cy - railwayY(cx)) < 200) {
                    addArea(rect(x0, y0, x1, y1), {{QStringLiteral("landuse"), QStringLiteral("industrial")}});
                    addArea(rect(x0 + 40, y0 + 60, x1 - 40, y1 - 60), {{QStringLiteral("building"), QStringLiteral("industrial")}});
                    continue;
                }
                const double roll = rng_.generateDouble();
                if (roll < 0.07) {
                    ++parks;
                    if (parks == 1) {
                        // A park with a pond: an area with a hole, and the pond inside it.
                        const QVector<QPointF> pond = rect(cx - 50, cy - 35, cx + 50, cy + 35);
                        addArea(rect(x0, y0, x1, y1),
                                {{QStringLiteral("leisure"), QStringLiteral("park")}, {QStringLiteral("name"), QStringLiteral("Городской парк")}},
                                {pond});
                        addArea(pond, {{QStringLiteral("natural"), QStringLiteral("water")}, {QStringLiteral("name"), QStringLiteral("Пруд")}});
                    } else {
                        addArea(rect(x0, y0, x1, y1), {{QStringLiteral("leisure"), QStringLiteral("park")},
                                                       {QStringLiteral("name"), QStringLiteral("Сквер №%1").arg(parks)}});
                    }
                    continue;
                }
                const bool central = std::abs(i) <= 2 && std::abs(j) <= 2;
                addArea(rect(x0, y0, x1, y1), {{QStringLiteral("landuse"), central ? QStringLiteral("commercial")
                                                                                   : QStringLiteral("residential")}});
                // Six houses per block along its two long sides, of slightly different sizes.
                for (int bx = 0; bx < 3; ++bx)
                    for (int by = 0; by < 2; ++by) {
                        const double w = uniform(35, 70), h = uniform(18, 35);
                        const double hx = x0 + 18 + bx * 90, hy = by == 0 ? y0 + 18 : y1 - 18 - h;
                        addArea(rect(hx, hy, hx + w, hy + h), {{QStringLiteral("building"), QStringLiteral("yes")}});
                    }
            }
    }

    void water() {
        QVector<QPointF> river, left, right;
        for (double x = -8000; x <= 8000; x += 200) {
            const double y = riverY(x);
            river.push_back({x, y});
            const double dy = (riverY(x + 1) - riverY(x - 1)) / 2;
            const double len = std::hypot(1.0, dy);
            const QPointF normal(-dy / len, 1.0 / len);
            left.push_back(QPointF(x, y) + normal * 35.0);
            right.push_front(QPointF(x, y) - normal * 35.0);
        }
        TownFeature f;
        f.points = river;
        f.tags = {{QStringLiteral("waterway"), QStringLiteral("river")}, {QStringLiteral("name"), QStringLiteral("река Ормань")}};
        plan_->features.push_back(f);
        addArea(left + right, {{QStringLiteral("natural"), QStringLiteral("water")}, {QStringLiteral("water"), QStringLiteral("river")}});
    }

    void railway() {
        TownFeature f;
        f.points = {{-8000, railwayY(-8000)}, {8000, railwayY(8000)}};
        f.tags = {{QStringLiteral("railway"), QStringLiteral("rail")}, {QStringLiteral("name"), QStringLiteral("Орманская железная дорога")}};
        plan_->features.push_back(f);
    }

    void places() {
        auto place = [&](QPointF at, const char* kind, const QString& name) {
            TownFeature f;
            f.shape = TownFeature::Shape::Point;
            f.points = {at};
            f.tags = {{QStringLiteral("place"), QString::fromLatin1(kind)}, {QStringLiteral("name"), name}};
            plan_->features.push_back(f);
        };
        place({150, 150}, "town", QStringLiteral("Орманск"));
        place({-2100, -2400}, "suburb", QStringLiteral("Заречье"));
        place({0, 3000}, "suburb", QStringLiteral("Северный"));
        place({2400, -2700}, "suburb", QStringLiteral("Промзона"));
        place({-2700, 1200}, "suburb", QStringLiteral("Слобода"));
        place({2250, 1050}, "neighbourhood", QStringLiteral("Микрорайон Солнечный"));
        place({-1050, -600}, "neighbourhood", QStringLiteral("Старый город"));
        place({1050, 2550}, "neighbourhood", QStringLiteral("Микрорайон Лесной"));
    }

    QRandomGenerator rng_;
    std::unique_ptr<TownPlan> plan_;
};

}  // namespace

const TownPlan& townPlan(quint32 seed) {
    static QMutex mutex;
    static std::map<quint32, std::unique_ptr<TownPlan>> plans;
    QMutexLocker lock(&mutex);
    auto& slot = plans[seed];
    if (!slot) slot = TownBuilder(seed).build();
    return *slot;
}

const DemoTown& demoTown(quint32 seed) { return townPlan(seed).town; }

}  // namespace telvika::server::demo
