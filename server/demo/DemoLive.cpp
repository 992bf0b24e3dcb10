// Live demo: every vehicle goes on driving from where its history ended, from customer to
// customer with short stops, as long as the server runs.
#include "demo/DemoLive.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

#include "demo/TownPlan.h"
#include "demo/VehicleDriver.h"

namespace telvika::server::demo {

namespace {

// A vehicle that fell this far behind "now" (a server started days later) skips the missed time.
constexpr double maxCatchUpDays = 1.0 / 24.0;

}  // namespace

struct DemoLive::State {
    struct Car {
        int device = 0;
        VehicleProfile profile;
        std::unique_ptr<VehicleDriver> driver;
        QRandomGenerator rng;
        qsizetype taken = 0;  // records already handed out
    };
    const TownPlan* plan = nullptr;
    std::vector<Car> cars;
};

DemoLive::DemoLive(const DemoFleet& fleet, quint32 seed) : state_(std::make_unique<State>()) {
    state_->plan = &townPlan(seed);
    const TownPlan& plan = *state_->plan;
    for (const DemoGroup& g : fleet.groups)
        for (const DemoVehicle& v : g.vehicles) {
            State::Car car;
            car.device = v.device;
            car.rng.seed(seed * 31u + static_cast<quint32>(v.device));
            car.profile.tank1Capacity = v.tankCapacity1;
            car.profile.tank2Capacity = v.tankCapacity2;
            car.profile.litresPer100Km = std::max(8.0, (v.tankCapacity1 + v.tankCapacity2) / 20.0);
            double start = 0.0;
            int node = plan.depots.first().node;
            double fuel1 = v.tankCapacity1 * 0.6, fuel2 = v.tankCapacity2 * 0.6, odometer = 0.0;
            if (!v.telemetry.isEmpty()) {
                const TelemetryPoint& last = v.telemetry.last();
                start = last.time;
                node = plan.graph.nearestNode(plan.frame.toMetres(last.lon, last.lat));
                if (std::isfinite(last.tank1)) fuel1 = last.tank1;
                if (std::isfinite(last.tank2)) fuel2 = last.tank2;
                odometer = last.odometerM;
            }
            car.driver = std::make_unique<VehicleDriver>(plan, car.profile, car.rng.generate(), start, node);
            car.driver->setFuel(fuel1, fuel2);
            car.driver->setOdometer(odometer);
            state_->cars.push_back(std::move(car));
        }
}

DemoLive::~DemoLive() = default;

QVector<QPair<int, TelemetryPoint>> DemoLive::advanceTo(double now) {
    const TownPlan& plan = *state_->plan;
    QVector<QPair<int, TelemetryPoint>> fresh;
    for (State::Car& car : state_->cars) {
        VehicleDriver& d = *car.driver;
        if (car.taken >= d.records().size() && now - d.time() > maxCatchUpDays) {
            // Too far behind: start again a minute before now where the vehicle is.
            auto next = std::make_unique<VehicleDriver>(plan, car.profile, car.rng.generate(), now - 60.0 / 86400.0, d.node());
            next->setFuel(d.fuel1(), d.fuel2());
            car.driver = std::move(next);
            car.taken = 0;
        }
        VehicleDriver& driver = *car.driver;
        while (driver.time() < now) {
            if (car.profile.tank1Capacity > 0 && driver.fuel1() < 0.2 * car.profile.tank1Capacity) {
                const TownSite& station = plan.stations[car.rng.bounded(static_cast<int>(plan.stations.size()))];
                driver.driveTo(station.node);
                StayPlan refuel{30, {}, {}};
                refuel.tankChanges.push_back({1, car.profile.tank1Capacity * 0.9 - driver.fuel1(), 60, 200});
                driver.stay(400, refuel);
                continue;
            }
            if (car.rng.bounded(100) < 5) driver.scheduleBlind(60 + car.rng.bounded(200), 70 + car.rng.bounded(100));
            const TownSite& target = plan.customers[car.rng.bounded(static_cast<int>(plan.customers.size()))];
            driver.driveTo(target.node);
            driver.stay(60 + car.rng.bounded(180), StayPlan{30, {}, {}});
        }
        QVector<TelemetryPoint>& records = driver.records();
        while (car.taken < records.size() && records[car.taken].time <= now)
            fresh.push_back({car.device, records[car.taken++]});
        if (car.taken > 4096) {
            records.remove(0, car.taken);
            car.taken = 0;
        }
    }
    std::stable_sort(fresh.begin(), fresh.end(),
                     [](const auto& a, const auto& b) { return a.second.time < b.second.time; });
    return fresh;
}

}  // namespace telvika::server::demo
