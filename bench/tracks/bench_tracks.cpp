// Long tracks on the map: a 12-day drive at 1 Hz (1,000,000 points along the roads of
// Liechtenstein, RoadDrive) shown as the player shows a track, twice (4 px black under 2 px red),
// over the real base map at 1920x1080.
//
// BM_TrackLayers: the two layers alone, drawn over a base picture; detail 0 is the control's
// drawing (a reduction for the scale, kept between redraws), 1 the drawing before it (every
// point cut to the view and thinned to a pixel), measured in the same run as the baseline.
// BM_TrackLayersNewScale: a redraw at a scale not drawn before (the reduction is made anew), the
// track having been drawn once at another scale; background 0 makes the scale's tiles on the
// spot, 1 draws the scale before stretched and has them made on the worker (as after a wheel
// step), 2 is the same until the worker has made them.
// BM_TrackFullRedraw: the map control's whole redraw (base map and objects) with the track
// (track 1) and without it (track 0).
#include <benchmark/benchmark.h>

#include "common/LargePages.h"
#include "IconLibrary.h"
#include "LongDrive.h"
#include "MapTable.h"
#include "ObjectLayer.h"
#include "ObjectRenderer.h"
#include "chart/ChartCollection.h"
#include "core/Projection.h"
#include "mvx/IMVControl.h"

#include <QApplication>
#include <QLibrary>
#include <QPainter>
#include <QWidget>

#include <condition_variable>
#include <memory>
#include <mutex>

using namespace mvx;

namespace {

constexpr int DrivePoints = 1000000;
const QPointF VaduzLonLat(9.5209, 47.1410);
const QSize ViewSize(1920, 1080);

struct Track {
    QString text;  // "L E lon lat,..."
    QPointF centreLonLat;
    bool ok = false;
};

const Track& track() {
    static const Track t = [] {
        Track out;
        const auto& samples = longdrive::drive(DrivePoints);
        if (samples.empty()) return out;
        out.text = QStringLiteral("L E ") + longdrive::coordinateText(samples);
        double minLon = 1e9, maxLon = -1e9, minLat = 1e9, maxLat = -1e9;
        for (const auto& s : samples) {
            minLon = std::min(minLon, s.lon), maxLon = std::max(maxLon, s.lon);
            minLat = std::min(minLat, s.lat), maxLat = std::max(maxLat, s.lat);
        }
        out.centreLonLat = QPointF((minLon + maxLon) / 2, (minLat + maxLat) / 2);
        out.ok = true;
        return out;
    }();
    return t;
}

void fillTrackTable(IMapTable& table) {
    table.AddField(QStringLiteral("TEXT"), QStringLiteral("metr"), QStringLiteral("metr"));
    table.AddRecord();
    table.SetFieldValue(track().text, 0);
}

void loadTrackSets(IMVControl& map, IMapTable* base, IMapTable* line) {
    map.LoadObjects(QStringLiteral("name=nametab1;metrics=[metr]"), QStringLiteral("l rgb(0,0,0) 4"), base);
    map.LoadObjects(QStringLiteral("name=nametab2;metrics=[metr]"), QStringLiteral("l rgb(255,0,0) 2"), line);
}

// Vaduz's centre below 1:100000, the middle of the drive from there.
QPointF viewCentreLonLat(double scale) { return scale < 100000 ? VaduzLonLat : track().centreLonLat; }

MapView viewAt(double scale) {
    const QPointF c = viewCentreLonLat(scale);
    MapView view(lonLatToMercator(c.x(), c.y()), 1.0, ViewSize);
    view.setScaleDenominator(scale, 96.0);
    return view;
}

struct Layers {
    MapTable base, line;
    ObjectLayer layer;
    Layers() {
        fillTrackTable(base);
        fillTrackTable(line);
        layer.load(QStringLiteral("name=nametab1;metrics=[metr]"), QStringLiteral("l rgb(0,0,0) 4"), base);
        layer.load(QStringLiteral("name=nametab2;metrics=[metr]"), QStringLiteral("l rgb(255,0,0) 2"), line);
    }
};

// The base map of the view, drawn once.
QImage basePicture(const MapView& view) {
    static ChartCollection charts;
    static const bool loaded = !longdrive::chartFile().isEmpty() && charts.load(longdrive::chartFile()) == 0;
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(242, 239, 233));
    if (loaded) {
        QPainter p(&image);
        charts.render(p, view);
    }
    return image;
}

