// The two stores side by side in one run (SQLite is the baseline of each pair): a fleet's day
// ingested (100 vehicles at 1 Hz, 8.64 million points), one vehicle-day read back from the store
// that holds it, and a month of one vehicle at 1 Hz read and computed into trips.
#include "common/LargePages.h"
#include "../compute/MonthAtOneHertz.h"
#include "../support/BenchStores.h"
#include "compute/Computation.h"
#include "compute/UtcTime.h"
#include "store/Store.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QTimeZone>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

using namespace telvika;
using namespace telvika::server;

namespace {

constexpr int Vehicles = 100;
constexpr int DayPoints = 86400;

double fleetDay() {
    return utcFromEpochSeconds(QDateTime(QDate(2026, 3, 2), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch());
}

// One vehicle's day at 1 Hz: circles around its depot at 40 km/h, speed and fuel varying.
QVector<TelemetryPoint> vehicleDay(int vehicle) {
    QVector<TelemetryPoint> out(DayPoints);
    const double day = fleetDay();
    const double lat0 = 55.6 + vehicle * 0.002, lon0 = 37.4 + vehicle * 0.003;
    for (int i = 0; i < DayPoints; ++i) {
        TelemetryPoint& p = out[i];
        p.time = day + i / 86400.0;
        p.lat = lat0 + 0.01 * std::sin(i / 900.0);
        p.lon = lon0 + 0.016 * std::cos(i / 900.0);
        p.speedKmh = 40.0 + 5.0 * std::sin(i / 60.0);
        p.odometerM = i * 11.1;
        p.tank1 = 200.0 - i * 0.001;
        p.sensors = (i / 600) % 2;
    }
    return out;
}

struct Filled {
    QTemporaryDir dir;
    QString location;
    std::unique_ptr<Store> store;
};

// The stores the ingest left behind, for the reads.
std::map<QString, std::unique_ptr<Filled>>& filled() {
    static std::map<QString, std::unique_ptr<Filled>> stores;
    return stores;
}

// The month's stores, one per kind.
std::map<QString, std::unique_ptr<Filled>>& monthStores() {
    static std::map<QString, std::unique_ptr<Filled>> stores;
    return stores;
}

std::unique_ptr<Filled> emptyFleetStore(const QString& kind, int vehicles, QString* error) {
    auto f = std::make_unique<Filled>();
    f->location = bench::freshStore(kind, f->dir, error);
    if (f->location.isEmpty()) return nullptr;
    f->store = std::make_unique<Store>(f->location);
    f->store->addGroup({QStringLiteral("g"), QStringLiteral("Парк")});
    for (int v = 1; v <= vehicles; ++v)
        f->store->addVehicle({v, QStringLiteral("g"), QStringLiteral("ТС %1").arg(v), QString(), QString(), 0, 0, 0});
    return f;
}

// Each vehicle's day is one batch in one transaction, as an import of that day would be.
void ingestFleetDay(benchmark::State& state, const QString& kind) {
    for (auto _ : state) {
        state.PauseTiming();
        if (auto old = filled().find(kind); old != filled().end()) {
            const QString location = old->second->location;
            filled().erase(old);
            bench::dropStore(location);
        }
        QString error;
        std::unique_ptr<Filled> f = emptyFleetStore(kind, Vehicles, &error);
        if (!f) return state.SkipWithError(qPrintable(error));
        state.ResumeTiming();
        for (int v = 1; v <= Vehicles; ++v) {
            state.PauseTiming();
            const QVector<TelemetryPoint> day = vehicleDay(v);
            state.ResumeTiming();
            f->store->appendTelemetry(v, day);
        }
        filled()[kind] = std::move(f);
    }
    state.SetItemsProcessed(state.iterations() * qint64(Vehicles) * DayPoints);
}

void readVehicleDay(benchmark::State& state, const QString& kind) {
    auto it = filled().find(kind);
    if (it == filled().end()) return state.SkipWithError("the ingest did not run");
    const double day = fleetDay();
    qsizetype rows = 0;
    for (auto _ : state) {
        const QVector<TelemetryPoint> t = it->second->store->telemetry(Vehicles / 2, day, day + 1.0);
        rows = t.size();
        benchmark::DoNotOptimize(t.constData());
    }
    state.counters["rows"] = static_cast<double>(rows);
}

void computeMonthFromStore(benchmark::State& state, const QString& kind) {
    auto& f = monthStores()[kind];
    if (!f) {
        QString error;
        f = emptyFleetStore(kind, 1, &error);
        if (!f) return state.SkipWithError(qPrintable(error));
        f->store->appendTelemetry(1, monthAtOneHertz());
    }
    const QVector<ControlPoint> cps{{QStringLiteral("База"), QString(), 55.75, 37.62, 200.0}};
    int rows = 0, trips = 0;
    for (auto _ : state) {
        const QVector<TelemetryPoint> telemetry = f->store->telemetry(1, MonthStart, MonthStart + 31);
        rows = static_cast<int>(telemetry.size());
        ComputeResult r = computeTrips(telemetry, MonthStart, MonthStart + 31, ComputeSettings{}, cps);
        trips = static_cast<int>(r.trips.size());
        benchmark::DoNotOptimize(r);
    }
    state.counters["rows"] = rows;
    state.counters["trips"] = trips;
}

void registerPairs() {
    const QString sqlite = QStringLiteral("sqlite"), pg = QStringLiteral("postgresql");
    // The ingest takes about a minute a run: two repetitions give the median of two.
    benchmark::RegisterBenchmark("BM_IngestFleetDay/sqlite/baseline", ingestFleetDay, sqlite)
        ->Iterations(1)->Repetitions(2)->Unit(benchmark::kSecond)->UseRealTime();
    benchmark::RegisterBenchmark("BM_IngestFleetDay/postgresql", ingestFleetDay, pg)
        ->Iterations(1)->Repetitions(2)->Unit(benchmark::kSecond)->UseRealTime();
    benchmark::RegisterBenchmark("BM_ReadVehicleDayOfFleet/sqlite/baseline", readVehicleDay, sqlite)
        ->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("BM_ReadVehicleDayOfFleet/postgresql", readVehicleDay, pg)
        ->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("BM_ComputeMonthFromStore/sqlite/baseline", computeMonthFromStore, sqlite)
        ->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("BM_ComputeMonthFromStore/postgresql", computeMonthFromStore, pg)
        ->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace

int main(int argc, char** argv) {
    telvika::useLargeMemoryPages(argv);
    QCoreApplication app(argc, argv);  // the SQL drivers are plugins
    registerPairs();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The stores close while the application and its SQL drivers are still there, and before
    // their databases are dropped.
    for (auto* stores : {&filled(), &monthStores()}) {
        for (auto& [kind, f] : *stores) {
            if (!f) continue;
            const QString location = f->location;
            f.reset();
            bench::dropStore(location);
        }
        stores->clear();
    }
    return 0;
}
