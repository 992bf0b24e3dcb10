#pragma once

#include <QPair>
#include <QVector>

#include <memory>

#include "compute/Telemetry.h"
#include "demo/DemoFleet.h"

namespace telvika::server::demo {

// Keeps the demo vehicles moving in real time after the generated history ends.
class DemoLive {
public:
    // Continues every vehicle of the fleet from the end of its telemetry.
    DemoLive(const DemoFleet& fleet, quint32 seed);
    ~DemoLive();

    // The new points of every vehicle from the last call (or the end of history) up to `now`
    // (OLE date), as (device, point) pairs in time order.
    QVector<QPair<int, TelemetryPoint>> advanceTo(double now);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace telvika::server::demo
