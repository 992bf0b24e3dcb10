// Renders a view of a .chart to a PNG, to look at the map as a dispatcher will; also makes the
// synthetic city chart used by the benchmarks.
//   chart_snapshot city <out.chart> [blocksX blocksY [buildingsPerSide]]
//   chart_snapshot oldtown <out.chart>         (the dense old town; prints its centre lon lat)
//   chart_snapshot centre <in.chart>           (prints the centre of the chart's extent, lon lat)
//   chart_snapshot demo <out.chart>            (the demo town, when its generator is built)
//   chart_snapshot render <in.chart> <out.png> <scale> [width height [lon lat [ratio]]]
//     (ratio: device pixels per pixel, as on a 200 % screen; the picture has that many more)
//   chart_snapshot profile <in.chart> <scale> <frames> [width height [lon lat [threads]]]
//     (draws the view that many times, on one thread unless told, after a first frame, for a profiler:
//      valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*profiledFrames*')
#include "SyntheticCity.h"
#ifdef CHART_BENCH_DEMO_TOWN
#include "demo/DemoTown.h"
#endif
#include "chart/ChartCollection.h"
#include "chart/ChartReader.h"
#include "chart/ChartRenderer.h"
#include "core/Projection.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>

namespace {

// The frames a profiler counts; the first frame, which makes the label pictures, is not among them.
[[gnu::noinline]] void profiledFrames(const mvx::ChartRenderer& renderer, QImage& image, const mvx::MapView& view,
                    const mvx::Chart* chart, int frames) {
    for (int i = 0; i < frames; ++i) {
        QPainter painter(&image);
        renderer.render(painter, view, {chart});
    }
}

int profile(const QStringList& args) {
    mvx::ChartReader::Result r = mvx::ChartReader::read(args[2]);
    if (!r.chart) {
        std::fprintf(stderr, "load failed: code %d %s\n", r.code, qPrintable(r.error));
        return 1;
    }
    const QSize size(args.size() >= 7 ? args[5].toInt() : 1920, args.size() >= 7 ? args[6].toInt() : 1080);
    QPointF centre = r.chart->extent().center();
    if (args.size() >= 9) centre = mvx::lonLatToMercator(args[7].toDouble(), args[8].toDouble());
    mvx::MapView view(centre, 1.0, size);
    view.setScaleDenominator(args[3].toDouble(), mvx::ChartRenderer::DefaultDpi);
    mvx::ChartRenderer renderer;
    const int threads = args.size() >= 10 ? std::max(1, args[9].toInt()) : 1;
    renderer.setThreads(threads);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    mvx::RenderReport report;
    {
        QPainter first(&image);
        renderer.render(first, view, {r.chart.get()}, &report);
    }
    QElapsedTimer timer;
    timer.start();
    const int frames = std::max(1, args[4].toInt());
    profiledFrames(renderer, image, view, r.chart.get(), frames);
    int features = 0;
    for (int n : report.drawn) features += n;
    std::printf("scale 1:%.0f, %d features, %d buildings, %zu labels, %d bands, %.1f ms per frame on %d thread(s)\n",
                report.scaleDenominator, features, report.drawn[mvx::kindIndex(mvx::FeatureKind::Building)],
                report.labels.size(), report.bands, timer.nsecsElapsed() / 1e6 / frames, threads);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args[1] == "city") {
        SyntheticCity::Options o;
        if (args.size() >= 5) {
            o.blocksX = args[3].toInt();
            o.blocksY = args[4].toInt();
            if (args.size() >= 6) o.buildingsPerSide = args[5].toInt();
        }
        QString error;
        if (!SyntheticCity(o).writeChart(args[2], &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        return 0;
    }
    if (args.size() >= 3 && args[1] == "oldtown") {
        const SyntheticCity town(SyntheticCity::oldTown());
        QString error;
        if (!town.writeChart(args[2], &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("%.7f %.7f\n", town.centreLonLat().x(), town.centreLonLat().y());
        return 0;
    }
    if (args.size() >= 3 && args[1] == "centre") {
        mvx::ChartCollection charts;
        if (charts.load(args[2]) != 0) {
            std::fprintf(stderr, "load failed: %s\n", qPrintable(charts.lastError()));
            return 1;
        }
        const QPointF c = mvx::mercatorToLonLat(charts.extentMercator().center());
        std::printf("%.7f %.7f\n", c.x(), c.y());
        return 0;
    }
#ifdef CHART_BENCH_DEMO_TOWN
    if (args.size() >= 3 && args[1] == "demo") {
        QString error;
        if (!telvika::server::demo::writeDemoTownChart(args[2], 20091, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        return 0;
    }
#endif
    if (args.size() >= 5 && args[1] == "profile") return profile(args);
    if (args.size() < 5 || args[1] != "render") {
        std::fprintf(stderr, "usage: chart_snapshot city <out.chart> | render <in.chart> <out.png> <scale> [w h [lon lat]]\n");
        return 2;
    }
    mvx::ChartCollection charts;
    QElapsedTimer loadTimer;
    loadTimer.start();
    const int code = charts.load(args[2]);
    std::printf("loaded in %.0f ms\n", loadTimer.nsecsElapsed() / 1e6);
    if (code != 0) {
        std::fprintf(stderr, "load failed: code %d %s\n", code, qPrintable(charts.lastError()));
        return 1;
    }
    QSize size(args.size() >= 7 ? args[5].toInt() : 1920, args.size() >= 7 ? args[6].toInt() : 1080);
    QPointF centre = charts.extentMercator().center();
    if (args.size() >= 9) centre = mvx::lonLatToMercator(args[7].toDouble(), args[8].toDouble());
    mvx::RenderOptions options;
    if (args.size() >= 10) options.pixelRatio = args[9].toDouble();
    mvx::MapView view(centre, 1.0, size);
    view.setScaleDenominator(args[4].toDouble(), 96.0);
    // The same ground on a screen of more device pixels: as many more pixels, each that much smaller.
    size = QSize(qRound(size.width() * options.pixelRatio), qRound(size.height() * options.pixelRatio));
    view = mvx::MapView(view.center(), view.mercatorPerPixel() / options.pixelRatio, size);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    mvx::RenderReport report;
    charts.render(painter, view, options, &report);
    painter.end();
    // A rough figure for the one who looks at the picture; the benchmarks give the real ones.
    QElapsedTimer timer;
    timer.start();
    constexpr int Rounds = 5;
    for (int i = 0; i < Rounds; ++i) {
        QPainter again(&image);
        charts.render(again, view, options);
    }
    int features = 0, streetLabels = 0;
    for (int n : report.drawn) features += n;
    for (const auto& l : report.labels) streetLabels += mvx::isRoad(l.kind) ? 1 : 0;
    std::printf("scale 1:%.0f, %d features, %d buildings, %zu labels (%d street labels), %.1f ms per redraw\n",
                report.scaleDenominator, features, report.drawn[mvx::kindIndex(mvx::FeatureKind::Building)],
                report.labels.size(), streetLabels, timer.nsecsElapsed() / 1e6 / Rounds);
    return image.save(args[3]) ? 0 : 1;
}
