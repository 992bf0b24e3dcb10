// Round trips of the client against a real telvika-server: one property read, and the transfer of a
// one-million-point track.
#include "common/LargePages.h"
#include "../../tests/automation/ServerProcess.h"
#include "TTelvikaAutomation.h"
#include "common/DateText.h"
#include "common/OleDate.h"
#include "store/Store.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

using namespace telvika;
using namespace telvika::testing;

namespace {

constexpr int TrackPoints = 1000000;
const QDate Day(2026, 3, 2);

// One server for the whole run, with a vehicle that drove a circle all day long: one trip of a
// million points in any division into trips.
struct World {
    QTemporaryDir dir;
    QString socket = uniqueSocketName();
    std::unique_ptr<ServerProcess> server;
    std::unique_ptr<TTelvikaAutomation> client;
    bool ok = false;

    World() {
        {
            server::Store store(dir.filePath(QStringLiteral("telvika-server.db")));
            store.addGroup({QStringLiteral("g"), QStringLiteral("Группа")});
            store.addVehicle({1, QStringLiteral("g"), QStringLiteral("ТС"), QStringLiteral("А001АА"), QString(), 0, 0, 0});
            QVector<server::TelemetryPoint> points(TrackPoints);
            const double start = oleFromDateAndTime(Day, QTime(0, 0));
            const double step = 86399.0 / TrackPoints;  // seconds
            const double radiusM = 5000.0, speedMs = 60.0 / 3.6;
            for (int i = 0; i < TrackPoints; ++i) {
                const double t = i * step;
                const double a = speedMs * t / radiusM;
                server::TelemetryPoint& p = points[i];
                p.time = start + t / 86400.0;
                p.lat = 55.75 + radiusM * std::sin(a) / 111195.0;
                p.lon = 37.6 + radiusM * std::cos(a) / (111195.0 * std::cos(55.75 * M_PI / 180.0));
                p.speedKmh = 60.0;
                p.odometerM = speedMs * t;
            }
            store.appendTelemetry(1, points);
        }
        server = std::make_unique<ServerProcess>(socket, dir.path());
        if (!server->start()) return;
        client = std::make_unique<TTelvikaAutomation>(nullptr, socket, serverProgram());
        client->SetAutoStart(false);
        client->SetCallTimeout(120000);
        QEventLoop loop;
        QObject::connect(client.get(), &TTelvikaAutomation::OnEndComputing, &loop, &QEventLoop::quit);
        QTimer::singleShot(300000, &loop, &QEventLoop::quit);
        client->StartComputing(QStringLiteral("g"), 1, formatFixedDateTime(oleFromDateAndTime(Day, QTime(0, 0))),
                               formatFixedDateTime(oleFromDateAndTime(Day.addDays(1), QTime(0, 0))),
                               QStringLiteral("GSM"), 1);
        loop.exec();
        ok = client->ComputingState() == 0 && client->TripsCount() >= 1;
        if (ok) client->SetTripIndex(1);
    }
};

World& world() {
    static World w;
    return w;
}

void BM_PropertyRoundTrip(benchmark::State& state) {
    World& w = world();
    if (!w.ok) return state.SkipWithError("server not ready");
    for (auto _ : state) benchmark::DoNotOptimize(w.client->ComputingState());
}
BENCHMARK(BM_PropertyRoundTrip)->Repetitions(9)->DisplayAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

void BM_ListTripRecord(benchmark::State& state) {
    // Writing a cursor brings the whole record: the three texts cost one round trip together.
    World& w = world();
    if (!w.ok) return state.SkipWithError("server not ready");
    for (auto _ : state) {
        w.client->SetTripIndex(1);
        benchmark::DoNotOptimize(w.client->TripBegin());
        benchmark::DoNotOptimize(w.client->TripEnd());
        benchmark::DoNotOptimize(w.client->TripDuration());
    }
}
BENCHMARK(BM_ListTripRecord)->Unit(benchmark::kMicrosecond);

void BM_TrackCrdsArrayTransfer(benchmark::State& state) {
    World& w = world();
    if (!w.ok) return state.SkipWithError("server not ready");
    w.client->SetTripIndex(1);
    qsizetype points = 0;
    for (auto _ : state) {
        const QVector<double> track = w.client->TrackCrdsArray();
        points = track.size() / 5;
        benchmark::DoNotOptimize(track.constData());
    }
    state.counters["points"] = static_cast<double>(points);
    state.SetBytesProcessed(state.iterations() * points * 5 * 8);
}
BENCHMARK(BM_TrackCrdsArrayTransfer)->Repetitions(5)->DisplayAggregatesOnly(true)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    telvika::useLargeMemoryPages(argv);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    world().client.reset();
    world().server.reset();
    return 0;
}
