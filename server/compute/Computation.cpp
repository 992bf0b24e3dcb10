// First version of the computation: one trip per calendar day of data with its raw points and no
// entries. It gives the wire protocol something real to carry until the full engine replaces it.
#include "compute/Computation.h"

#include <algorithm>
#include <cmath>

namespace telvika::server {

QStringList entryKeys() {
    QStringList keys{QStringLiteral("parks"), QStringLiteral("blinds"), QStringLiteral("power_off"),
                     QStringLiteral("over_speed"), QStringLiteral("tank-num1"), QStringLiteral("tank-num2")};
    for (int i = 1; i <= 6; ++i) keys << QStringLiteral("sensor_on-num%1").arg(i);
    keys << QStringLiteral("checkpoints-stages");
    return keys;
}

QString entryKey(const QString& type, const QString& kind) {
    static const QStringList plain{QStringLiteral("parks"), QStringLiteral("blinds"),
                                   QStringLiteral("power_off"), QStringLiteral("over_speed")};
    if (plain.contains(type)) return type;
    const QString key = type + QLatin1Char('-') + kind;
    return entryKeys().contains(key) ? key : QString();
}

ComputeResult computeTrips(QVector<TelemetryPoint> rows, double periodBegin, double periodEnd,
                           const ComputeSettings&, const QVector<ControlPoint>&) {
    std::stable_sort(rows.begin(), rows.end(),
                     [](const TelemetryPoint& a, const TelemetryPoint& b) { return a.time < b.time; });
    ComputeResult result;
    Trip* trip = nullptr;
    double lastDay = NAN;
    double startOdo = 0.0;
    for (const TelemetryPoint& p : rows) {
        if (p.time < periodBegin || p.time > periodEnd) continue;
        const double day = std::floor(p.time);
        if (!trip || day != lastDay) {
            result.trips.push_back(Trip{});
            trip = &result.trips.back();
            trip->begin = p.time;
            startOdo = p.odometerM;
            lastDay = day;
        }
        trip->end = p.time;
        trip->track << p.time << p.lon << p.lat << (p.odometerM - startOdo) << p.speedKmh;
    }
    return result;
}

}  // namespace telvika::server
