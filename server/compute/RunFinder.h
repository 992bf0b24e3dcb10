#pragma once

#include <QVector>

#include <span>

#include "compute/Computation.h"
#include "compute/ElapsedSeconds.h"
#include "compute/Telemetry.h"
#include "compute/TripDivider.h"

namespace telvika::server {

// A run of consecutive records of a trip that share a condition.
struct RecordRun {
    int first = 0;  // first record with the condition
    int end = 0;    // first record without it after the run, or the trip's last record
};

// Finds the runs of a condition inside a trip that last at least minSeconds. A run lasts from its
// first record to the record that ends it (the condition is taken to hold until the next record
// says otherwise); a run still going at the trip's end lasts to the trip's last record.
template <class Condition>
QVector<RecordRun> findRuns(std::span<const TelemetryPoint> points, const TripRange& trip,
                            double minSeconds, Condition condition) {
    QVector<RecordRun> runs;
    int k = trip.first;
    while (k <= trip.last) {
        if (!condition(points[k])) {
            ++k;
            continue;
        }
        RecordRun run{k, trip.last};
        int j = k + 1;
        while (j <= trip.last && condition(points[j])) ++j;
        if (j <= trip.last) run.end = j;
        if (run.end > run.first &&
            reaches(secondsBetween(points[run.first].time, points[run.end].time), minSeconds))
            runs.push_back(run);
        k = j;
    }
    return runs;
}

// Position of an entry that happened at a record: the last fix at or before it inside the trip,
// else the first fix after it.
inline void placeEntry(TripEntry& entry, std::span<const TelemetryPoint> points, const TripRange& trip,
                       int index) {
    for (int k = index; k >= trip.first; --k)
        if (points[k].gpsValid) {
            entry.lon = points[k].lon;
            entry.lat = points[k].lat;
            return;
        }
    for (int k = index + 1; k <= trip.last; ++k)
        if (points[k].gpsValid) {
            entry.lon = points[k].lon;
            entry.lat = points[k].lat;
            return;
        }
}

// An entry spanning a run, placed where the run began.
inline TripEntry entryOfRun(std::span<const TelemetryPoint> points, const TripRange& trip,
                            const RecordRun& run) {
    TripEntry e;
    e.begin = points[run.first].time;
    e.end = points[run.end].time;
    placeEntry(e, points, trip, run.first);
    return e;
}

}  // namespace telvika::server
