#pragma once

#include <QRandomGenerator>
#include <QVector>

#include "compute/Telemetry.h"
#include "demo/TownPlan.h"

namespace telvika::server::demo {

// How a vehicle drives and what it carries.
struct VehicleProfile {
    double cruiseFactor = 0.9;    // share of the speed limit it keeps on town roads
    double highwayFactor = 0.9;   // share of the limit on roads of 90 km/h (above 1 for a speeder)
    double litresPer100Km = 12.0;
    double tank1Capacity = 60.0;  // 0: no such tank
    double tank2Capacity = 0.0;
    double accel = 1.2;           // m/s²
    double decel = 1.8;
};

// A change of a tank's level during a stay: refuelling (litres > 0) or draining.
struct TankChange {
    int tank = 1;
    double litres = 0.0;
    double at = 0.0;  // seconds after the stay begins
    double duration = 240.0;
};

// A sensor switched on for part of a stay.
struct SensorSpan {
    int sensor = 1;  // 1..6
    double from = 0.0;
    double to = 0.0;  // seconds after the stay begins
};

struct StayPlan {
    double sampleSec = 60.0;
    QVector<TankChange> tankChanges;
    QVector<SensorSpan> sensors;
};

// Moves one vehicle over the town's roads in one-second steps and records its telemetry as a
// tracker would: a record every 10-15 s while moving, sparse records while standing, exact
// records where something changes. Nothing is recorded after the clip time.
class VehicleDriver {
public:
    VehicleDriver(const TownPlan& plan, const VehicleProfile& profile, quint32 seed, double startOle,
                  int startNode);

    void setClip(double clipOle) { clipSec_ = clipOle * 86400.0; }
    void setFuel(double tank1, double tank2) {
        fuel1_ = tank1;
        fuel2_ = tank2;
    }
    void setOdometer(double metres) { odometer_ = metres; }
    void setDriveSensors(quint8 bits) { driveSensors_ = bits; }
    // A period without a fix or without power, starting that many seconds into the next drive.
    void scheduleBlind(double after, double length) {
        blindAfter_ = after;
        blindLength_ = length;
    }
    void schedulePowerOff(double after, double length) {
        powerAfter_ = after;
        powerLength_ = length;
    }

    // Drives to a node along the quickest roads, stopping there. False when clipped on the way.
    bool driveTo(int node);
    // Stands where it is for a time.
    void stay(double seconds, const StayPlan& plan = {});
    void stayUntil(double ole, const StayPlan& plan = {}) { stay(ole * 86400.0 - sec_, plan); }

    double time() const { return sec_ / 86400.0; }
    bool clipped() const { return sec_ >= clipSec_; }
    int node() const { return node_; }
    double fuel1() const { return fuel1_; }
    double fuel2() const { return fuel2_; }
    const VehicleProfile& profile() const { return profile_; }
    QVector<TelemetryPoint>& records() { return records_; }

private:
    void record(QPointF at, double speedMs, bool moving, quint8 sensors, bool valid, bool power);
    bool blindNow(double driveStart) const {
        const double since = sec_ - driveStart;
        return blindAfter_ >= 0 && since >= blindAfter_ && since < blindAfter_ + blindLength_;
    }
    bool powerOffNow(double driveStart) const {
        const double since = sec_ - driveStart;
        return powerAfter_ >= 0 && since >= powerAfter_ && since < powerAfter_ + powerLength_;
    }
    double noise(double amplitude) { return (rng_.generateDouble() * 2.0 - 1.0) * amplitude; }

    const TownPlan& plan_;
    VehicleProfile profile_;
    QRandomGenerator rng_;
    double sec_;  // absolute seconds (OLE date × 86400)
    double clipSec_ = 1e300;
    int node_;
    QPointF lastFix_;
    double odometer_ = 0.0;
    double fuel1_ = 0.0;
    double fuel2_ = 0.0;
    quint8 driveSensors_ = 0;
    double blindAfter_ = -1, blindLength_ = 0;
    double powerAfter_ = -1, powerLength_ = 0;
    QVector<TelemetryPoint> records_;
};

}  // namespace telvika::server::demo
