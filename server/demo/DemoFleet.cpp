// The demo fleet: every vehicle lives through the days before the end time as its group works:
// nights at the depot, a working day of drives to its customers with stops (one long lunch stop
// that ends a trip), refuelling when the tank runs low, now and then a lost fix, a power cut,
// a drain of fuel, sensors switched while driving or at stops.
#include "demo/DemoFleet.h"

#include <QRandomGenerator>

#include <cmath>

#include "common/OleDate.h"
#include "demo/FleetCatalogue.h"
#include "demo/TownPlan.h"
#include "demo/VehicleDriver.h"

namespace telvika::server::demo {

namespace {

const char* const surnames[] = {"Иванов", "Петров", "Сидоров", "Кузнецов", "Смирнов", "Попов", "Васильев",
                                "Соколов", "Михайлов", "Новиков", "Фёдоров", "Морозов", "Волков", "Алексеев",
                                "Лебедев", "Семёнов", "Егоров", "Павлов", "Козлов", "Степанов"};
const char initials[] = "АБВГДЕИКЛМНОПРСТ";

double uniform(QRandomGenerator& rng, double a, double b) { return a + rng.generateDouble() * (b - a); }

class VehicleLife {
public:
    VehicleLife(const TownPlan& plan, const GroupKind& group, const VehicleKind& kind, quint32 seed)
        : plan_(plan), group_(group), kind_(kind), rng_(seed), seed_(seed) {
        QVector<int> order;
        for (int i = 0; i < plan.customers.size(); ++i) order.push_back(i);
        for (int i = 0; i < 8; ++i) {
            const int j = i + static_cast<int>(rng_.bounded(static_cast<int>(order.size()) - i));
            std::swap(order[i], order[j]);
            customers_.push_back(order[i]);
        }
    }

    QVector<int> customers() const { return customers_; }

    QVector<TelemetryPoint> live(double begin, double end) {
        const TownSite& depot = plan_.depots[group_.depot];
        VehicleDriver d(plan_, kind_.profile, seed_ ^ 0x9e3779b9u, begin, depot.node);
        d.setClip(end);
        const VehicleProfile& p = kind_.profile;
        d.setFuel(p.tank1Capacity * uniform(rng_, 0.5, 0.9), p.tank2Capacity * uniform(rng_, 0.5, 0.9));
        d.setOdometer(std::round(uniform(rng_, 20000, 300000)) * 1000.0);
        const int days = static_cast<int>(std::ceil(end - begin));
        const int drainDay = rng_.bounded(3) == 0 ? static_cast<int>(rng_.bounded(days)) : -1;
        int dayIndex = 0;
        for (double day = std::floor(begin); day <= std::floor(end) && !d.clipped(); day += 1.0, ++dayIndex) {
            const int weekday = telvika::oleToDate(day).dayOfWeek();
            if (!group_.worksWeekends && weekday >= 6) continue;
            const double departure = day + (group_.dayStartHour + uniform(rng_, 0, 1.0)) / 24.0;
            if (departure <= d.time()) continue;
            d.stayUntil(departure, StayPlan{600, {}, {}});
            workDay(d, day, dayIndex == drainDay);
            d.setDriveSensors(0);
            d.driveTo(depot.node);
        }
        d.stayUntil(end, StayPlan{600, {}, {}});
        return std::move(d.records());
    }

private:
    void workDay(VehicleDriver& d, double day, bool drainToday) {
        const double finish = day + (group_.dayEndHour + uniform(rng_, -0.5, 0.5)) / 24.0;
        bool lunch = false;
        const VehicleProfile& p = kind_.profile;
        while (d.time() < finish && !d.clipped()) {
            if (p.tank1Capacity > 0 && d.fuel1() < 0.3 * p.tank1Capacity) {
                refuel(d);
                continue;
            }
            if (rng_.bounded(1000) < 30) d.scheduleBlind(uniform(rng_, 60, 400), uniform(rng_, 70, 300));
            if (rng_.bounded(1000) < 15) d.schedulePowerOff(uniform(rng_, 60, 400), uniform(rng_, 70, 600));
            d.setDriveSensors(rng_.bounded(100) < 70 ? kind_.driveSensors : 0);
            const TownSite& target = plan_.customers[customers_[rng_.bounded(static_cast<int>(customers_.size()))]];
            if (!d.driveTo(target.node)) return;
            double stop = uniform(rng_, 4, 20) * 60.0;
            if (!lunch && d.time() > day + 12.5 / 24.0) {
                stop = uniform(rng_, 35, 70) * 60.0;
                lunch = true;
            }
            StayPlan plan{60, {}, {}};
            if (kind_.stopSensors && stop > 240) {
                QVector<int> bits;
                for (int s = 0; s < 6; ++s)
                    if (kind_.stopSensors & (1u << s)) bits.push_back(s + 1);
                const int sensor = bits[rng_.bounded(static_cast<int>(bits.size()))];
                plan.sensors.push_back({sensor, uniform(rng_, 30, 90), stop - uniform(rng_, 30, 90)});
            }
            if (drainToday && p.tank1Capacity > 0) {
                const int tank = p.tank2Capacity > 0 && rng_.bounded(2) ? 2 : 1;
                const double level = tank == 1 ? d.fuel1() : d.fuel2();
                const double litres = std::min(level * 0.6, uniform(rng_, 20, 45));
                if (litres > 15) {
                    plan.tankChanges.push_back({tank, -litres, uniform(rng_, 120, 200), uniform(rng_, 240, 420)});
                    stop = std::max(stop, 900.0);
                }
                drainToday = false;
            }
            d.stay(stop, plan);
        }
    }

