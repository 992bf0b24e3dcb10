// Base maps: loading a ~20 MB chart, full redraws of a 1920x1080 view, and the cached repaint
// that the map control does when the view has not changed.
//
// Data: a synthetic city written as OpenStreetMap XML and converted with GDAL's OSM driver (about
// 100 x 80 blocks, 20 MB as a GeoPackage, ~71 000 ways), made once per run in a temporary folder,
// and, when the demo generator is built, the demo town.
#include "common/LargePages.h"
#include "SyntheticCity.h"
#include "chart/ChartCollection.h"
#include "chart/ChartReader.h"
#include "chart/ChartRenderer.h"
#include "core/Projection.h"
#ifdef CHART_BENCH_DEMO_TOWN
#include "demo/DemoTown.h"
#endif

#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <memory>

namespace {

QTemporaryDir& dataDir() {
    static QTemporaryDir dir;
    return dir;
}

// The big city chart, made on first use.
const QString& cityChart() {
    static const QString path = [] {
        SyntheticCity::Options o;
        o.blocksX = 100;
        o.blocksY = 80;
        o.buildingsPerSide = 4;
        const QString p = dataDir().filePath("city.chart");
        QString error;
        if (!SyntheticCity(o).writeChart(p, &error)) qFatal("%s", qPrintable(error));
        return p;
    }();
    return path;
}

const QString& demoTownChart() {
    static const QString path = [] {
#ifdef CHART_BENCH_DEMO_TOWN
        const QString p = dataDir().filePath("demo.chart");
        QString error;
        if (telvika::server::demo::writeDemoTownChart(p, 20091, &error)) return p;
#endif
        return QString();
    }();
    return path;
}

mvx::MapView viewAt(const QRectF& extent, double scale) {
    mvx::MapView view(extent.center(), 1.0, QSize(1920, 1080));
    view.setScaleDenominator(scale, mvx::ChartRenderer::DefaultDpi);
    return view;
}

void BM_ChartLoad(benchmark::State& state) {
    const QString& path = cityChart();
    for (auto _ : state) {
        mvx::ChartCollection charts;
        if (charts.load(path) != 0) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(charts.extentMercator());
    }
    state.counters["MB"] = static_cast<double>(QFileInfo(path).size()) / 1e6;
}
BENCHMARK(BM_ChartLoad)->Unit(benchmark::kMillisecond)->Iterations(5);

// A full redraw, as after any change of the view; labels are kept between frames as in the control.
void renderBenchmark(benchmark::State& state, const QString& path) {
    if (path.isEmpty()) {
        state.SkipWithError("chart not available");
        return;
    }
    mvx::ChartCollection charts;
    if (charts.load(path) != 0) {
        state.SkipWithError("load failed");
        return;
    }
    const mvx::MapView view = viewAt(charts.extentMercator(), static_cast<double>(state.range(0)));
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    {
        QPainter warm(&image);
        charts.render(warm, view);
    }
    for (auto _ : state) {
        QPainter painter(&image);
        charts.render(painter, view);
    }
}

void BM_ChartRedrawCity(benchmark::State& state) { renderBenchmark(state, cityChart()); }
BENCHMARK(BM_ChartRedrawCity)->Arg(5000)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

void BM_ChartRedrawDemoTown(benchmark::State& state) { renderBenchmark(state, demoTownChart()); }
BENCHMARK(BM_ChartRedrawDemoTown)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

// The same on the calling thread only: the figure to set against a single-threaded renderer.
void renderOneThread(benchmark::State& state, const QString& path) {
    if (path.isEmpty()) {
        state.SkipWithError("chart not available");
        return;
    }
    const mvx::ChartReader::Result r = mvx::ChartReader::read(path);
    if (!r.chart) {
        state.SkipWithError("chart not available");
        return;
    }
    const mvx::MapView view = viewAt(r.chart->extent(), static_cast<double>(state.range(0)));
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    mvx::ChartRenderer renderer;
    renderer.setThreads(1);
    {
        QPainter warm(&image);
        renderer.render(warm, view, {r.chart.get()});
    }
    for (auto _ : state) {
        QPainter painter(&image);
        renderer.render(painter, view, {r.chart.get()});
    }
}

void BM_ChartRedrawCityOneThread(benchmark::State& state) { renderOneThread(state, cityChart()); }
BENCHMARK(BM_ChartRedrawCityOneThread)->Arg(5000)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

void BM_ChartRedrawDemoTownOneThread(benchmark::State& state) { renderOneThread(state, demoTownChart()); }
BENCHMARK(BM_ChartRedrawDemoTownOneThread)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

// The first frame of a new renderer: every label image is made anew.
void BM_ChartFirstFrameCity(benchmark::State& state) {
    const mvx::ChartReader::Result r = mvx::ChartReader::read(cityChart());
    if (!r.chart) {
        state.SkipWithError("load failed");
        return;
    }
    const mvx::MapView view = viewAt(r.chart->extent(), 20000);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        mvx::ChartRenderer renderer;
        QPainter painter(&image);
        renderer.render(painter, view, {r.chart.get()});
    }
}
BENCHMARK(BM_ChartFirstFrameCity)->Unit(benchmark::kMillisecond);

// What a repaint without a view change costs: the cached picture blitted onto the widget's buffer.
void BM_ChartCachedRepaint(benchmark::State& state) {
    QImage cache(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    cache.fill(QColor(0xf2, 0xef, 0xe9));
    QImage target(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&target);
        painter.drawImage(0, 0, cache);
    }
}
BENCHMARK(BM_ChartCachedRepaint)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    telvika::useLargeMemoryPages(argv);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
