// Object sets at playback rates: loading a long track, drawing a full-HD view of it with 500
// icons, and what the control does per replay tick (overlay and blit) and per pan step.
#include <benchmark/benchmark.h>

#include "common/LargePages.h"
#include "IconLibrary.h"
#include "MapTable.h"
#include "ObjectLayer.h"
#include "ObjectRenderer.h"
#include "core/Projection.h"
#include "mvx/IMVControl.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QWidget>

#include <cmath>
#include <memory>

using namespace mvx;

namespace {

const QString TrackCommand = QStringLiteral("name=nametab1;metrics=[metr]");
const QString TrackStyle = QStringLiteral("l rgb(0,0,0) 4");
const QString IconCommand = QStringLiteral("name='ТС:';coords=[YCOORD],[XCOORD];style=[style]");
constexpr double CentreLon = 49.12, CentreLat = 55.79;

// A day of 1 Hz positions wandering around a city, as the server's track text.
QString trackText(int points) {
    QRandomGenerator rng(42);
    QString s = QStringLiteral("L E ");
    s.reserve(points * 24);
    double lon = CentreLon, lat = CentreLat, heading = 0;
    for (int i = 0; i < points; ++i) {
        heading += (rng.generateDouble() - 0.5) * 0.3;
        lon += std::cos(heading) * 0.00012;
        lat += std::sin(heading) * 0.00007;
        lon = std::clamp(lon, CentreLon - 0.1, CentreLon + 0.1);
        lat = std::clamp(lat, CentreLat - 0.06, CentreLat + 0.06);
        if (i) s += u',';
        s += QString::number(lon, 'f', 6) + u' ' + QString::number(lat, 'f', 6);
    }
    return s;
}

template <class Table>
void fillTrack(Table& t, const QString& text) {
    t.AddField(QStringLiteral("TEXT"), QStringLiteral("metr"), QStringLiteral("metr"));
    t.AddRecord();
    t.SetFieldValue(text, 0);
}

template <class Table>
void fillIcons(Table& t, int count) {
    t.AddField(QStringLiteral("DOUBLE"), QStringLiteral("XCOORD"), QStringLiteral("Longitude"));
    t.AddField(QStringLiteral("DOUBLE"), QStringLiteral("YCOORD"), QStringLiteral("Latitude"));
    t.AddField(QStringLiteral("TEXT"), QStringLiteral("style"), QStringLiteral("style"));
    t.AddField(QStringLiteral("TEXT"), QStringLiteral("Name"), QStringLiteral("Name"));
    QRandomGenerator rng(7);
    for (int i = 0; i < count; ++i) {
        t.AddRecord();
        t.SetFieldValue(CentreLon + (rng.generateDouble() - 0.5) * 0.16, 0);
        t.SetFieldValue(CentreLat + (rng.generateDouble() - 0.5) * 0.09, 1);
        t.SetFieldValue(i % 2 ? QStringLiteral("m 'TVAllTS.res' %1 rgb(0,0,0) 35").arg(1 + i % 168)
                              : QStringLiteral("m 'TVIcons.res' %1 rgb(0,0,0) 25").arg(1 + i % 12),
                        2);
        t.SetFieldValue(QStringLiteral("ТС %1").arg(i), 3);
    }
}

// A 1920 x 1080 view over the whole track.
MapView fullHdView() {
    const QPointF c = lonLatToMercator(CentreLon, CentreLat);
    const QPointF corner = lonLatToMercator(CentreLon + 0.1, CentreLat + 0.06);
    const double mpp = std::max((corner.x() - c.x()) / 960.0, (corner.y() - c.y()) / 540.0) * 1.05;
    return MapView(c, mpp, QSize(1920, 1080));
}

void BM_LoadObjects_Track100k(benchmark::State& state) {
    MapTable table;
    fillTrack(table, trackText(int(state.range(0))));
    for (auto _ : state) {
        ObjectLayer layer;
        benchmark::DoNotOptimize(layer.load(TrackCommand, TrackStyle, table));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadObjects_Track100k)->Arg(100000)->Unit(benchmark::kMillisecond);

// Drawing the object sets of a full-HD view from the icon cache: the track twice (as the player
// shows it, 4 px black under 2 px red) and 500 icons.
void BM_RenderObjects_FullHd(benchmark::State& state) {
    MapTable track, icons;
    fillTrack(track, trackText(100000));
    fillIcons(icons, 500);
    ObjectLayer layer;
    layer.load(TrackCommand, TrackStyle, track);
    layer.load(QStringLiteral("name=nametab2;metrics=[metr]"), QStringLiteral("l rgb(255,0,0) 2"), track);
    layer.load(IconCommand, QString(), icons);
    IconLibrary library;
    library.setFolder(QStringLiteral(TELVIKA_BIN_DIR));
    ObjectRenderer renderer;
    const MapView view = fullHdView();
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::transparent);
        QPainter p(&image);
        renderer.render(p, view, layer, library);
    }
}
BENCHMARK(BM_RenderObjects_FullHd)->Unit(benchmark::kMillisecond);

