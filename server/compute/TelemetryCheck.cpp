#include "compute/TelemetryCheck.h"

#include <cmath>

#include "compute/UtcTime.h"

namespace telvika::server {

QString telemetryProblem(const TelemetryPoint& p, double nowUtc) {
    if (!std::isfinite(p.lat) || !std::isfinite(p.lon) || std::fabs(p.lat) > 90.0 || std::fabs(p.lon) > 180.0)
        return QStringLiteral("неверные координаты");
    if (!std::isfinite(p.time) || p.time < UnixEpochDay) return QStringLiteral("неверное время");
    if (p.time > nowUtc + MaxFutureDays) return QStringLiteral("время в будущем");
    if (!std::isfinite(p.speedKmh) || p.speedKmh < 0.0 || p.speedKmh > MaxTelemetrySpeedKmh)
        return QStringLiteral("неверная скорость");
    if (!std::isfinite(p.odometerM) || p.odometerM < 0.0) return QStringLiteral("неверный пробег");
    for (double tank : {p.tank1, p.tank2})
        if (!std::isnan(tank) && (!std::isfinite(tank) || tank < 0.0)) return QStringLiteral("неверный уровень топлива");
    if (p.sensors > 63) return QStringLiteral("неверные датчики");
    return {};
}

}  // namespace telvika::server
