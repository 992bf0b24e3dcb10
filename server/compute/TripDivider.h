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

// A trip as divided: its records and its track (compute/TrackBuilder.h), whose length decided it.
struct DividedTrip {
    TripRange range;
    QVector<double> track;
};

// Divides time-ordered telemetry into trips. A trip ends at a stand of at least the trip-end parking
// time or at a gap in the data longer than the trip-end gap; a drive shorter than the minimum trip
// distance is no trip. The distance driven is the track's: steps between two parked records
// (jitter) do not count.
class TripDivider {
public:
    explicit TripDivider(const ComputeSettings& settings) : settings_(settings) {}

    QVector<DividedTrip> divide(std::span<const TelemetryPoint> points, const QVector<StandingRun>& stands,
                                const QVector<bool>& parked) const;

private:
    ComputeSettings settings_;
};

}  // namespace telvika::server