    void refuel(VehicleDriver& d) {
        const TownSite& station = plan_.stations[rng_.bounded(static_cast<int>(plan_.stations.size()))];
        d.setDriveSensors(0);
        if (!d.driveTo(station.node)) return;
        const VehicleProfile& p = kind_.profile;
        StayPlan plan{30, {}, {}};
        plan.tankChanges.push_back({1, p.tank1Capacity * 0.95 - d.fuel1(), 90, uniform(rng_, 180, 300)});
        if (p.tank2Capacity > 0 && d.fuel2() < 0.7 * p.tank2Capacity)
            plan.tankChanges.push_back({2, p.tank2Capacity * 0.95 - d.fuel2(), 420, uniform(rng_, 150, 240)});
        d.stay(uniform(rng_, 12, 16) * 60.0, plan);
    }

    const TownPlan& plan_;
    const GroupKind& group_;
    const VehicleKind& kind_;
    QRandomGenerator rng_;
    quint32 seed_;
    QVector<int> customers_;
};

}  // namespace

DemoFleet generateDemoFleet(const DemoOptions& options) {
    const TownPlan& plan = townPlan(options.seed);
    const QVector<GroupKind> catalogue = fleetCatalogue();
    QRandomGenerator rng(options.seed);
    // The day is planned on the town's clock, then every record is put back on UTC.
    const double offsetDays = options.utcOffsetSeconds / 86400.0;
    const double end = options.endTime + offsetDays;
    const double begin = end - std::max(1, options.days);
    DemoFleet fleet;
    int device = 1001;
    for (int gi = 0; gi < catalogue.size(); ++gi) {
        const GroupKind& gk = catalogue[gi];
        DemoGroup group;
        group.id = QStringLiteral("G%1").arg(gi + 1, 2, 10, QLatin1Char('0'));
        group.name = gk.name;
        for (const VehicleKind& kind : gk.vehicles) {
            DemoVehicle v;
            v.name = kind.name;
            v.number = registrationNumber(rng.generate());
            v.device = device++;
            const int surname = static_cast<int>(rng.bounded(20));
            v.info = QStringLiteral("Водитель: %1 %2. %3.")
                         .arg(QString::fromUtf8(surnames[surname]))
                         .arg(QString::fromUtf8(initials).at(static_cast<int>(rng.bounded(16))))
                         .arg(QString::fromUtf8(initials).at(static_cast<int>(rng.bounded(16))));
            v.tankCapacity1 = kind.profile.tank1Capacity;
            v.tankCapacity2 = kind.profile.tank2Capacity;
            VehicleLife life(plan, gk, kind, options.seed * 7919u + static_cast<quint32>(v.device));
            v.telemetry = life.live(begin, end);
            for (TelemetryPoint& p : v.telemetry) p.time -= offsetDays;

            const TownSite& depot = plan.depots[gk.depot];
            ControlPointSet route{QStringLiteral("Маршрут"), {}};
            route.points.push_back({depot.name, depot.note, 0, 0, 150});
            for (int c : life.customers()) {
                const TownSite& site = plan.customers[c];
                route.points.push_back({site.name, site.note, 0, 0, 60.0 + 20.0 * rng.bounded(4)});
            }
            ControlPointSet fuel{QStringLiteral("Заправки"), {}};
            for (const TownSite& s : plan.stations) fuel.points.push_back({s.name, s.note, 0, 0, 80});
            auto place = [&](ControlPointSet& set, const QVector<QPointF>& at) {
                for (int i = 0; i < set.points.size(); ++i) {
                    const QPointF ll = plan.frame.toLonLat(at[i]);
                    set.points[i].lon = ll.x();
                    set.points[i].lat = ll.y();
                }
            };
            QVector<QPointF> routeAt{depot.at};
            for (int c : life.customers()) routeAt.push_back(plan.customers[c].at);
            place(route, routeAt);
            QVector<QPointF> fuelAt;
            for (const TownSite& s : plan.stations) fuelAt.push_back(s.at);
            place(fuel, fuelAt);
            v.controlPointSets = {route, fuel};
            group.vehicles.push_back(v);
        }
        fleet.groups.push_back(group);
    }
    return fleet;
}

}  // namespace telvika::server::demo
