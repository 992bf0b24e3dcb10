#pragma once

#include "compute/RunFinder.h"

namespace telvika::server {

// "checkpoints"-"stages": stays inside the vehicle's control points, placed at the control point.
// A record without a fix keeps the vehicle where the last fix put it.
class StageDetector {
public:
    explicit StageDetector(const ComputeSettings& settings) : minSec_(settings.stageMinSec) {}

    QVector<TripEntry> detect(std::span<const TelemetryPoint> points, const TripRange& trip,
                              const QVector<ControlPoint>& controlPoints) const;

private:
    double minSec_;
};

}  // namespace telvika::server
