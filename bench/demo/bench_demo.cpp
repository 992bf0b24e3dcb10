// Generation of the demo fleet (14 days, every vehicle) and of the demo town's map.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "demo/DemoFleet.h"
#include "demo/DemoLive.h"
#include "demo/DemoTown.h"

using namespace telvika::server::demo;

namespace {

constexpr double endTime = 46000.5;

void BM_GenerateDemoFleet(benchmark::State& state) {
    demoTown(20091);  // the town is built once per process; the fleet is what is measured
    qsizetype rows = 0;
    for (auto _ : state) {
        const DemoFleet fleet = generateDemoFleet(DemoOptions{20091, endTime, 14});
        rows = 0;
        for (const DemoGroup& g : fleet.groups)
            for (const DemoVehicle& v : g.vehicles) rows += v.telemetry.size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_GenerateDemoFleet)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WriteDemoTownChart(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("town.chart"));
    for (auto _ : state) {
        QString error;
        if (!writeDemoTownChart(path, 20091, &error)) state.SkipWithError(error.toStdString().c_str());
    }
}
BENCHMARK(BM_WriteDemoTownChart)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LiveTenSeconds(benchmark::State& state) {
    const DemoFleet fleet = generateDemoFleet(DemoOptions{20091, endTime, 1});
    DemoLive live(fleet, 20091);
    double now = endTime;
    for (auto _ : state) {
        now += 10.0 / 86400.0;
        benchmark::DoNotOptimize(live.advanceTo(now));
    }
}
BENCHMARK(BM_LiveTenSeconds)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
