#pragma once

// A small fleet written straight into a store: two groups, three vehicles, control points, and one
// hour of driving on day 1 and one hour on day 3 for device 101 (no data in between), which any
// sensible division into trips turns into exactly two trips.

#include "common/OleDate.h"
#include "store/Store.h"

#include <QDate>
#include <QTime>

namespace telvika::testing {

inline const QDate FixtureDay1(2026, 3, 2);
inline const QDate FixtureDay3(2026, 3, 4);

inline QVector<server::TelemetryPoint> drivingHour(const QDate& day, double startLon, double odometerStart) {
    QVector<server::TelemetryPoint> points;
    const double start = oleFromDateAndTime(day, QTime(10, 0));
    // 61 points a minute apart, 40 km/h east along a parallel (about 667 m a minute).
    for (int i = 0; i <= 60; ++i) {
        server::TelemetryPoint p;
        p.time = start + i * 60.0 / 86400.0;
        p.lat = 55.75;
        p.lon = startLon + i * 0.0106;
        p.speedKmh = 40.0;
        p.odometerM = odometerStart + i * 666.7;
        p.tank1 = 50.0 - i * 0.05;
        points.push_back(p);
    }
    return points;
}

inline void writeFixture(const QString& databasePath) {
    server::Store store(databasePath);
    store.addGroup({QStringLiteral("grp-north"), QStringLiteral("Север")});
    store.addGroup({QStringLiteral("grp-south"), QStringLiteral("Юг")});
    store.addVehicle({101, QStringLiteral("grp-north"), QStringLiteral("ГАЗель NEXT"), QStringLiteral("А123ВС 77"),
                      QStringLiteral("хладовоз"), 0, 0, 0});
    store.addVehicle({102, QStringLiteral("grp-north"), QStringLiteral("КамАЗ"), QStringLiteral("В456ОР 50"),
                      QString(), 0, 0, 0});
    store.addVehicle({201, QStringLiteral("grp-south"), QStringLiteral("Лада Ларгус"), QStringLiteral("Е789КХ 99"),
                      QString(), 0, 0, 0});
    store.appendTelemetry(101, drivingHour(FixtureDay1, 37.50, 0.0));
    store.appendTelemetry(101, drivingHour(FixtureDay3, 37.60, 40000.0));
    store.addControlPoint(101, QStringLiteral("Маршрут 1"), {QStringLiteral("Склад"), QStringLiteral("ворота 2"), 55.75, 37.5, 150});
    store.addControlPoint(101, QStringLiteral("Маршрут 1"), {QStringLiteral("Магазин"), QString(), 55.76, 37.7, 80.4});
}

inline QString fixtureDatabase(const QString& folder) { return folder + QStringLiteral("/telvika-server.db"); }

}  // namespace telvika::testing