void BM_TrackLayers(benchmark::State& state) {
    if (!track().ok) return state.SkipWithError("no drive: the extract could not be read");
    static Layers layers;
    const MapView view = viewAt(double(state.range(0)));
    const QImage base = basePicture(view);
    QImage image = base;
    ObjectRenderer renderer;
    renderer.setLineDetail(state.range(1) ? ObjectRenderer::LineDetail::Thinned : ObjectRenderer::LineDetail::Cached);
    IconLibrary icons;
    {
        QPainter warm(&image);  // the first redraw at this scale makes the reduction
        renderer.render(warm, view, layers.layer, icons);
    }
    for (auto _ : state) {
        QPainter p(&image);
        renderer.render(p, view, layers.layer, icons);
    }
}
BENCHMARK(BM_TrackLayers)
    ->ArgsProduct({{2000, 5000, 10000, 20000, 50000, 100000, 200000, 500000}, {0, 1}})
    ->ArgNames({"scale", "detail"})
    ->MinTime(0.2)
    ->Unit(benchmark::kMillisecond);

void BM_TrackLayersNewScale(benchmark::State& state) {
    if (!track().ok) return state.SkipWithError("no drive: the extract could not be read");
    static Layers layers;
    MapView view = viewAt(double(state.range(0)));
    QImage image = basePicture(view);
    ObjectRenderer renderer;
    IconLibrary icons;
    const bool background = state.range(1) != 0, untilMade = state.range(1) == 2;
    std::mutex mutex;
    std::condition_variable readyChanged;
    bool ready = false;
    if (background) {
        renderer.setTilesReady([&] {
            const std::lock_guard<std::mutex> lock(mutex);
            ready = true;
            readyChanged.notify_one();
        });
    }
    const double mpp = view.mercatorPerPixel();
    {  // the track was drawn before, at another scale: what is made once per loaded line is made
        QPainter p(&image);
        renderer.render(p, view, layers.layer, icons);
    }
    renderer.setBackgroundTiles(background);
    int n = 0;
    for (auto _ : state) {
        view.setMercatorPerPixel(mpp * (1.0 + 1e-9 * ++n));  // never drawn before
        {
            QPainter p(&image);
            renderer.render(p, view, layers.layer, icons);
        }
        if (background) {  // the worker's tiles, drawn from the next scale on
            if (!untilMade) state.PauseTiming();
            std::unique_lock<std::mutex> lock(mutex);
            readyChanged.wait(lock, [&] { return ready; });
            ready = false;
            if (!untilMade) state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_TrackLayersNewScale)
    ->ArgsProduct({{2000, 20000, 200000}, {0, 1, 2}})
    ->ArgNames({"scale", "background"})
    ->MinTime(0.2)
    ->Unit(benchmark::kMillisecond);

// The control as the player loads it, with the Liechtenstein chart.
struct Control {
    std::unique_ptr<QWidget> host;
    IMVControl* map = nullptr;
    QImage target{ViewSize, QImage::Format_ARGB32_Premultiplied};
    bool ok = false;

    explicit Control(bool withTrack) {
        static QLibrary lib(QStringLiteral(TELVIKA_BIN_DIR "/mvx"));
        auto create = reinterpret_cast<MvxCreateControlFn>(lib.resolve(MVX_CREATE_CONTROL_SYMBOL));
        if (!create) return;
        host = std::make_unique<QWidget>();
        map = create(host.get());
        map->widget()->resize(ViewSize);
        if (longdrive::chartFile().isEmpty() || map->LoadMap(longdrive::chartFile(), QString()) != 0) return;
        if (withTrack) {
            IMapTable* base = map->CreateTable();
            IMapTable* line = map->CreateTable();
            fillTrackTable(*base);
            fillTrackTable(*line);
            loadTrackSets(*map, base, line);
        }
        ok = true;
    }
};

void BM_TrackFullRedraw(benchmark::State& state) {
    if (!track().ok) return state.SkipWithError("no drive: the extract could not be read");
    Control c(state.range(1) != 0);
    if (!c.ok) return state.SkipWithError("the control or the chart did not load");
    const double scale = double(state.range(0));
    const QPointF centre = viewCentreLonLat(scale);
    c.map->SetCenter(centre.y(), centre.x());
    c.map->SetCurScale(scale);
    c.map->widget()->render(&c.target);  // the reduction for this scale is made here
    for (auto _ : state) {
        c.map->Redraw();
        c.map->widget()->render(&c.target);
    }
}
BENCHMARK(BM_TrackFullRedraw)
    ->ArgsProduct({{2000, 5000, 20000, 50000, 200000}, {1, 0}})
    ->ArgNames({"scale", "track"})
    ->MinTime(0.2)
    ->Unit(benchmark::kMillisecond);

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
