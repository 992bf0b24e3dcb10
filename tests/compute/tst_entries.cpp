// Entries inside a trip: periods without fix or power, speeding, sensors and control points.
#include <QtTest>

#include "TelemetryScript.h"
#include "compute/Computation.h"
#include "compute/ElapsedSeconds.h"
#include "compute/GeoDistance.h"

using namespace telvika::server;

namespace {

QVector<TripEntry> entriesOf(TelemetryScript& s, const QString& key, const ComputeSettings& settings = {},
                             const QVector<ControlPoint>& cps = {}) {
    const ComputeResult r =
        computeTrips(s.points(), TelemetryScript::t0 - 1.0, TelemetryScript::t0 + 30.0, settings, cps);
    if (r.trips.size() != 1) {
        qWarning("expected one trip, got %d", static_cast<int>(r.trips.size()));
        return {};
    }
    return r.trips[0].entries.value(key);
}

double seconds(double ole) { return secondsBetween(TelemetryScript::t0, ole); }

}  // namespace

class TestEntries : public QObject {
    Q_OBJECT

private slots:
    void blindsAndPowerOff_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<double>("length");
        QTest::addColumn<int>("count");
        for (const char* key : {"blinds", "power_off"}) {
            QTest::addRow("%s exactly minimum", key) << QString::fromLatin1(key) << 60.0 << 1;
            QTest::addRow("%s below minimum", key) << QString::fromLatin1(key) << 50.0 << 0;
            QTest::addRow("%s an hour", key) << QString::fromLatin1(key) << 3600.0 << 1;
        }
    }
    void blindsAndPowerOff() {
        QFETCH(QString, key);
        QFETCH(double, length);
        QFETCH(int, count);
        const bool blind = key == QLatin1String("blinds");
        TelemetryScript s;
        s.start().drive(300, 50);
        const double lonBefore = s.lon();
        blind ? s.fix(false) : s.power(false);
        s.drive(length, 50);
        blind ? s.fix(true) : s.power(true);
        s.drive(300, 50).stand(60);
        const auto entries = entriesOf(s, key);
        QCOMPARE(entries.size(), count);
        if (count == 0) return;
        QCOMPARE(seconds(entries[0].begin), 310.0);
        QCOMPARE(secondsBetween(entries[0].begin, entries[0].end), length);
        // Without a fix the vehicle is placed where it was last seen; without power, where the
        // power went off.
        const double expectedLon = blind ? lonBefore : s.points()[31].lon;
        QVERIFY(std::fabs(entries[0].lon - expectedLon) < 1e-9);
        QVERIFY(std::fabs(entries[0].lat - 55.75) < 1e-9);
    }

    void blindAtTripStartIsPlacedAtTheFirstFix() {
        TelemetryScript s;
        s.fix(false).start().drive(120, 50).fix(true).drive(300, 50).stand(60);
        const auto entries = entriesOf(s, QStringLiteral("blinds"));
        QCOMPARE(entries.size(), 1);
        QVERIFY(std::fabs(entries[0].lon - s.points()[13].lon) < 1e-9);
    }

    void overSpeedWithItsMaximum() {
        TelemetryScript s;
        s.start().drive(300, 60);
        s.sample(10, 95, 95).sample(10, 125, 125).sample(10, 100, 100);
        const double lonAtMax = s.points()[32].lon;
        s.drive(300, 90).stand(60);  // exactly the limit is no speeding
        const auto entries = entriesOf(s, QStringLiteral("over_speed"));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].maxSpeedKmh, 125.0);
        QCOMPARE(seconds(entries[0].begin), 310.0);
        QCOMPARE(seconds(entries[0].end), 340.0);
        QVERIFY(std::fabs(entries[0].lon - lonAtMax) < 1e-9);
    }

    void overSpeedMinimumDuration() {
        TelemetryScript s;
        s.start().drive(300, 60).sample(10, 95, 95).drive(300, 60).stand(60);
        ComputeSettings settings;
        settings.overSpeedMinSec = 10.0;
        QCOMPARE(entriesOf(s, QStringLiteral("over_speed"), settings).size(), 1);  // exactly 10 s
        settings.overSpeedMinSec = 11.0;
        QCOMPARE(entriesOf(s, QStringLiteral("over_speed"), settings).size(), 0);
        settings.overSpeedMinSec = 10.0;
        settings.speedLimitKmh = 95.0;
        QCOMPARE(entriesOf(s, QStringLiteral("over_speed"), settings).size(), 0);
    }

    void sensorsByNumber() {
        TelemetryScript s;
        s.start().sensors(0b000001).drive(60, 40).sensors(0b100010).drive(120, 40).sensors(0b100000);
        s.drive(30, 40).sensors(0).drive(300, 40).stand(60);
        ComputeSettings settings;
        const auto num1 = entriesOf(s, QStringLiteral("sensor_on-num1"), settings);
        QCOMPARE(num1.size(), 1);
        QCOMPARE(seconds(num1[0].begin), 10.0);
        QCOMPARE(secondsBetween(num1[0].begin, num1[0].end), 60.0);
        const auto num2 = entriesOf(s, QStringLiteral("sensor_on-num2"), settings);
        QCOMPARE(num2.size(), 1);
        QCOMPARE(secondsBetween(num2[0].begin, num2[0].end), 120.0);
        QVERIFY(std::fabs(num2[0].lon - s.points()[7].lon) < 1e-9);
        const auto num6 = entriesOf(s, QStringLiteral("sensor_on-num6"), settings);
        QCOMPARE(num6.size(), 1);
        QCOMPARE(secondsBetween(num6[0].begin, num6[0].end), 150.0);
        for (int n : {3, 4, 5}) QCOMPARE(entriesOf(s, QStringLiteral("sensor_on-num%1").arg(n), settings).size(), 0);
        settings.sensorMinSec = 121.0;
        QCOMPARE(entriesOf(s, QStringLiteral("sensor_on-num2"), settings).size(), 0);
    }

    void stagesInsideControlPoints() {
        TelemetryScript s;
        s.start().drive(600, 50);  // about 8.3 km east
        ControlPoint customer{QStringLiteral("Склад"), QString(), s.lat(), s.lon(), 150.0};
        s.stand(300).drive(600, 50).stand(60);
        ControlPoint passed{QStringLiteral("Мост"), QString(), 55.75, s.points()[20].lon, 50.0};
        ControlPoint elsewhere{QStringLiteral("Далеко"), QString(), 56.0, 38.0, 500.0};
        const auto entries = entriesOf(s, QStringLiteral("checkpoints-stages"), {}, {elsewhere, passed, customer});
        QCOMPARE(entries.size(), 1);  // driving through a small zone is no stay
        const TripEntry& e = entries[0];
        QCOMPARE(e.lon, customer.lon);
        QCOMPARE(e.lat, customer.lat);
        // Inside from the record within 150 m before the stop to the first record outside after it.
        QCOMPARE(seconds(e.begin), 590.0);
        QCOMPARE(seconds(e.end), 920.0);
    }

    void stagesAreOrderedOverControlPoints() {
        TelemetryScript s;
        s.start().drive(300, 50);
        ControlPoint first{QStringLiteral("А"), QString(), s.lat(), s.lon(), 100.0};
        s.stand(120).drive(300, 50);
        ControlPoint second{QStringLiteral("Б"), QString(), s.lat(), s.lon(), 100.0};
        s.stand(120).drive(300, 50).stand(60);
        const auto entries = entriesOf(s, QStringLiteral("checkpoints-stages"), {}, {second, first});
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].lon, first.lon);
        QCOMPARE(entries[1].lon, second.lon);
    }
};

QTEST_GUILESS_MAIN(TestEntries)
#include "tst_entries.moc"
