#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include "compute/Telemetry.h"

namespace telvika::server {

// Thresholds of the trip and entry computation; defaults and reasons in docs/computation.md.
struct ComputeSettings {
    double parkingSpeedKmh = 3.0;        // below this the vehicle stands
    double tripEndParkingSec = 1800.0;   // a parking this long ends a trip
    double tripEndGapSec = 1800.0;       // a data gap this long ends a trip
    double parkingRadiusM = 100.0;       // moving samples that stay this close to a stop are jitter
    double tripMinDistanceM = 200.0;     // shorter drives (yard manoeuvres) are not trips
    double stopMinSec = 120.0;           // "parks": stops within a trip
    double blindMinSec = 60.0;           // "blinds": no valid fix
    double powerOffMinSec = 60.0;        // "power_off"
    double speedLimitKmh = 90.0;         // "over_speed"
    double overSpeedMinSec = 10.0;
    double tankSmoothingSec = 300.0;     // window of the fuel level smoothing
    double tankJumpLitres = 10.0;        // a change beyond this in a short time is an event
    double tankJumpMaxSec = 900.0;       // "short time" of a refuelling or drain
    double sensorMinSec = 1.0;           // "sensor_on"
    double stageMinSec = 60.0;           // "checkpoints-stages": a stay inside a control point
    double maxPlausibleSpeedKmh = 400.0;  // jumps implying more are dropped
};

// One entry of a trip: a stop, a period without signal, a refuelling, ...
struct TripEntry {
    double begin = 0.0;  // instants (UTC, compute/UtcTime.h)
    double end = 0.0;
    double lon = 0.0;    // where it happened
    double lat = 0.0;
    double maxSpeedKmh = 0.0;  // over_speed: the maximum
    double tank1Begin = 0.0, tank1End = 0.0;
    double tank2Begin = 0.0, tank2End = 0.0;
};

// The entry lists a trip has, by key: a type alone ("parks", "blinds", "power_off", "over_speed")
// or a type and a kind joined by "-" ("tank-num1", "tank-num2", "sensor_on-num1".."sensor_on-num6",
// "checkpoints-stages").
QStringList entryKeys();
// The key a client's type and kind select: "tank" + "num1" gives "tank-num1"; a type without kinds
// ignores the kind ("parks" + "num1" gives "parks"). Empty for an unknown type or kind.
QString entryKey(const QString& type, const QString& kind);

struct Trip {
    double begin = 0.0;  // instants (UTC)
    double end = 0.0;
    // Five values per point: time, lon, lat, metres from start, km/h. The time is an instant until
    // convertTrackTimesToLocal turns it into the user's local OLE date for the wire.
    QVector<double> track;
    QHash<QString, QVector<TripEntry>> entries;
    int pointCount() const { return static_cast<int>(track.size() / 5); }
};

struct ComputeResult {
    QVector<Trip> trips;
    int droppedPoints = 0;    // impossible jumps and invalid values
    int duplicatePoints = 0;  // same timestamp seen twice
};

// Divides the telemetry of one device over [periodBegin, periodEnd] into trips and entries. The
// rows may be unsorted and hold duplicates; they are ordered and cleaned first.
ComputeResult computeTrips(QVector<TelemetryPoint> rows, double periodBegin, double periodEnd,
                           const ComputeSettings& settings, const QVector<ControlPoint>& controlPoints);

// Puts the time column of every track in the user's local OLE dates, as the wire carries it. Trip
// and entry begin and end stay instants: durations are taken from them, texts converted when worded.
void convertTrackTimesToLocal(QVector<Trip>& trips);

}  // namespace telvika::server
