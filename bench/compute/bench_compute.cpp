// A month of 1 Hz telemetry of one vehicle (about 2.6 million records) divided into trips and
// entries: the computation alone, and the whole path from the store to a ready result.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <memory>

#include "common/LargePages.h"
#include "MonthAtOneHertz.h"
#include "compute/Computation.h"
#include "store/Store.h"

using namespace telvika::server;

namespace {

constexpr double t0 = MonthStart;

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
    telvika::useLargeMemoryPages(argv);
    QCoreApplication app(argc, argv);  // the store's SQL driver is a plugin
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
