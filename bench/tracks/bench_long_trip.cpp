// The player with a 12-day trip at 1 Hz (1,000,000 points, LongTripWorld): importing its GPX file
// with telvika-admin, starting with that trip restored, loading it from the server to its picture
// on the map.
#include <QApplication>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include "common/LargePages.h"
#include "LongTripWorld.h"
#include "mvx/IMVControl.h"

namespace {

std::unique_ptr<TLongTripWorld> world;  // made by the first benchmark, closed before the application ends

bool ready(benchmark::State& state) {
    if (!world) world = std::make_unique<TLongTripWorld>();
    if (!world->ok()) state.SkipWithError(world->error.toStdString().c_str());
    return world->ok();
}

// telvika-admin import of the 12-day GPX file (94 MB) into a store that holds none of it: measured
// once, when the world is made.
void BM_ImportLongGpx(benchmark::State& state) {
    if (!ready(state)) return;
    for (auto _ : state) state.SetIterationTime(world->importSeconds);
    state.counters["points"] = TLongTripWorld::Points;
}
BENCHMARK(BM_ImportLongGpx)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// A new window to usable (groups listed, maps loaded, settings restored) when the restored
// selection is the long trip; the counter is the time until that trip is loaded and drawn.
void BM_StartupWithLongTrip(benchmark::State& state) {
    if (!ready(state)) return;
    double shown = 0;
    for (auto _ : state) {
        double usable = 0;
        auto w = world->window(&usable, &shown);
        state.SetIterationTime(usable);
        w->close();
    }
    state.counters["trip_shown_s"] = shown;
}
BENCHMARK(BM_StartupWithLongTrip)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// LoadTrack of the long trip from the server through the map's repaint (not inlined, so that a
// profiler can be switched on around it: valgrind --toggle-collect='*loadAndDraw*').
__attribute__((noinline)) void loadAndDraw(TForm1& w) {
    w.LoadTrack(1);
    w.MVCtrl->widget()->repaint();
}

// LoadTrack of the long trip from the server through the map's repaint at 1920x1080.
void BM_LoadLongTrack(benchmark::State& state) {
    if (!ready(state)) return;
    auto w = world->window();
    w->MVCtrl->widget()->setFixedSize(1920, 1080);
    w->resize(w->sizeHint().expandedTo(QSize(2220, 1140)));
    QTest::qWait(50);
    for (auto _ : state) loadAndDraw(*w);
    state.counters["points"] = w->data.TrackPointCount;
    w->close();
}
BENCHMARK(BM_LoadLongTrack)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    telvika::useLargeMemoryPages(argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    world.reset();  // closes the server
    return 0;
}
