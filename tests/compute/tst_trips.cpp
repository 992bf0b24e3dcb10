// Division into trips, stops inside trips, the track, and the cleaning of noisy rows.
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>

#include "TelemetryScript.h"
#include "common/DurationText.h"
#include "compute/Computation.h"
#include "compute/ElapsedSeconds.h"
#include "compute/TrackBuilder.h"

using namespace telvika::server;

namespace {

ComputeResult compute(const QVector<TelemetryPoint>& rows, const ComputeSettings& settings = {}) {
    return computeTrips(rows, TelemetryScript::t0 - 1.0, TelemetryScript::t0 + 30.0, settings, {});
}

double seconds(double ole) { return secondsBetween(TelemetryScript::t0, ole); }

// Jitter of a parked vehicle: positions scattered within ~25 m and speeds up to 8 km/h.
void parkedJitter(TelemetryScript& s, double duration, quint32 seed) {
    QRandomGenerator rng(seed);
    for (double t = 10; t <= duration; t += 10) {
        const double kmh = rng.bounded(100) < 30 ? rng.bounded(8.0) : 0.0;
        s.sample(10, kmh, 0.0);
        TelemetryPoint& p = s.points().last();
        p.lat += (rng.bounded(2.0) - 1.0) * 0.0002;
        p.lon += (rng.bounded(2.0) - 1.0) * 0.0003;
    }
}

}  // namespace

class TestTrips : public QObject {
    Q_OBJECT

private slots:
    void longParkingSplitsTrips_data() {
        QTest::addColumn<double>("parking");
        QTest::addColumn<int>("trips");
        QTest::addColumn<int>("parks");
        QTest::newRow("below trip end") << 1790.0 << 1 << 1;
        QTest::newRow("exactly trip end") << 1800.0 << 2 << 0;
        QTest::newRow("forty minutes") << 2400.0 << 2 << 0;
        QTest::newRow("stop exactly minimum") << 120.0 << 1 << 1;
        QTest::newRow("stop below minimum") << 110.0 << 1 << 0;
    }
    void longParkingSplitsTrips() {
        QFETCH(double, parking);
        QFETCH(int, trips);
        QFETCH(int, parks);
        TelemetryScript s;
        s.start().drive(600, 50).stand(parking).drive(600, 50).stand(600);
        const ComputeResult r = compute(s.points());
        QCOMPARE(r.trips.size(), trips);
        int parkCount = 0;
        for (const Trip& t : r.trips) parkCount += t.entries.value(QStringLiteral("parks")).size();
        QCOMPARE(parkCount, parks);

        // The first trip begins with the first record and ends where the vehicle stopped; the last
        // ends where it stopped for good.
        QCOMPARE(seconds(r.trips.first().begin), 0.0);
        QCOMPARE(seconds(r.trips.last().end), 600 + parking + 610);
        if (trips == 2) {
            QCOMPARE(seconds(r.trips[0].end), 610.0);
            QCOMPARE(seconds(r.trips[1].begin), 600 + parking);  // last standing record
        } else if (parks == 1) {
            const TripEntry& park = r.trips[0].entries[QStringLiteral("parks")].first();
            QCOMPARE(seconds(park.begin), 610.0);
            QCOMPARE(secondsBetween(park.begin, park.end), parking);
            QVERIFY(std::fabs(park.lon - r.trips[0].track[5 * 61 + 1]) < 1e-9);
        }
    }

    void dataGapSplitsTrips_data() {
        QTest::addColumn<double>("gap");
        QTest::addColumn<int>("trips");
        QTest::newRow("gap equal to the limit") << 1790.0 << 1;  // samples 1800 s apart
        QTest::newRow("gap longer") << 1800.0 << 2;
    }
    void dataGapSplitsTrips() {
        QFETCH(double, gap);
        QFETCH(int, trips);
        TelemetryScript s;
        s.start().drive(600, 50).skip(gap).drive(600, 50).stand(300);
        const ComputeResult r = compute(s.points());
        QCOMPARE(r.trips.size(), trips);
        if (trips == 2) QCOMPARE(seconds(r.trips[0].end), 600.0);
    }

    void everyEntryListExists() {
        TelemetryScript s;
        s.start().drive(600, 50).stand(60);
        const ComputeResult r = compute(s.points());
        QCOMPARE(r.trips.size(), 1);
        for (const QString& key : entryKeys()) QVERIFY2(r.trips[0].entries.contains(key), qPrintable(key));
        QCOMPARE(entryKey("tank", "num2"), QStringLiteral("tank-num2"));
        QCOMPARE(entryKey("parks", "num1"), QStringLiteral("parks"));
        QCOMPARE(entryKey("sensor_on", "num7"), QString());
        QCOMPARE(entryKey("nothing", ""), QString());
    }

