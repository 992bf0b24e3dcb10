#pragma once

#include <QVector>

#include "compute/Computation.h"
#include "compute/Telemetry.h"

namespace telvika::server {

// Telemetry ready for the computation: inside the period, in time order, one record per timestamp,
// without invalid values or impossible position jumps.
struct CleanTelemetry {
    QVector<TelemetryPoint> points;
    int dropped = 0;     // invalid values and impossible jumps
    int duplicates = 0;  // records whose timestamp (to the millisecond) was already seen
};

// Orders and cleans raw telemetry rows. Records without a valid fix are kept (they make the
// periods without signal) but their positions are neither checked nor trusted.
class TelemetryCleaner {
public:
    explicit TelemetryCleaner(const ComputeSettings& settings) : settings_(settings) {}

    CleanTelemetry clean(QVector<TelemetryPoint> rows, double periodBegin, double periodEnd) const;

private:
    bool plausibleStep(const TelemetryPoint& a, const TelemetryPoint& b) const;
    bool validValues(const TelemetryPoint& p) const;
    int dropJumps(QVector<TelemetryPoint>& points) const;

    ComputeSettings settings_;
};

}  // namespace telvika::server
