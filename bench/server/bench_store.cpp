// The server's store: bulk telemetry writes, the read behind a computation, and (where the demo
// generator is built) storing the whole 14-day demo fleet.
#include "common/LargePages.h"
#include "common/OleDate.h"
#include "store/Store.h"

#ifdef TELVIKA_HAVE_DEMO
#include "demo/DemoFleet.h"
#endif

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

using namespace telvika;
using namespace telvika::server;

namespace {

QVector<TelemetryPoint> oneDay(double day, int points) {
    QVector<TelemetryPoint> out(points);
    for (int i = 0; i < points; ++i) {
        out[i].time = day + i / double(points);
        out[i].lat = 55.7 + i * 1e-6;
        out[i].lon = 37.6 + i * 1e-6;
        out[i].speedKmh = 40.0;
        out[i].odometerM = i * 10.0;
    }
    return out;
}

std::unique_ptr<Store> storeWithVehicle(const QTemporaryDir& dir, const QString& name) {
    auto store = std::make_unique<Store>(dir.filePath(name));
    store->addGroup({QStringLiteral("g"), QStringLiteral("G")});
    store->addVehicle({1, QStringLiteral("g"), QStringLiteral("A"), QStringLiteral("N"), QString(), 0, 0, 0});
    return store;
}

void BM_AppendTelemetry(benchmark::State& state) {
    QTemporaryDir dir;
    auto store = storeWithVehicle(dir, QStringLiteral("append.db"));
    const int rows = static_cast<int>(state.range(0));
    double day = 46000.0;
    for (auto _ : state) {
        store->appendTelemetry(1, oneDay(day, rows));
        day += 1.0;
    }
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_AppendTelemetry)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ReadOneDayOfThirty(benchmark::State& state) {
    QTemporaryDir dir;
    auto store = storeWithVehicle(dir, QStringLiteral("read.db"));
    for (int d = 0; d < 30; ++d) store->appendTelemetry(1, oneDay(46000.0 + d, 86400 / 10));
    for (auto _ : state) benchmark::DoNotOptimize(store->telemetry(1, 46015.0, 46016.0));
    state.SetItemsProcessed(state.iterations() * 8640);
}
BENCHMARK(BM_ReadOneDayOfThirty)->Unit(benchmark::kMillisecond);

#ifdef TELVIKA_HAVE_DEMO
void BM_StoreDemoFleet(benchmark::State& state) {
    demo::DemoOptions options;
    options.endTime = 46083.5;
    const demo::DemoFleet fleet = demo::generateDemoFleet(options);
    qint64 rows = 0;
    for (const auto& g : fleet.groups)
        for (const auto& v : g.vehicles) rows += v.telemetry.size();
    for (auto _ : state) {
        QTemporaryDir dir;
        Store store(dir.filePath(QStringLiteral("demo.db")));
        store.importFleet(fleet);
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_StoreDemoFleet)->Iterations(1)->Unit(benchmark::kMillisecond);

// Opening a store of the whole demo fleet: the page check at opening reads the whole file (once
// per process).
void BM_OpenDemoStoreWithCheck(benchmark::State& state) {
    demo::DemoOptions options;
    options.endTime = 46083.5;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("demo.db"));
    Store(path).importFleet(demo::generateDemoFleet(options));
    for (auto _ : state) Store opened(path);
    state.counters["MB"] = static_cast<double>(QFileInfo(path).size()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_OpenDemoStoreWithCheck)->Iterations(1)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

int main(int argc, char** argv) {
    telvika::useLargeMemoryPages(argv);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
