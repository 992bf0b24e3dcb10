#pragma once

#include "compute/RunFinder.h"

namespace telvika::server {

// "sensor_on"-"numN": periods with sensor N (1..6) on.
class SensorDetector {
public:
    explicit SensorDetector(const ComputeSettings& settings) : minSec_(settings.sensorMinSec) {}

    QVector<TripEntry> detect(std::span<const TelemetryPoint> points, const TripRange& trip,
                              int sensor) const {
        const quint8 bit = static_cast<quint8>(1u << (sensor - 1));
        QVector<TripEntry> entries;
        for (const RecordRun& run :
             findRuns(points, trip, minSec_, [bit](const TelemetryPoint& p) { return (p.sensors & bit) != 0; }))
            entries.push_back(entryOfRun(points, trip, run));
        return entries;
    }

private:
    double minSec_;
};

}  // namespace telvika::server
