// Refuelling and draining of the two tanks in noisy fuel level data.
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

#include "TelemetryScript.h"
#include "compute/Computation.h"
#include "compute/ElapsedSeconds.h"

using namespace telvika::server;

namespace {

struct TankEvents {
    QVector<TripEntry> tank1;
    QVector<TripEntry> tank2;
};

TankEvents tankEvents(const QVector<TelemetryPoint>& rows, const ComputeSettings& settings = {}) {
    const ComputeResult r =
        computeTrips(rows, TelemetryScript::t0 - 1.0, TelemetryScript::t0 + 30.0, settings, {});
    TankEvents events;
    for (const Trip& t : r.trips) {
        events.tank1 += t.entries.value(QStringLiteral("tank-num1"));
        events.tank2 += t.entries.value(QStringLiteral("tank-num2"));
    }
    return events;
}

// Sets the level of a tank over the records from `from` seconds on: a base level falling with
// consumption while driving, a change of `delta` litres ramped over [changeAt, changeAt + rampSec],
// and sensor noise of +-noise litres plus sloshing while moving.
void paintTank(QVector<TelemetryPoint>& rows, int tank, double base, double changeAt, double delta,
               double rampSec, double noise, quint32 seed) {
    QRandomGenerator rng(seed);
    double consumed = 0.0;
    for (int i = 0; i < rows.size(); ++i) {
        TelemetryPoint& p = rows[i];
        const double sec = secondsBetween(TelemetryScript::t0, p.time);
        if (i > 0) consumed += p.speedKmh / 3.6 * secondsBetween(rows[i - 1].time, p.time) * 0.0003;
        double level = base - consumed;
        if (sec >= changeAt + rampSec) level += delta;
        else if (sec > changeAt) level += delta * (sec - changeAt) / rampSec;
        level += (rng.bounded(2.0) - 1.0) * noise;
        if (p.speedKmh > 3.0) level += 0.5 * noise * std::sin(sec / 7.0);
        (tank == 1 ? p.tank1 : p.tank2) = std::max(0.0, level);
    }
}

}  // namespace

class TestFuel : public QObject {
    Q_OBJECT

private slots:
    void refuelDuringAStop() {
        TelemetryScript s;
        s.start().drive(1800, 60).stand(900).drive(1800, 60).stand(100);
        QVector<TelemetryPoint> rows = s.points();
        paintTank(rows, 1, 40.0, 2000.0, 60.0, 300.0, 2.0, 1);
        const TankEvents ev = tankEvents(rows);
        QCOMPARE(ev.tank2.size(), 0);
        QCOMPARE(ev.tank1.size(), 1);
        const TripEntry& e = ev.tank1[0];
        // The levels before and after are those of the smoothed level around the stop (the drive
        // before it burnt about 9 l).
        QVERIFY2(std::fabs(e.tank1Begin - 31.0) < 2.0, qPrintable(QString::number(e.tank1Begin)));
        QVERIFY2(std::fabs(e.tank1End - 91.0) < 2.0, qPrintable(QString::number(e.tank1End)));
        const double begin = secondsBetween(TelemetryScript::t0, e.begin);
        const double end = secondsBetween(TelemetryScript::t0, e.end);
        QVERIFY2(begin >= 1800 && begin <= 2050, qPrintable(QString::number(begin)));
        QVERIFY2(end >= 2250 && end <= 2500, qPrintable(QString::number(end)));
        QVERIFY(e.lon > 37.62);  // at the filling station, not at the start
    }

    void drainOfTheSecondTank() {
        TelemetryScript s;
        s.start().drive(1800, 60).stand(1200).drive(1800, 60).stand(100);
        QVector<TelemetryPoint> rows = s.points();
        paintTank(rows, 1, 100.0, 0.0, 0.0, 1.0, 2.0, 2);
        paintTank(rows, 2, 200.0, 2100.0, -30.0, 120.0, 2.0, 3);
        const TankEvents ev = tankEvents(rows);
        QCOMPARE(ev.tank1.size(), 0);
        QCOMPARE(ev.tank2.size(), 1);
        const TripEntry& e = ev.tank2[0];
        QVERIFY2(std::fabs((e.tank2End - e.tank2Begin) + 30.0) < 3.0,
                 qPrintable(QStringLiteral("%1 -> %2").arg(e.tank2Begin).arg(e.tank2End)));
        QCOMPARE(e.tank1Begin, 0.0);
    }

    void noisySensorGivesNoEvents() {
        // Three hours of driving: +-5 l of noise, sloshing, wild single readings and the steady
        // burn of a truck. A reading-to-reading comparison would fire dozens of times here.
        TelemetryScript s;
        s.start().drive(3 * 3600, 70).stand(100);
        QVector<TelemetryPoint> rows = s.points();
        paintTank(rows, 1, 300.0, 0.0, 0.0, 1.0, 5.0, 4);
        int naive = 0;
        for (int i = 200; i < rows.size(); i += 180) rows[i].tank1 = (i / 180) % 2 ? 0.0 : 600.0;
        for (int i = 1; i < rows.size(); ++i)
            if (std::fabs(rows[i].tank1 - rows[i - 1].tank1) >= 10.0) ++naive;
        QVERIFY(naive > 20);
        QCOMPARE(tankEvents(rows).tank1.size(), 0);
    }

    void jumpThresholdEdges_data() {
        QTest::addColumn<double>("delta");
        QTest::addColumn<int>("events");
        QTest::newRow("9 l") << 9.0 << 0;
        QTest::newRow("11 l") << 11.0 << 1;
        QTest::newRow("-11 l") << -11.0 << 1;
    }
    void jumpThresholdEdges() {
        QFETCH(double, delta);
        QFETCH(int, events);
        TelemetryScript s;
        s.start().drive(600, 50).stand(1200).drive(600, 50).stand(100);
        QVector<TelemetryPoint> rows = s.points();
        for (TelemetryPoint& p : rows)
            p.tank1 = secondsBetween(TelemetryScript::t0, p.time) < 1000 ? 50.0 : 50.0 + delta;
        QCOMPARE(tankEvents(rows).tank1.size(), events);
    }

    void slowChangeIsNoEvent() {
        // 40 l over two hours of driving is consumption, not a drain.
        TelemetryScript s;
        s.start().drive(7200, 60).stand(100);
        QVector<TelemetryPoint> rows = s.points();
        for (TelemetryPoint& p : rows) p.tank1 = 100.0 - 40.0 * secondsBetween(TelemetryScript::t0, p.time) / 7200;
        QCOMPARE(tankEvents(rows).tank1.size(), 0);
    }

    void refuelWhileTheDeviceWasOff() {
        // No readings for two hours: the level before and after the gap differ by 80 l.
        TelemetryScript s;
        s.start().drive(1200, 60).stand(300).skip(7200).stand(300).drive(1200, 60).stand(100);
        QVector<TelemetryPoint> rows = s.points();
        for (TelemetryPoint& p : rows) p.tank1 = secondsBetween(TelemetryScript::t0, p.time) < 3000 ? 20.0 : 100.0;
        const TankEvents ev = tankEvents(rows);
        QCOMPARE(ev.tank1.size(), 1);
        QVERIFY(std::fabs(ev.tank1[0].tank1Begin - 20.0) < 1e-6);
        QVERIFY(std::fabs(ev.tank1[0].tank1End - 100.0) < 1e-6);
    }
};

QTEST_GUILESS_MAIN(TestFuel)
#include "tst_fuel.moc"
