#pragma once

#include <QString>

#include "compute/Telemetry.h"

namespace telvika::server {

// The ranges every stored telemetry point must lie in, whatever its source (an imported file,
// online data from a device, the demo): finite coordinates on the globe, a time from 1970 up to a
// day after `nowUtc`, a speed from 0 to the plausible maximum, non-negative fuel and odometer, the
// six sensor bits. Returns the reason (a short Russian phrase such as "неверные координаты") or an
// empty text when the point is fine.
QString telemetryProblem(const TelemetryPoint& point, double nowUtc);

inline constexpr double MaxTelemetrySpeedKmh = 400.0;
inline constexpr double MaxFutureDays = 1.0;  // device clocks run ahead a little, never by days

}  // namespace telvika::server
