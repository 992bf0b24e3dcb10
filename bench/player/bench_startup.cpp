// Start-up of the main window to a usable window against a running server that holds the demo
// fleet: the groups listed, the demo town loaded from the map list and the settings restored
// (which asks the server for the restored vehicle's period). A new window each iteration, the
// server kept running, as when the dispatcher starts the player on a working system.
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include "common/LargePages.h"
#include "../../tests/support/PlayerFixture.h"

namespace {

struct World {
    TPlayerFixture fixture{QStringLiteral("bench-startup")};
    QString chart;
    bool ok = false;

    World() {
        chart = QDir(fixture.dataDir.path()).filePath(QStringLiteral("demo-town.chart"));
        if (fixture.admin({QStringLiteral("demo"), QStringLiteral("--chart"), chart, QStringLiteral("--days"),
                           QStringLiteral("14")}, 300000).isNull())
            return;
        fixture.writeAppFile(QStringLiteral("MapList.ini"),
                             QStringLiteral("[MapList]\r\nMapCount=1\r\nMap1=%1\r\n").arg(chart).toUtf8());
        // One start that also starts the server and writes the default settings; later starts
        // find both.
        fixture.startedWindow(fixture.environment(), 120000)->close();
        ok = true;
    }
};

std::unique_ptr<World> world;  // made by the first run, closed before the application ends

void BM_StartupToUsableWindow(benchmark::State& state) {
    if (!world) world = std::make_unique<World>();
    if (!world->ok) {
        state.SkipWithError("the demo fleet could not be generated");
        return;
    }
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        auto w = world->fixture.startedWindow(world->fixture.environment(), 60000);
        const double seconds = t.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
        state.counters["groups"] = w->cmbGroupName->count();
        state.counters["maps"] = w->MapLoadResults.size();
        w->close();
    }
}
BENCHMARK(BM_StartupToUsableWindow)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    telvika::useLargeMemoryPages(argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    world.reset();  // closes the server
    return 0;
}
