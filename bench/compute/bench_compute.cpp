// A month of 1 Hz telemetry of one vehicle (about 2.6 million records) divided into trips and
// entries: the computation alone, and the whole path from the store to a ready result.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QRandomGenerator>

#include <cmath>
#include <numbers>

#include <QTemporaryDir>

#include <memory>

#include "compute/Computation.h"
#include "store/Store.h"

using namespace telvika::server;

namespace {

constexpr double t0 = 46000.0;

// Working days: drives with stops at customers, speeding now and then, noisy fuel levels with a
// refuelling each morning, a sensor switched at stops; nights parked with jitter.
QVector<TelemetryPoint> monthAtOneHertz() {
    QVector<TelemetryPoint> rows;
    rows.reserve(30 * 86400);
    QRandomGenerator rng(42);
    double lat = 55.75, lon = 37.62, heading = 0.0, odo = 0.0, fuel = 200.0;
    for (int day = 0; day < 30; ++day) {
        for (int sec = 0; sec < 86400; ++sec) {
            const bool working = sec >= 8 * 3600 && sec < 18 * 3600;
            const int phase = (sec / 600) % 4;  // 30 min driving, 10 min at a customer
            const bool moving = working && phase != 3;
            double kmh = 0.0;
            if (moving) {
                kmh = 50.0 + 30.0 * std::sin(sec / 300.0) + rng.bounded(5.0);
                if (sec % 3600 < 40) kmh = 100.0;
                heading += (rng.bounded(2.0) - 1.0) * 0.02;
                const double m = kmh / 3.6;
                lat += m * std::cos(heading) / 111320.0;
                lon += m * std::sin(heading) / (111320.0 * std::cos(lat * std::numbers::pi / 180.0));
                odo += m;
                fuel -= m * 0.0003;
            } else if (rng.bounded(10) == 0) {
                kmh = rng.bounded(6.0);
            }
            if (sec == 8 * 3600 + 1200) fuel = 200.0;
            TelemetryPoint p;
            p.time = t0 + day + sec / 86400.0;
            p.lat = lat + (moving ? 0.0 : (rng.bounded(2.0) - 1.0) * 0.0001);
            p.lon = lon;
            p.speedKmh = kmh;
            p.odometerM = odo;
            p.gpsValid = sec % 5000 > 90;
            p.externalPower = sec % 20000 > 100;
            p.tank1 = fuel + (rng.bounded(2.0) - 1.0) * 3.0;
            p.sensors = phase == 3 ? 1 : 0;
            rows.push_back(p);
        }
    }
    return rows;
}

void BM_ComputeMonthAtOneHertz(benchmark::State& state) {
    static const QVector<TelemetryPoint> rows = monthAtOneHertz();
    const QVector<ControlPoint> cps{{QStringLiteral("База"), QString(), 55.75, 37.62, 200.0}};
    int trips = 0;
    for (auto _ : state) {
        ComputeResult r = computeTrips(rows, t0, t0 + 31, ComputeSettings{}, cps);
        trips = static_cast<int>(r.trips.size());
        benchmark::DoNotOptimize(r);
    }
    state.counters["rows"] = static_cast<double>(rows.size());
    state.counters["trips"] = trips;
}
BENCHMARK(BM_ComputeMonthAtOneHertz)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3);

// What the server does for a request: read the period's telemetry from the SQLite store, then
// compute. The month is stored once, before timing.
void BM_ComputeMonthFromStore(benchmark::State& state) {
    static QTemporaryDir dir;
    static std::unique_ptr<Store> store = [] {
        auto s = std::make_unique<Store>(dir.filePath(QStringLiteral("month.db")));
        s->addGroup({QStringLiteral("g"), QStringLiteral("G")});
        s->addVehicle({1, QStringLiteral("g"), QStringLiteral("A"), QStringLiteral("N"), QString(), 0, 0, 0});
        s->appendTelemetry(1, monthAtOneHertz());
        return s;
    }();
    const QVector<ControlPoint> cps{{QStringLiteral("База"), QString(), 55.75, 37.62, 200.0}};
    int rows = 0;
    for (auto _ : state) {
        const QVector<TelemetryPoint> telemetry = store->telemetry(1, t0, t0 + 31);
        rows = static_cast<int>(telemetry.size());
        ComputeResult r = computeTrips(telemetry, t0, t0 + 31, ComputeSettings{}, cps);
        benchmark::DoNotOptimize(r);
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_ComputeMonthFromStore)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);  // the store's SQL driver is a plugin
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
