// Base-map redraws on real data: the OpenStreetMap extract of Liechtenstein (tests/data/osm),
// converted once per run with GDAL's OSM driver as `ogr2ogr -f GPKG` does. Views: Vaduz centre
// at every scale from 1:2000 to 1:50000, the country's centre from 1:100000 to 1:500000,
// 1920x1080, on two threads as the control draws and on one.
#include "chart/ChartReader.h"
#include "chart/ChartRenderer.h"
#include "core/Projection.h"

#include <benchmark/benchmark.h>

#include <gdal_priv.h>
#include <gdal_utils.h>

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <memory>

namespace {

const QPointF VaduzLonLat(9.5209, 47.1410);

// The chart, made on first use; empty when GDAL cannot convert the extract.
const mvx::Chart* liechtenstein() {
    static const std::unique_ptr<mvx::Chart> chart = []() -> std::unique_ptr<mvx::Chart> {
        static QTemporaryDir dir;
        const QByteArray source = TELVIKA_SOURCE_DIR "/tests/data/osm/liechtenstein.osm.pbf";
        const QByteArray target = dir.filePath("liechtenstein.chart").toUtf8();
        GDALAllRegister();
        GDALDatasetH in = GDALOpenEx(source.constData(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
        if (in == nullptr) return nullptr;
        const char* const args[] = {"-f", "GPKG", nullptr};
        GDALVectorTranslateOptions* options = GDALVectorTranslateOptionsNew(const_cast<char**>(args), nullptr);
        CPLPushErrorHandler(CPLQuietErrorHandler);  // the .chart extension warning
        GDALDatasetH out = GDALVectorTranslate(target.constData(), nullptr, 1, &in, options, nullptr);
        CPLPopErrorHandler();
        GDALVectorTranslateOptionsFree(options);
        GDALClose(in);
        if (out == nullptr) return nullptr;
        GDALClose(out);
        mvx::ChartReader::Result r = mvx::ChartReader::read(QString::fromUtf8(target));
        return std::move(r.chart);
    }();
    return chart.get();
}

// Arguments: scale, threads. Vaduz below 1:100000, the country's centre above.
void BM_ChartRedrawLiechtenstein(benchmark::State& state) {
    const mvx::Chart* chart = liechtenstein();
    if (chart == nullptr) {
        state.SkipWithError("the Liechtenstein chart could not be made");
        return;
    }
    const double scale = static_cast<double>(state.range(0));
    const QPointF centre = scale < 100000 ? mvx::lonLatToMercator(VaduzLonLat.x(), VaduzLonLat.y())
                                          : chart->extent().center();
    mvx::MapView view(centre, 1.0, QSize(1920, 1080));
    view.setScaleDenominator(scale, mvx::ChartRenderer::DefaultDpi);
    mvx::ChartRenderer renderer;
    renderer.setThreads(static_cast<int>(state.range(1)));
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    mvx::RenderReport report;
    {
        QPainter warm(&image);  // labels are kept between frames, as in the control
        renderer.render(warm, view, {chart}, &report);
    }
    for (auto _ : state) {
        QPainter painter(&image);
        renderer.render(painter, view, {chart});
    }
    int drawn = 0;
    for (int n : report.drawn) drawn += n;
    state.counters["features"] = drawn;
    state.counters["buildings"] = report.drawn[mvx::kindIndex(mvx::FeatureKind::Building)];
    state.counters["labels"] = static_cast<double>(report.labels.size());
    state.counters["bands"] = report.bands;
}
BENCHMARK(BM_ChartRedrawLiechtenstein)
    ->ArgsProduct({{2000, 5000, 10000, 20000, 50000, 100000, 200000, 500000}, {2, 1}})
    ->ArgNames({"scale", "threads"})
    ->MinTime(0.2)  // sixteen views: a shorter minimum keeps the run time reasonable
    ->MeasureProcessCPUTime()  // CPU of both drawing threads
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
