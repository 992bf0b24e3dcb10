// Renders a view of a .chart to a PNG, to look at the map as a dispatcher will; also makes the
// synthetic city chart used by the benchmarks.
//   chart_snapshot city <out.chart> [blocksX blocksY [buildingsPerSide]]
//   chart_snapshot oldtown <out.chart>         (the dense old town; prints its centre lon lat)
//   chart_snapshot centre <in.chart>           (prints the centre of the chart's extent, lon lat)
//   chart_snapshot demo <out.chart>            (the demo town, when its generator is built)
//   chart_snapshot render <in.chart> <out.png> <scale> [width height [lon lat]]
#include "SyntheticCity.h"
#ifdef CHART_BENCH_DEMO_TOWN
#include "demo/DemoTown.h"
#endif
#include "chart/ChartCollection.h"
#include "core/Projection.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

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
    const QSize size(args.size() >= 7 ? args[5].toInt() : 1920, args.size() >= 7 ? args[6].toInt() : 1080);
    QPointF centre = charts.extentMercator().center();
    if (args.size() >= 9) centre = mvx::lonLatToMercator(args[7].toDouble(), args[8].toDouble());
    mvx::MapView view(centre, 1.0, size);
    view.setScaleDenominator(args[4].toDouble(), 96.0);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    mvx::RenderReport report;
    charts.render(painter, view, report);
    painter.end();
    // A rough figure for the one who looks at the picture; the benchmarks give the real ones.
    QElapsedTimer timer;
    timer.start();
    constexpr int Rounds = 5;
    for (int i = 0; i < Rounds; ++i) {
        QPainter again(&image);
        charts.render(again, view);
    }
    int features = 0, streetLabels = 0;
    for (int n : report.drawn) features += n;
    for (const auto& l : report.labels) streetLabels += mvx::isRoad(l.kind) ? 1 : 0;
    std::printf("scale 1:%.0f, %d features, %d buildings, %zu labels (%d street labels), %.1f ms per redraw\n",
                report.scaleDenominator, features, report.drawn[mvx::kindIndex(mvx::FeatureKind::Building)],
                report.labels.size(), streetLabels, timer.nsecsElapsed() / 1e6 / Rounds);
    return image.save(args[3]) ? 0 : 1;
}
