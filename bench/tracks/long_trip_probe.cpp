// Figures of the player with the 12-day trip (LongTripWorld) that a benchmark loop cannot give:
//   long_trip_probe phases
//       the steps from the server's computation to the trip's picture, one by one;
//   long_trip_probe replay [SECONDS [WIDTH HEIGHT]]
//       replay at 600x with the map following and stops skipped, with the real timer and clock
//       (run it under a real X server: long-trip-replay.sh uses Xvfb): track seconds per wall
//       second, the holds after skipped stops, the ticks and the recentrings;
//   long_trip_probe zoom OUTDIR [WIDTH HEIGHT [PAUSE_MS]]
//       wheel steps (PAUSE_MS apart, 300 unless told) over the shown trip in a real window: the repaint that answers each step, the
//       wait until the picture of its scale is whole, and OUTDIR/zoom-*.png of the first step at
//       once and once whole, and of the second at once.
// It prints its figures and asserts nothing.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <iterator>
#include <cstdio>
#include <vector>

#include "common/LargePages.h"
#include "LongTripWorld.h"
#include "automation/TTelvikaAutomation.h"
#include "mvx/IMVControl.h"

namespace {

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int phases(TLongTripWorld& world) {
    TTelvikaAutomation server(nullptr, world.fixture.socket, world.fixture.environment().serverProgram);
    server.Start();
    QElapsedTimer clock;
    auto step = [&](const char* what) {
        std::printf("%-52s %8.1f ms\n", what, clock.nsecsElapsed() / 1e6);
        clock.restart();
    };
    clock.start();
    QEventLoop loop;
    QObject::connect(&server, &TTelvikaAutomation::OnEndComputing, &loop, &QEventLoop::quit);
    server.StartComputing(QStringLiteral("g1"), 7, QStringLiteral("05.05.2024 00:00:00"),
                          QStringLiteral("20.05.2024 00:00:00"), QStringLiteral("GSM"), 1);
    loop.exec();
    step("computation of the 12 days, to its notice");
    std::printf("trips: %d\n", server.TripsCount());
    server.SetTripIndex(1);
    const int count = server.TrackPointsCount();
    step("SetTripIndex, TrackPointsCount");
    const QVector<double> values = server.TrackCrdsArray();
    step("TrackCrdsArray");
    const QString text = server.TrackCrdsString();
    step("TrackCrdsString");
    const QString again = server.TrackCrdsString();
    step("TrackCrdsString again");
    std::printf("points %d, values %lld, text %lld characters\n", count, static_cast<long long>(values.size()),
                static_cast<long long>(text.size()));
    return again.size() == text.size() ? 0 : 1;
}

// Replay with the real timer; ticks are timed one by one (the form's own timer slot is replaced by
// the same call wrapped in a clock).
int replay(TLongTripWorld& world, int seconds, QSize mapSize) {
    auto w = world.window();
    w->MVCtrl->widget()->setFixedSize(mapSize);
    w->resize(w->sizeHint().expandedTo(mapSize + QSize(300, 60)));
    QTest::qWait(200);
    w->ToolButton3->setChecked(true);  // skip stops
    w->Timer1->disconnect(w.get());
    struct Tick {
        double start, ms, playTime;
        bool skipped, recentred;
    };
    std::vector<Tick> ticks;
    QElapsedTimer wall;
    wall.start();
    double lat0 = 0, lon0 = 0, lat = 0, lon = 0;
    QObject::connect(w->Timer1, &QTimer::timeout, w.get(), [&] {
        const double start = wall.nsecsElapsed() / 1e6;
        const int stopsBefore = static_cast<int>(w->data.TripStops.size());
        w->MVCtrl->GetCenter(lat0, lon0);
        const double refBefore = w->data.PlayRefClock;
        w->Timer1Timer();
        w->MVCtrl->GetCenter(lat, lon);
        const bool skipped = w->data.PlayRefClock != refBefore && stopsBefore > 0;
        ticks.push_back({start, wall.nsecsElapsed() / 1e6 - start, w->data.PlayTime, skipped, lat != lat0 || lon != lon0});
    });
    // The trip's stops come with a click on its row.
    w->ListView1Click();
    QTest::qWait(500);
    wall.restart();
    w->btnPlayClick();
    const double startMoment = w->data.PlayRefTime;
    QTest::qWait(seconds * 1000);
    w->btnPlayClick();
    const double elapsed = wall.nsecsElapsed() / 1e9;
    std::vector<double> holds, after, recentres, plain;
    for (size_t i = 0; i < ticks.size(); ++i) {
        if (ticks[i].skipped) {
            holds.push_back(ticks[i].ms);
            if (i + 1 < ticks.size()) after.push_back(ticks[i + 1].ms);
        } else if (ticks[i].recentred) {
            recentres.push_back(ticks[i].ms);
        } else {
            plain.push_back(ticks[i].ms);
        }
    }
    const double trackSeconds = (w->data.PlayTime - startMoment) * 86400.0;
    // The clock's pace between ticks that neither skip a stop nor follow a hold.
    double paceTrack = 0, paceWall = 0;
    for (size_t i = 1; i < ticks.size(); ++i) {
        if (ticks[i].skipped || ticks[i - 1].skipped) continue;
        paceTrack += (ticks[i].playTime - ticks[i - 1].playTime) * 86400.0;
        paceWall += (ticks[i].start - ticks[i - 1].start) / 1000.0;
    }
    std::printf("map %dx%d, %s, %d s of replay at %dx, %zu ticks (%.0f per second)\n", mapSize.width(),
                mapSize.height(), qPrintable(QGuiApplication::platformName()), seconds, w->data.SpeedFactor,
                ticks.size(), ticks.size() / elapsed);
    std::printf("track seconds per wall second: %.1f in all (stops jumped, holds), %.1f between ticks of the clock\n",
                trackSeconds / elapsed, paceWall > 0 ? paceTrack / paceWall : 0.0);
    std::printf("stops skipped: %zu; hold (the skipping tick) median %.0f ms, longest %.0f ms; next tick median %.1f ms\n",
                holds.size(), median(holds), holds.empty() ? 0.0 : *std::max_element(holds.begin(), holds.end()),
                median(after));
    std::printf("recentring ticks: %zu, median %.1f ms, longest %.1f ms; other ticks median %.2f ms\n",
                recentres.size(), median(recentres),
                recentres.empty() ? 0.0 : *std::max_element(recentres.begin(), recentres.end()), median(plain));
    return 0;
}

// Wheel steps at the map's centre: in three, out three, twice over.
int zoom(TLongTripWorld& world, const QString& outDir, QSize mapSize, int pauseMs) {
    auto w = world.window();
    QWidget* map = w->MVCtrl->widget();
    map->setFixedSize(mapSize);
    w->resize(w->sizeHint().expandedTo(mapSize + QSize(300, 60)));
    w->ListView1Click();
    QTest::qWait(1000);
    const QPointF at(mapSize.width() / 2.0, mapSize.height() / 2.0);
    std::vector<double> answers, wholes;
    int step = 0;
    for (int delta : {120, 120, 120, -120, -120, -120, 120, 120, 120, -120, -120, -120}) {
        QWheelEvent wheel(at, map->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QElapsedTimer clock;
        clock.start();
        QApplication::sendEvent(map, &wheel);
        map->repaint();
        answers.push_back(clock.nsecsElapsed() / 1e6);
        if (step == 0) map->grab().save(outDir + QStringLiteral("/zoom-at-once.png"));
        if (step == 1) map->grab().save(outDir + QStringLiteral("/zoom-second-at-once.png"));
        // Whole when a repaint no longer changes the picture (the worker's tiles have come).
        QImage before = map->grab().toImage();
        double whole = -1;
        while (clock.elapsed() < 3000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            const QImage now = map->grab().toImage();
            if (now != before) {
                whole = clock.nsecsElapsed() / 1e6;
                break;
            }
        }
        wholes.push_back(whole);
        if (step == 0) map->grab().save(outDir + QStringLiteral("/zoom-whole.png"));
        ++step;
        QTest::qWait(pauseMs);
    }
    // A step and at once a drag (the new scale's tiles still being made), then the picture once settled.
    QWheelEvent wheel(at, map->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(map, &wheel);
    map->repaint();
    QTest::mousePress(map, Qt::LeftButton, Qt::NoModifier, at.toPoint());
    for (int k = 1; k <= 10; ++k) QTest::mouseMove(map, at.toPoint() + QPoint(15 * k, 8 * k), 5);
    QTest::mouseRelease(map, Qt::LeftButton, Qt::NoModifier, at.toPoint() + QPoint(150, 80), 5);
    QTest::qWait(1000);
    map->grab().save(outDir + QStringLiteral("/zoom-dragged.png"));
    std::printf("map %dx%d, %s, %zu wheel steps\n", mapSize.width(), mapSize.height(),
                qPrintable(QGuiApplication::platformName()), answers.size());
    for (size_t i = 0; i < answers.size(); ++i)
        if (wholes[i] < 0)
            std::printf("step %2zu: answered in %6.1f ms, whole at once (tiles made ahead or kept)\n", i + 1, answers[i]);
        else
            std::printf("step %2zu: answered in %6.1f ms, whole after %6.1f ms\n", i + 1, answers[i], wholes[i]);
    std::vector<double> made;
    std::copy_if(wholes.begin(), wholes.end(), std::back_inserter(made), [](double v) { return v >= 0; });
    std::printf("answer median %.1f ms, longest %.1f ms; whole after a new scale, median %.1f ms\n", median(answers),
                *std::max_element(answers.begin(), answers.end()), median(made));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    telvika::useLargeMemoryPages(argv);
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || (args[1] != QLatin1String("phases") && args[1] != QLatin1String("replay") &&
                             (args[1] != QLatin1String("zoom") || args.size() < 3))) {
        std::fprintf(stderr, "usage: long_trip_probe phases | replay [SECONDS [WIDTH HEIGHT]] | zoom OUTDIR [WIDTH HEIGHT [PAUSE_MS]]\n");
        return 2;
    }
    TLongTripWorld world;
    if (!world.ok()) {
        std::fprintf(stderr, "long_trip_probe: %s\n", qPrintable(world.error));
        return 1;
    }
    std::printf("import of the GPX file by telvika-admin: %.2f s\n", world.importSeconds);
    if (args[1] == QLatin1String("phases")) return phases(world);
    if (args[1] == QLatin1String("zoom"))
        return zoom(world, args[2], args.size() > 4 ? QSize(args[3].toInt(), args[4].toInt()) : QSize(1280, 800),
                    args.size() > 5 ? std::max(0, args[5].toInt()) : 300);
    const int seconds = args.size() > 2 ? std::max(1, args[2].toInt()) : 30;
    const QSize size = args.size() > 4 ? QSize(args[3].toInt(), args[4].toInt()) : QSize(1280, 800);
    return replay(world, seconds, size);
}
