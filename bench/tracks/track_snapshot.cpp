// Draws the long drive's track over the Liechtenstein map as the control does, to look at it and
// to profile its drawing:
//   track_snapshot render OUT.png SCALE [SECONDS [LON LAT [all|thinned]]]
//       the view 1920x1080; "all" draws every point, "thinned" the drawing before the cache
//   track_snapshot compare A.png B.png DIFF.png
//       how far two pictures differ: pixels by their largest channel difference; DIFF shows where
//   track_snapshot profile SCALE [SECONDS]
//       draws ten new views (a new scale each) inside profiledDraws(), for
//       valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*profiledDraws*'
#include "IconLibrary.h"
#include "LongDrive.h"
#include "MapTable.h"
#include "ObjectLayer.h"
#include "ObjectRenderer.h"
#include "chart/ChartCollection.h"
#include "core/Projection.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

using namespace mvx;

namespace {

void loadTrack(ObjectLayer& layer, MapTable& base, MapTable& line, int seconds) {
    const QString text = QStringLiteral("L E ") + longdrive::coordinateText(longdrive::drive(seconds));
    for (MapTable* t : {&base, &line}) {
        t->AddField(QStringLiteral("TEXT"), QStringLiteral("metr"), QStringLiteral("metr"));
        t->AddRecord();
        t->SetFieldValue(text, 0);
    }
    layer.load(QStringLiteral("name=nametab1;metrics=[metr]"), QStringLiteral("l rgb(0,0,0) 4"), base);
    layer.load(QStringLiteral("name=nametab2;metrics=[metr]"), QStringLiteral("l rgb(255,0,0) 2"), line);
}

MapView viewAt(double scale, double lon, double lat) {
    MapView view(lonLatToMercator(lon, lat), 1.0, QSize(1920, 1080));
    view.setScaleDenominator(scale, 96.0);
    return view;
}

// Not inlined, so that callgrind can be switched on around it.
__attribute__((noinline)) void profiledDraws(QImage& image, MapView view, const ObjectLayer& layer) {
    ObjectRenderer renderer;
    IconLibrary icons;
    const double mpp = view.mercatorPerPixel();
    for (int i = 1; i <= 10; ++i) {
        view.setMercatorPerPixel(mpp * (1.0 + 1e-9 * i));
        QPainter p(&image);
        renderer.render(p, view, layer, icons);
    }
}

}  // namespace

int compare(const QString& a, const QString& b, const QString& diffPath) {
    const QImage x = QImage(a).convertToFormat(QImage::Format_ARGB32), y = QImage(b).convertToFormat(QImage::Format_ARGB32);
    if (x.size() != y.size() || x.isNull()) return 1;
    QImage diff(x.size(), QImage::Format_ARGB32);
    long over[4] = {0, 0, 0, 0}, inside = 0;
    const int limits[4] = {8, 32, 64, 128};
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            const int d = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
            worst = std::max(worst, d);
            for (int k = 0; k < 4; ++k) over[k] += d > limits[k];
            // A difference where the second picture is uniform around the pixel is no edge's.
            if (d > 64 && row > 0 && col > 0 && row + 1 < x.height() && col + 1 < x.width()) {
                bool uniform = true;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) uniform = uniform && y.pixel(col + dx, row + dy) == q;
                inside += uniform;
            }
            diff.setPixel(col, row, d > 8 ? qRgb(255, 255 - std::min(255, d * 2), 0) : qRgb(255, 255, 255));
        }
    }
    std::printf("largest difference %d; pixels over 8: %ld, over 32: %ld, over 64: %ld (%ld inside a uniform area), "
                "over 128: %ld of %lld\n",
                worst, over[0], over[1], over[2], inside, over[3], static_cast<long long>(x.width()) * x.height());
    return diff.save(diffPath) ? 0 : 1;
}

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == QLatin1String("compare")) return compare(args[2], args[3], args[4]);
    const bool render = args.size() >= 4 && args[1] == QLatin1String("render");
    const bool profile = args.size() >= 3 && args[1] == QLatin1String("profile");
    if (!render && !profile) {
        std::fprintf(stderr, "usage: track_snapshot render OUT.png SCALE [SECONDS [LON LAT [all|thinned]]]\n"
                             "       track_snapshot profile SCALE [SECONDS]\n");
        return 2;
    }
    const int at = render ? 3 : 2;
    const double scale = args[at].toDouble();
    const int seconds = args.size() > at + 1 ? args[at + 1].toInt() : 1000000;
    const double lon = render && args.size() > 6 ? args[5].toDouble() : 9.5209;
    const double lat = render && args.size() > 6 ? args[6].toDouble() : 47.1410;
    ObjectLayer layer;
    MapTable base, line;
    loadTrack(layer, base, line, seconds);
    const MapView view = viewAt(scale, lon, lat);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(242, 239, 233));
    ChartCollection charts;
    if (!longdrive::chartFile().isEmpty() && charts.load(longdrive::chartFile()) == 0) {
        QPainter p(&image);
        charts.render(p, view);
    }
    if (profile) {
        profiledDraws(image, view, layer);
        return 0;
    }
    ObjectRenderer renderer;
    if (args.size() > 7) {
        renderer.setLineDetail(args[7] == QLatin1String("all") ? ObjectRenderer::LineDetail::AllPoints
                                                               : ObjectRenderer::LineDetail::Thinned);
    }
    IconLibrary icons;
    QElapsedTimer clock;
    clock.start();
    {
        QPainter p(&image);
        renderer.render(p, view, layer, icons);
    }
    std::printf("drawn in %.1f ms\n", clock.nsecsElapsed() / 1e6);
    return image.save(args[2]) ? 0 : 1;
}