    void trackHoldsFiveValuesPerFix() {
        TelemetryScript s;
        s.start().drive(300, 36).fix(false).drive(60, 36).fix(true).drive(300, 36).stand(100);
        const ComputeResult r = compute(s.points());
        QCOMPARE(r.trips.size(), 1);
        const Trip& t = r.trips[0];
        QCOMPARE(t.track.size() % 5, 0);
        QCOMPARE(t.pointCount(), 1 + 30 + 30 + 1);  // no-fix records are not on the track
        QCOMPARE(t.track[3], 0.0);
        for (int k = 1; k < t.pointCount(); ++k) {
            QVERIFY(t.track[5 * k] > t.track[5 * (k - 1)]);
            QVERIFY(t.track[5 * k + 3] >= t.track[5 * (k - 1) + 3]);
        }
        // 660 s at 10 m/s, within the rounding of the geometry.
        QVERIFY(std::fabs(t.track[5 * (t.pointCount() - 1) + 3] - 6600.0) < 10.0);
        QCOMPARE(t.track[5 * 5 + 4], 36.0);
    }

    void trackText() {
        const QVector<double> track{46000.0, 37.5, 55.25, 0.0, 0.0, 46000.1, 37.75, 55.5, 10.0, 5.0};
        QCOMPARE(trackCoordinatesText(track), QStringLiteral("37.5 55.25,37.75 55.5"));
        QCOMPARE(trackCoordinatesText({}), QString());
    }

    void parkedJitterMakesNoTrips() {
        TelemetryScript s;
        s.start();
        parkedJitter(s, 3 * 3600, 7);
        QCOMPARE(compute(s.points()).trips.size(), 0);
    }

    void jitterDuringAStopIsOneStop() {
        TelemetryScript s;
        s.start().drive(600, 50);
        parkedJitter(s, 900, 11);
        s.drive(600, 50).stand(60);
        const ComputeResult r = compute(s.points());
        QCOMPARE(r.trips.size(), 1);
        const auto parks = r.trips[0].entries[QStringLiteral("parks")];
        QCOMPARE(parks.size(), 1);
        QVERIFY(secondsBetween(parks[0].begin, parks[0].end) >= 800);
        // Jitter adds nothing to the distance: 1200 s at 50 km/h.
        const double metres = r.trips[0].track[r.trips[0].track.size() - 2];
        QVERIFY2(std::fabs(metres - 1200 * 50 / 3.6) < 60.0, qPrintable(QString::number(metres)));
    }

    void unsortedAndDuplicateRowsGiveTheSameTrips() {
        TelemetryScript s;
        s.start().drive(600, 50).stand(2000).drive(900, 60).fix(false).drive(120, 60).fix(true).stand(200);
        const ComputeResult clean = compute(s.points());
        QVector<TelemetryPoint> rows = s.points();
        QRandomGenerator rng(3);
        for (int i = 0; i < 50; ++i) rows.push_back(rows[rng.bounded(static_cast<int>(rows.size()))]);
        std::shuffle(rows.begin(), rows.end(), rng);
        const ComputeResult noisy = compute(rows);
        QCOMPARE(noisy.duplicatePoints, 50);
        QCOMPARE(noisy.droppedPoints, 0);
        QCOMPARE(noisy.trips.size(), clean.trips.size());
        for (int t = 0; t < clean.trips.size(); ++t) {
            QCOMPARE(noisy.trips[t].track, clean.trips[t].track);
            QCOMPARE(noisy.trips[t].entries[QStringLiteral("blinds")].size(),
                     clean.trips[t].entries[QStringLiteral("blinds")].size());
        }
    }

    void impossibleJumpsAreDroppedAndCounted() {
        TelemetryScript s;
        s.start().drive(600, 50).stand(100);
        QVector<TelemetryPoint> rows = s.points();
        const ComputeResult clean = compute(rows);
        rows[20].lon += 0.5;   // 30 km away for one sample
        rows[40].lat = 91.0;   // no such latitude
        rows[41].speedKmh = std::numeric_limits<double>::quiet_NaN();
        rows[0].lat += 1.0;    // the very first fix is wild
        const ComputeResult r = compute(rows);
        QCOMPARE(r.droppedPoints, 4);
        QCOMPARE(r.trips.size(), 1);
        const Trip& t = r.trips[0];
        QCOMPARE(t.pointCount(), clean.trips[0].pointCount() - 4);
        QVERIFY(std::fabs(t.track.last() - 0.0) < 1e-9);  // ends standing
        // The clean track's first step (10 s at 50 km/h) is missing with the wild first fix.
        const double cleanMetres = clean.trips[0].track[clean.trips[0].track.size() - 2];
        QVERIFY(std::fabs(t.track[t.track.size() - 2] - (cleanMetres - 500.0 / 3.6)) < 1.0);
    }

    void vehicleReappearingFarAwayIsFollowed() {
        // After a long gap the vehicle was carried elsewhere: the new place is trusted, not dropped.
        TelemetryScript s;
        s.start().drive(600, 50).stand(100);
        QVector<TelemetryPoint> rows = s.points();
        TelemetryScript later;
        later.start().drive(600, 50).stand(100);
        for (TelemetryPoint p : later.points()) {
            p.time += 60.0 / 1440.0;  // an hour later, 900 km away
            p.lat += 8.0;
            rows.push_back(p);
        }
        const ComputeResult r = compute(rows);
        QCOMPARE(r.droppedPoints, 0);
        QCOMPARE(r.trips.size(), 2);
    }

