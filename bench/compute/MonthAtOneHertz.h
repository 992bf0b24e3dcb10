#pragma once

// A month of 1 Hz telemetry of one vehicle (about 2.6 million records), the same in every
// benchmark that computes or stores it.

#include <QRandomGenerator>
#include <QVector>

#include <cmath>
#include <numbers>

#include "compute/Telemetry.h"

namespace telvika::server {

inline constexpr double MonthStart = 46000.0;  // 2025-12-09 on the OLE day scale, as an instant

// Working days: drives with stops at customers, speeding now and then, noisy fuel levels with a
// refuelling each morning, a sensor switched at stops; nights parked with jitter.
inline QVector<TelemetryPoint> monthAtOneHertz() {
    QVector<TelemetryPoint> rows;
    rows.reserve(30 * 86400);
    QRandomGenerator rng(42);
    double lat = 55.75, lon = 37.62, heading = 0.0, odo = 0.0, fuel = 200.0;
    for (int day = 0; day < 30; ++day) {
        for (int sec = 0; sec < 86400; ++sec) {
            const bool working = sec >= 8 * 3600 && sec < 18 * 3600;
            const int phase = (sec / 600) % 4;  // 30 min driving, 10 min at a customer
            const bool moving = working && phase != 3;
            double kmh = 0.0;
            if (moving) {
                kmh = 50.0 + 30.0 * std::sin(sec / 300.0) + rng.bounded(5.0);
                if (sec % 3600 < 40) kmh = 100.0;
                heading += (rng.bounded(2.0) - 1.0) * 0.02;
                const double m = kmh / 3.6;
                lat += m * std::cos(heading) / 111320.0;
                lon += m * std::sin(heading) / (111320.0 * std::cos(lat * std::numbers::pi / 180.0));
                odo += m;
                fuel -= m * 0.0003;
            } else if (rng.bounded(10) == 0) {
                kmh = rng.bounded(6.0);
            }
            if (sec == 8 * 3600 + 1200) fuel = 200.0;
            TelemetryPoint p;
            p.time = MonthStart + day + sec / 86400.0;
            p.lat = lat + (moving ? 0.0 : (rng.bounded(2.0) - 1.0) * 0.0001);
            p.lon = lon;
            p.speedKmh = kmh;
            p.odometerM = odo;
            p.gpsValid = sec % 5000 > 90;
            p.externalPower = sec % 20000 > 100;
            p.tank1 = fuel + (rng.bounded(2.0) - 1.0) * 3.0;
            p.sensors = phase == 3 ? 1 : 0;
            rows.push_back(p);
        }
    }
    return rows;
}

}  // namespace telvika::server
