// Base-map redraws of a dense old town (SyntheticCity::oldTown(): small crooked blocks, houses
// wall to wall, short named streets, its core mapped in a real centre's detail), the kind of real
// city centre the ordinary synthetic city underestimates. Full 1920x1080 redraws centred on the
// town centre at every scale from 1:2000 to 1:500000, on two threads as the control draws and on
// one; 3840x2160 views (a 4K screen) at the scales of a town; and the 1920x1080 view on a 200 %
// screen, drawn at its 3840x2160 device pixels. Counters: what the view holds.
#include "SyntheticCity.h"
#include "chart/ChartReader.h"
#include "chart/ChartRenderer.h"
#include "core/Projection.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <memory>

namespace {

// The chart, made on first use; null when it cannot be made.
const mvx::Chart* oldTown() {
    static const std::unique_ptr<mvx::Chart> chart = []() -> std::unique_ptr<mvx::Chart> {
        static QTemporaryDir dir;
        const QString path = dir.filePath("oldtown.chart");
        QString error;
        if (!SyntheticCity(SyntheticCity::oldTown()).writeChart(path, &error)) return nullptr;
        mvx::ChartReader::Result r = mvx::ChartReader::read(path);
        return std::move(r.chart);
    }();
    return chart.get();
}

void redraw(benchmark::State& state, int threads, QSize size = QSize(1920, 1080), double ratio = 1.0) {
    const mvx::Chart* chart = oldTown();
    if (chart == nullptr) {
        state.SkipWithError("the old-town chart could not be made");
        return;
    }
    const QPointF c = SyntheticCity(SyntheticCity::oldTown()).centreLonLat();
    mvx::MapView view(mvx::lonLatToMercator(c.x(), c.y()), 1.0, size);
    view.setScaleDenominator(static_cast<double>(state.range(0)), mvx::ChartRenderer::DefaultDpi);
    // On a screen of more device pixels, as many more of them, each that much smaller.
    view = mvx::MapView(view.center(), view.mercatorPerPixel() / ratio,
                        QSize(qRound(size.width() * ratio), qRound(size.height() * ratio)));
    mvx::RenderOptions options;
    options.pixelRatio = ratio;
    mvx::ChartRenderer renderer;
    renderer.setThreads(threads);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    mvx::RenderReport report;
    {
        QPainter warm(&image);  // labels are kept between frames, as in the control
        renderer.render(warm, view, {chart}, &report, options);
    }
    for (auto _ : state) {
        QPainter painter(&image);
        renderer.render(painter, view, {chart}, nullptr, options);
    }
    int drawn = 0, streetLabels = 0;
    for (int n : report.drawn) drawn += n;
    for (const auto& l : report.labels) streetLabels += mvx::isRoad(l.kind) ? 1 : 0;
    state.counters["features"] = drawn;
    state.counters["buildings"] = report.drawn[mvx::kindIndex(mvx::FeatureKind::Building)];
    state.counters["labels"] = static_cast<double>(report.labels.size());
    state.counters["street_labels"] = streetLabels;
    state.counters["bands"] = report.bands;
}

void BM_ChartRedrawOldTown(benchmark::State& state) { redraw(state, 2); }
void BM_ChartRedrawOldTownOneThread(benchmark::State& state) { redraw(state, 1); }
void BM_ChartRedrawOldTown4K(benchmark::State& state) { redraw(state, 2, QSize(3840, 2160)); }
void BM_ChartRedrawOldTownAt200Percent(benchmark::State& state) { redraw(state, 2, QSize(1920, 1080), 2.0); }

// 1:2000 to 1:500000; a shorter minimum time keeps the whole program's run time reasonable.
void scales(benchmark::internal::Benchmark* b) {
    for (int s : {2000, 5000, 10000, 20000, 50000, 100000, 200000, 500000}) b->Arg(s);
    b->MinTime(0.2)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_ChartRedrawOldTown)->Apply(scales);
BENCHMARK(BM_ChartRedrawOldTownOneThread)->Apply(scales);

// The scales at which a town is looked at closely.
void townScales(benchmark::internal::Benchmark* b) {
    for (int s : {2000, 5000, 10000}) b->Arg(s);
    b->MinTime(0.2)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_ChartRedrawOldTown4K)->Apply(townScales);
BENCHMARK(BM_ChartRedrawOldTownAt200Percent)->Apply(townScales);

}  // namespace