    void periodLimitsTheRows() {
        TelemetryScript s;
        s.start().drive(600, 50).stand(2400).drive(600, 50).stand(600);
        const ComputeResult r = computeTrips(s.points(), TelemetryScript::at(1000), TelemetryScript::at(99999), {}, {});
        QCOMPARE(r.trips.size(), 1);
        QCOMPARE(seconds(r.trips[0].begin), 3000.0);
        QCOMPARE(r.droppedPoints, 0);
    }

    void shortManoeuvreIsNoTrip() {
        TelemetryScript s;
        s.start().stand(600).drive(10, 30).drive(0, 0).stand(3600).drive(600, 40).stand(100);
        const ComputeResult r = compute(s.points());
        QCOMPARE(r.trips.size(), 1);
        QVERIFY(seconds(r.trips[0].begin) > 4000);
    }

    void dayLongTrip() {
        TelemetryScript s(60);
        s.start().sensors(1).drive(26 * 3600, 40).sensors(0).stand(120);
        const ComputeResult r = compute(s.points());
        QCOMPARE(r.trips.size(), 1);
        const double sec = secondsBetween(r.trips[0].begin, r.trips[0].end);
        QCOMPARE(sec, 26.0 * 3600 + 60);
        QCOMPARE(telvika::durationText(static_cast<qint64>(sec)), QStringLiteral("1 02:01:00"));
        const auto on = r.trips[0].entries[QStringLiteral("sensor_on-num1")];
        QCOMPARE(on.size(), 1);
        QCOMPARE(secondsBetween(on[0].begin, on[0].end), 26.0 * 3600);
    }

    void randomRowsKeepTheInvariants() {
        // Random walks with stops, wild values, shuffled order: whatever comes in, trips are
        // ordered and disjoint, tracks run forward in time and distance, entries lie in their trip.
        QRandomGenerator rng(99);
        int trips = 0, entries = 0;
        for (int round = 0; round < 40; ++round) {
            TelemetryScript s(1.0 + rng.bounded(30));
            s.start();
            for (int leg = 0; leg < 12; ++leg) {
                s.fix(rng.bounded(10) > 0).power(rng.bounded(10) > 0).sensors(static_cast<quint8>(rng.bounded(64)));
                s.tank1(rng.bounded(100) < 90 ? rng.bounded(300.0) : NAN);
                if (rng.bounded(3) == 0) s.stand(rng.bounded(4000.0));
                else s.drive(rng.bounded(1500.0), rng.bounded(130.0));
                if (rng.bounded(8) == 0) s.skip(rng.bounded(5000.0));
            }
            QVector<TelemetryPoint> rows = s.points();
            for (int k = 0; k < rows.size() / 20; ++k) {
                TelemetryPoint& p = rows[rng.bounded(static_cast<int>(rows.size()))];
                switch (rng.bounded(5)) {
                    case 0: p.lat = std::numeric_limits<double>::quiet_NaN(); break;
                    case 1: p.lon += rng.bounded(2.0) - 1.0; break;
                    case 2: p.speedKmh = -1.0; break;
                    case 3: p.time = std::numeric_limits<double>::infinity(); break;
                    default: rows.push_back(p);
                }
            }
            std::shuffle(rows.begin(), rows.end(), rng);
            const ComputeResult r = compute(rows);
            QVERIFY(r.droppedPoints > 0);
            trips += r.trips.size();
            for (int t = 0; t < r.trips.size(); ++t) {
                const Trip& trip = r.trips[t];
                QVERIFY(trip.begin < trip.end);
                if (t > 0) QVERIFY(r.trips[t - 1].end <= trip.begin);
                for (int k = 1; k < trip.pointCount(); ++k) {
                    QVERIFY(trip.track[5 * k] > trip.track[5 * (k - 1)]);
                    QVERIFY(trip.track[5 * k + 3] >= trip.track[5 * (k - 1) + 3]);
                }
                for (auto it = trip.entries.cbegin(); it != trip.entries.cend(); ++it) {
                    if (it.key().startsWith(QLatin1String("tank"))) continue;  // may lie between trips
                    entries += it.value().size();
                    for (const TripEntry& e : it.value()) {
                        QVERIFY2(e.begin >= trip.begin && e.end <= trip.end && e.begin < e.end, qPrintable(it.key()));
                        QVERIFY(std::isfinite(e.lon) && std::isfinite(e.lat));
                    }
                }
            }
        }
        QVERIFY(trips > 40);
        QVERIFY(entries > 100);
    }

    void emptyAndSingleRows() {
        QCOMPARE(compute({}).trips.size(), 0);
        TelemetryScript s;
        s.start();
        QCOMPARE(compute(s.points()).trips.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestTrips)
#include "tst_trips.moc"
