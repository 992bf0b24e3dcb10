// The speed chart of a 1,000,000-point trip in a 1200 x 220 panel: a full redraw of its picture
// (the whole trip, and zoomed to a tenth), and one cursor step as a tick makes it (the cursor moved
// and its columns painted); the baseline is one bare pass over the points' times and speeds.
// The street under the marker on the OpenStreetMap extract of Liechtenstein, at points around
// Vaduz; the baseline measures every named road of the chart without the index.
#include "common/LargePages.h"
#include "analysis/SpeedChartView.h"
#include "chart/ChartReader.h"
#include "chart/StreetFinder.h"
#include "core/Projection.h"

#include <benchmark/benchmark.h>

#include <gdal_priv.h>
#include <gdal_utils.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cmath>
#include <memory>
#include <random>

using namespace telvika;
using namespace telvika::analysis;

namespace {

constexpr int Points = 1000000;
const QSize PanelSize(1200, 220);

// A day of driving sampled every 86.4 ms: speeds wandering between 0 and 110 km/h with stops.
void fillSeries(TSpeedSeries& series) {
    std::vector<double> t(Points);
    std::vector<float> v(Points);
    std::mt19937 random(7);
    std::normal_distribution<float> step(0.0f, 0.8f);
    float speed = 40;
    for (int k = 0; k < Points; ++k) {
        t[static_cast<size_t>(k)] = k * 0.0864;
        speed = std::clamp(speed + step(random), 0.0f, 110.0f);
        v[static_cast<size_t>(k)] = (k / 50000) % 5 == 4 ? 0.0f : speed;
    }
    series.assign(std::move(t), std::move(v), 45000.0);
}

TSpeedChartView& chart() {
    static TSpeedChartView view = [] {
        TSpeedChartView v;
        fillSeries(v.data().series);
        v.setSize(PanelSize);
        v.reset();
        return v;
    }();
    return view;
}

void BM_SpeedChartRedraw_baseline(benchmark::State& state) {
    const TSpeedSeries& s = chart().data().series;
    for (auto _ : state) {
        double top = 0, sum = 0;
        for (int k = 0; k < s.size(); ++k) {
            top = std::max(top, s.speedOf(k));
            sum += s.secondsOf(k);
        }
        benchmark::DoNotOptimize(top + sum);
    }
}

void BM_SpeedChartRedraw(benchmark::State& state) {
    TSpeedChartView& view = chart();
    view.axis().showWhole();
    if (state.range(0) > 1) view.axis().zoom(view.plot().center().x(), static_cast<double>(state.range(0)));
    for (auto _ : state) {
        view.invalidate();
        view.redraw();
    }
    view.axis().showWhole();
    view.invalidate();
}

void BM_SpeedChartCursorStep(benchmark::State& state) {
    TSpeedChartView& view = chart();
    view.redraw();
    QImage screen(PanelSize, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&screen);
    const double t0 = view.data().series.t0();
    const double span = view.data().series.span();
    double seconds = 0;
    for (auto _ : state) {
        seconds = std::fmod(seconds + span / 2000.0, span);  // a tick moves the cursor a column or so
        const QRect dirty = view.moveCursor(t0 + seconds / SecondsPerDay);
        view.paint(painter, dirty.isEmpty() ? QRect(0, 0, 1, 1) : dirty);
    }
}

// The Liechtenstein chart, converted once per run as `ogr2ogr -f GPKG` does.
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
        CPLPushErrorHandler(CPLQuietErrorHandler);
        GDALDatasetH out = GDALVectorTranslate(target.constData(), nullptr, 1, &in, options, nullptr);
        CPLPopErrorHandler();
        GDALVectorTranslateOptionsFree(options);
        GDALClose(in);
        if (out == nullptr) return nullptr;
        GDALClose(out);
        return std::move(mvx::ChartReader::read(QString::fromUtf8(target)).chart);
    }();
    return chart.get();
}

// Points within 2 km of Vaduz centre, the same ones every run.
std::vector<QPointF> placesAroundVaduz() {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> lon(9.50, 9.54), lat(47.125, 47.155);
    std::vector<QPointF> places(1000);
    for (QPointF& p : places) p = QPointF(lon(random), lat(random));
    return places;
}

void BM_PlaceLookup_baseline(benchmark::State& state) {
    const mvx::Chart* c = liechtenstein();
    if (c == nullptr) return state.SkipWithError("the Liechtenstein chart could not be made");
    const std::vector<QPointF> places = placesAroundVaduz();
    size_t i = 0;
    for (auto _ : state) {
        const QPointF m = mvx::lonLatToMercator(places[i].x(), places[i].y());
        i = (i + 1) % places.size();
        double best = 1e300;
        for (const mvx::ChartFeature& f : c->features()) {
            if (f.name < 0 || !mvx::isRoad(f.kind)) continue;
            for (std::uint32_t p = f.firstPart; p < f.firstPart + f.partCount; ++p) {
                const mvx::ChartPart& part = c->parts()[p];
                for (std::uint32_t k = 0; k < part.pointCount; ++k) {
                    const QPointF d = c->points()[part.firstPoint + k] - m;
                    best = std::min(best, d.x() * d.x() + d.y() * d.y());
                }
            }
        }
        benchmark::DoNotOptimize(best);
    }
}

void BM_PlaceLookup(benchmark::State& state) {
    const mvx::Chart* c = liechtenstein();
    if (c == nullptr) return state.SkipWithError("the Liechtenstein chart could not be made");
    const std::vector<const mvx::Chart*> charts{c};
    const std::vector<QPointF> places = placesAroundVaduz();
    size_t i = 0, found = 0, houses = 0;
    for (auto _ : state) {
        const mvx::StreetPlace p = mvx::StreetFinder::nearest(charts, places[i].x(), places[i].y(), 200.0);
        i = (i + 1) % places.size();
        found += p.found;
        houses += !p.house.isEmpty();
    }
    state.counters["found"] = benchmark::Counter(static_cast<double>(found), benchmark::Counter::kAvgIterations);
    state.counters["houses"] = benchmark::Counter(static_cast<double>(houses), benchmark::Counter::kAvgIterations);
}

}  // namespace

BENCHMARK(BM_SpeedChartRedraw_baseline)->Name("BM_SpeedChartRedraw/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpeedChartRedraw)->Name("BM_SpeedChartRedraw/1000000")->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpeedChartRedraw)->Name("BM_SpeedChartRedraw/1000000/zoom")->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpeedChartCursorStep)->Name("BM_SpeedChartCursorStep/1000000")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlaceLookup_baseline)->Name("BM_PlaceLookup/baseline")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlaceLookup)->Name("BM_PlaceLookup/liechtenstein")->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    telvika::useLargeMemoryPages(argv);
    QGuiApplication app(argc, argv);  // fonts for the chart's labels
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
