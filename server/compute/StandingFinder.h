#pragma once

#include <QVector>

#include <span>

#include "compute/Computation.h"
#include "compute/Telemetry.h"

namespace telvika::server {

// A period in which the vehicle stood: from its first standing record to the record where it
// drove off again.
struct StandingRun {
    int first = 0;    // first standing record
    int resume = -1;  // first record of the drive that ends the stand; -1 when the data ends first
    double lat = 0.0;  // where the vehicle stood
    double lon = 0.0;
};

// Finds the stands in time-ordered telemetry. A record stands when its speed is below the parking
// speed. Short bursts of "moving" records that never leave the parking radius around the place
// of the stand (GPS jitter of a parked vehicle) do not end the stand.
class StandingFinder {
public:
    explicit StandingFinder(const ComputeSettings& settings) : settings_(settings) {}

    QVector<StandingRun> find(std::span<const TelemetryPoint> points) const;

    // Per record: whether it belongs to a stand (jitter bursts included).
    static QVector<bool> parkedFlags(int count, const QVector<StandingRun>& runs);

private:
    bool standing(const TelemetryPoint& p) const { return p.speedKmh < settings_.parkingSpeedKmh; }

    ComputeSettings settings_;
};

}  // namespace telvika::server
