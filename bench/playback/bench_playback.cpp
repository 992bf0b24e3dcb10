// Playback figures: the cost of one tick of the clock through the marker's paint with the demo map
// at 1920x1080 and a 100,000-point track, and the segment search on a 1,000,000-point track.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <vector>

#include "common/LargePages.h"
#include "PlaybackBenchWindow.h"
#include "common/OleDate.h"
#include "playback/TrackPosition.h"

namespace {

TTrackData longTrack(int points) {
    QVector<double> values;
    values.reserve(points * 5);
    for (int k = 0; k < points; ++k) values << 46000.25 + k / 86400.0 << 49.0 << 55.0 << k * 10.0 << 36.0;
    return TTrackData(values);
}

// The scan is linear: its cost grows with the position of the moment in the track.
void BM_FindSegment(benchmark::State& state) {
    const int points = int(state.range(0));
    const TTrackData track = longTrack(points);
    const double fraction = state.range(1) / 100.0;
    const telvika::TDateTime moment = 46000.25 + fraction * (points - 1) / 86400.0;
    int index = 0;
    for (auto _ : state) {
        index = telvika::playback::findSegment(track, points, moment, index);
        benchmark::DoNotOptimize(index);
    }
    state.counters["points"] = points;
}
BENCHMARK(BM_FindSegment)
    ->ArgNames({"points", "at%"})
    ->Args({1000000, 50})
    ->Args({1000000, 100})
    ->Args({86400, 100})
    ->Unit(benchmark::kMicrosecond);

// One tick at 600x from the middle of the track, the wall clock stepping 1 ms per tick (the timer's
// interval at that speed), so the marker moves 0.6 s of track per tick and the map follows it now
// and then (each recentring draws the whole map anew).
void BM_Tick(benchmark::State& state) {
    TPlaybackBenchWindow bench;
    if (!bench.start(QSize(1920, 1080), 100000)) {
        state.SkipWithError(bench.error.toStdString().c_str());
        return;
    }
    TForm1& w = *bench.w;
    telvika::TDateTime now = 45990.5;
    telvika::setNowSource([&] { return now; });
    w.Timer1->disconnect(&w);                         // ticks come only from the loop below
    w.TrackBar->setValue(w.TrackBar->maximum() / 2);  // mid-track: the segment scan covers half of it
    w.btnPlayClick();
    w.Timer1Timer();  // the first picture of the map
    // Per-tick figures beside the mean: the median and the 99th percentile of the processor time of
    // single ticks (the map's full redraw after a recentring is the rare slow tick), and how often
    // the view was recentred.
    std::vector<double> cpuMs;
    int recentred = 0;
    double lat0 = 0, lon0 = 0, lat = 0, lon = 0;
    for (auto _ : state) {
        now += 0.001 / 86400.0;
        w.MVCtrl->GetCenter(lat0, lon0);
        const std::clock_t before = std::clock();
        w.Timer1Timer();
        cpuMs.push_back(double(std::clock() - before) * 1000.0 / CLOCKS_PER_SEC);
        w.MVCtrl->GetCenter(lat, lon);
        if (lat != lat0 || lon != lon0) ++recentred;
        if (!w.Timer1->isActive()) {  // the end of the track: play it again
            state.PauseTiming();
            w.btnPlayClick();
            state.ResumeTiming();
        }
    }
    telvika::setNowSource({});
    state.counters["map_px"] = double(w.MVCtrl->widget()->width()) * w.MVCtrl->widget()->height();
    if (!cpuMs.empty()) {
        std::sort(cpuMs.begin(), cpuMs.end());
        state.counters["tick_cpu_median_ms"] = cpuMs[cpuMs.size() / 2];
        state.counters["tick_cpu_p99_ms"] = cpuMs[cpuMs.size() * 99 / 100];
        state.counters["recentrings"] = recentred;
    }
}
BENCHMARK(BM_Tick)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// Of that, the map control's immediate repaint of the whole 1920x1080 view with the marker.
void BM_MapRepaint(benchmark::State& state) {
    TPlaybackBenchWindow bench;
    if (!bench.start(QSize(1920, 1080), 1000)) {
        state.SkipWithError(bench.error.toStdString().c_str());
        return;
    }
    TForm1& w = *bench.w;
    w.TrackBar->setValue(10);  // a seek shows the marker
    for (auto _ : state) w.MVCtrl->RepaintNow();
}
BENCHMARK(BM_MapRepaint)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    telvika::useLargeMemoryPages(argv);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
