#include "seed/LiveFeed.h"

#include "common/Error.h"
#include "store/Store.h"

#include <QHash>

#ifdef TELVIKA_HAVE_DEMO
#include "demo/DemoFleet.h"
#include "demo/DemoLive.h"
#endif

namespace telvika::server {

#ifdef TELVIKA_HAVE_DEMO
struct LiveFeed::State {
    std::unique_ptr<demo::DemoLive> live;
    QHash<int, double> lastStored;  // per device: points up to here are in the store already
    // Points generated but not stored yet (the store failed): offered again on the next tick.
    QVector<QPair<int, TelemetryPoint>> pending;
};

LiveFeed::LiveFeed(Store& store, QObject* parent) : QObject(parent), store_(store), state_(std::make_unique<State>()) {
    bool ok1 = false, ok2 = false, ok3 = false, ok4 = false;
    demo::DemoOptions options;
    options.seed = store.meta(QStringLiteral("demo_seed")).toUInt(&ok1);
    options.endTime = store.meta(QStringLiteral("demo_end")).toDouble(&ok2);
    options.days = store.meta(QStringLiteral("demo_days")).toInt(&ok3);
    options.utcOffsetSeconds = store.meta(QStringLiteral("demo_utc_offset")).toInt(&ok4);
    if (!ok1 || !ok2 || !ok3 || !ok4)
        throw Error(QStringLiteral("Режим движения в реальном времени требует базы с демонстрационным парком"));
    const demo::DemoFleet fleet = demo::generateDemoFleet(options);
    for (const demo::DemoGroup& g : fleet.groups)
        for (const demo::DemoVehicle& v : g.vehicles)
            if (auto stored = store.vehicle(v.device)) state_->lastStored.insert(v.device, stored->lastTime);
    state_->live = std::make_unique<demo::DemoLive>(fleet, options.seed);
}

int LiveFeed::tick(double now) {
    QVector<QPair<int, TelemetryPoint>> fresh = std::exchange(state_->pending, {});
    for (const auto& row : state_->live->advanceTo(now)) {
        auto it = state_->lastStored.find(row.first);
        if (it == state_->lastStored.end() || row.second.time <= *it) continue;  // gone or stored before
        fresh.append(row);
    }
    if (fresh.isEmpty()) return 0;
    try {
        store_.appendTelemetry(fresh);
    } catch (...) {
        state_->pending = std::move(fresh);
        throw;
    }
    for (const auto& row : fresh) state_->lastStored[row.first] = qMax(state_->lastStored[row.first], row.second.time);
    emit dataStored(static_cast<int>(fresh.size()));
    return static_cast<int>(fresh.size());
}
#else
struct LiveFeed::State {};

LiveFeed::LiveFeed(Store& store, QObject* parent) : QObject(parent), store_(store) {
    throw Error(QStringLiteral("Эта сборка не содержит генератора демонстрационных данных"));
}

int LiveFeed::tick(double) { return 0; }
#endif

LiveFeed::~LiveFeed() = default;

}  // namespace telvika::server
