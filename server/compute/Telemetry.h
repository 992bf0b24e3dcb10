#pragma once

#include <QString>
#include <QVector>

#include <cmath>

namespace telvika::server {

// One telemetry record of a device. The small fields come last, together: a point fills one
// 64-byte cache line (a month at 1 Hz is 2.6 million of them).
struct TelemetryPoint {
    double time = 0.0;       // instant: UTC on the OLE day scale (compute/UtcTime.h)
    double lat = 0.0;        // degrees
    double lon = 0.0;        // degrees
    double speedKmh = 0.0;
    double odometerM = 0.0;  // running distance counter of the device, metres
    double tank1 = NAN;      // litres; NaN: no such sensor or no reading
    double tank2 = NAN;
    bool gpsValid = true;
    bool externalPower = true;
    quint8 sensors = 0;      // bit i set: sensor i + 1 on
};

// A control point: a circular zone of a vehicle.
struct ControlPoint {
    QString name;
    QString note;
    double lat = 0.0;
    double lon = 0.0;
    double radiusM = 0.0;
};

// A named set of control points of one vehicle.
struct ControlPointSet {
    QString name;
    QVector<ControlPoint> points;
};

}  // namespace telvika::server
