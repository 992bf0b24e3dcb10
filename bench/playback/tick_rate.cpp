// Ticks per second that a real main window achieves at 600x: the real timer (1 ms, precise), the
// real clock, the demo map and a 100,000-point track, for a few seconds of wall-clock time. Run it
// under a real X server (tick-rate.sh uses Xvfb); it prints its figures and asserts nothing.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

#include "common/LargePages.h"
#include "PlaybackBenchWindow.h"
#include "app/ui/TSymbolButton.h"

int main(int argc, char** argv) {
    telvika::useLargeMemoryPages(argv);
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int width = argc > 3 ? atoi(argv[2]) : 1280;
    const int height = argc > 3 ? atoi(argv[3]) : 800;
    TPlaybackBenchWindow bench;
    if (!bench.start(QSize(width, height), 100000)) {
        std::fprintf(stderr, "tick-rate: %s\n", qPrintable(bench.error));
        return 1;
    }
    TForm1& w = *bench.w;
    int ticks = 0;
    QObject::connect(w.Timer1, &QTimer::timeout, [&] { ++ticks; });
    QElapsedTimer clock;
    w.btnPlayClick();
    const double startMoment = w.data.PlayRefTime;
    clock.start();
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    app.exec();
    const double elapsed = clock.elapsed() / 1000.0;
    const double trackSeconds = (w.data.PlayTime - startMoment) * 86400.0;
    std::printf("platform %s, map %dx%d, speed %dx, timer interval %d ms\n",
                qPrintable(QGuiApplication::platformName()), width, height, w.data.SpeedFactor,
                w.Timer1->interval());
    const QPoint play = w.btnPlay->mapTo(&w, w.btnPlay->rect().center());
    std::printf("btnPlay centre in the window: %d,%d\n", play.x(), play.y());
    std::printf("ticks: %d in %.2f s = %.0f ticks/s; track time shown %.0f s (%.0f track s per wall s)\n",
                ticks, elapsed, ticks / elapsed, trackSeconds, trackSeconds / elapsed);
    return 0;
}