// The control, loaded like the player loads it, at 1920 x 1080 with the same sets.
struct Control {
    std::unique_ptr<QWidget> host;
    IMVControl* map = nullptr;
    QImage target{1920, 1080, QImage::Format_ARGB32_Premultiplied};

    Control() {
        static QLibrary lib(QStringLiteral(TELVIKA_BIN_DIR "/mvx"));
        auto create = reinterpret_cast<MvxCreateControlFn>(lib.resolve(MVX_CREATE_CONTROL_SYMBOL));
        if (!create) qFatal("libmvx: %s", qPrintable(lib.errorString()));
        host = std::make_unique<QWidget>();
        map = create(host.get());
        map->widget()->resize(1920, 1080);
        static QTemporaryDir dir;  // the control looks for its bundles in <dir>/RESOURCES
        QDir(dir.path()).mkpath(QStringLiteral("RESOURCES"));
        for (const char* bundle : {"/TVIcons.res", "/TVAllTS.res"})
            QFile::copy(QStringLiteral(TELVIKA_BIN_DIR) + QLatin1String(bundle),
                        dir.path() + QStringLiteral("/RESOURCES") + QLatin1String(bundle));
        map->SetControlDir(dir.path());
        map->SetCenter(CentreLat, CentreLon);
        map->SetCurScale(200000.0);
        IMapTable* t = map->CreateTable();
        fillTrack(*t, trackText(100000));
        map->LoadObjects(TrackCommand, TrackStyle, t);
        map->LoadObjects(QStringLiteral("name=nametab2;metrics=[metr]"), QStringLiteral("l rgb(255,0,0) 2"), t);
        IMapTable* icons = map->CreateTable();
        fillIcons(*icons, 500);
        map->LoadObjects(IconCommand, QString(), icons);
        paint();
    }
    void paint() { map->widget()->render(&target); }
};

// One replay tick: a new marker handed to the overlay and the view repainted from the cache.
void BM_ControlTick_OverlayAndBlit(benchmark::State& state) {
    Control c;
    OverlayPolygon marker;
    marker.penColor = Qt::black;
    marker.brushColor = Qt::yellow;
    int i = 0;
    for (auto _ : state) {
        const double x = 900 + (i++ % 100);
        marker.points = QPolygonF{{x, 530}, {x + 20, 540}, {x, 550}, {x + 5, 540}};
        c.map->SetOverlay({marker});
        c.paint();
    }
}
BENCHMARK(BM_ControlTick_OverlayAndBlit)->Unit(benchmark::kMillisecond);

// One step of a drag: the view moves 3 pixels, the base picture is shifted, the sets redrawn.
void BM_ControlPanStep(benchmark::State& state) {
    Control c;
    QWidget* w = c.map->widget();
    QPoint pos(960, 540);
    QMouseEvent press(QEvent::MouseButtonPress, pos, w->mapToGlobal(pos), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    int step = 0;
    for (auto _ : state) {
        pos += (step++ / 50) % 2 ? QPoint(-3, -2) : QPoint(3, 2);
        QMouseEvent move(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &move);
        c.paint();
    }
    QMouseEvent release(QEvent::MouseButtonRelease, pos, w->mapToGlobal(pos), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}
BENCHMARK(BM_ControlPanStep)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    telvika::useLargeMemoryPages(argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
