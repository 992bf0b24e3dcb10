#pragma once

#include <QVector>

#include <span>

#include "compute/Computation.h"
#include "compute/StandingFinder.h"
#include "compute/Telemetry.h"

namespace telvika::server {

// A trip as a range of records: from the last standing record before the drive to the first
// standing record of the parking that ends it.
struct TripRange {
    int first = 0;
    int last = 0;
};

// Divides time-ordered telemetry into trips. A trip ends at a stand of at least the trip-end parking
// time or at a gap in the data longer than the trip-end gap; a drive shorter than the minimum trip
// distance is no trip.
class TripDivider {
public:
    explicit TripDivider(const ComputeSettings& settings) : settings_(settings) {}

    QVector<TripRange> divide(std::span<const TelemetryPoint> points, const QVector<StandingRun>& stands,
                              const QVector<bool>& parked) const;

    // Distance driven between two records: steps between two parked records (jitter) do not count.
    static double drivenMetres(std::span<const TelemetryPoint> points, const QVector<bool>& parked,
                               int first, int last);

private:
    ComputeSettings settings_;
};

}  // namespace telvika::server
