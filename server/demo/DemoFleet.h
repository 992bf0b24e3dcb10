#pragma once

#include <QString>
#include <QVector>

#include "compute/Telemetry.h"

namespace telvika::server::demo {

struct DemoVehicle {
    QString name;    // "ГАЗель NEXT"
    QString number;  // registration number, "А123ВС 77"
    int device = 0;  // device number, unique in the fleet
    QString info;    // free text shown in the vehicle's map label
    double tankCapacity1 = 0.0;  // litres; 0: no such tank
    double tankCapacity2 = 0.0;
    QVector<TelemetryPoint> telemetry;  // time order
    QVector<ControlPointSet> controlPointSets;
};

struct DemoGroup {
    QString id;    // identifier text
    QString name;  // display name
    QVector<DemoVehicle> vehicles;
};

struct DemoFleet {
    QVector<DemoGroup> groups;
};

struct DemoOptions {
    quint32 seed = 20091;
    double endTime = 0.0;  // instant (UTC days) of the last telemetry; the generator's caller passes "now"
    int days = 14;
    // The town's clock, seconds east of UTC: working days start and end at its hours.
    int utcOffsetSeconds = 0;
};

// The demo fleet: at least 8 groups with several vehicles each, driving on the demo town's roads
// for `days` days up to endTime. Telemetry times are instants (UTC). Deterministic for a seed, an
// end time and an offset.
DemoFleet generateDemoFleet(const DemoOptions& options);

}  // namespace telvika::server::demo
