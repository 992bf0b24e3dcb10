// The playback computations: clock, speed box, stop skipping, segment search, heading and the
// vehicle's pose, marker geometry, following and the map-click search.
#include <QtTest>

#include <cmath>
#include <numbers>

#include "common/DateText.h"
#include "playback/MapSeek.h"
#include "playback/MarkerGeometry.h"
#include "playback/PlaybackClock.h"
#include "playback/TrackPosition.h"

using namespace telvika;
using namespace telvika::playback;

namespace {

constexpr double Pi = std::numbers::pi;
constexpr double Second = 1.0 / 86400.0;
const TDateTime T0 = 46000.25;  // 2025-12-09 06:00 (an ordinary day)

// A track with the given point times (seconds after T0) and positions; distance and speed carry
// the point's index so that a test can tell which point's values were used.
struct Track {
    TTrackData data;
    TMapPointArray points;
};
Track makeTrack(const QVector<double>& seconds, const TMapPointArray& points) {
    QVector<double> values;
    for (int k = 0; k < seconds.size(); ++k)
        values << T0 + seconds[k] * Second << points[k].X << points[k].Y << 100.0 * k << 10.0 * k;
    return {TTrackData(values), points};
}

double angleDistance(double a, double b) {
    return std::fabs(std::remainder(a - b, 2 * Pi));
}

}  // namespace

class TestPlaybackLogic : public QObject {
    Q_OBJECT
private slots:
    void clockDerivesTheMomentFromTheWallClock() {
        const TDateTime refClock = 45000.5, refTime = T0 + 100 * Second;
        QCOMPARE(clockMoment(refClock, refClock, 60, refTime), refTime);
        // Ten wall-clock seconds at 60x are ten track minutes.
        QVERIFY(std::fabs(clockMoment(refClock + 10 * Second, refClock, 60, refTime) -
                          (refTime + 600 * Second)) < 1e-9);
        // A factor below 1 counts as 1: the replay never stands still.
        QVERIFY(std::fabs(clockMoment(refClock + 10 * Second, refClock, 0, refTime) -
                          (refTime + 10 * Second)) < 1e-9);
    }

    void timerIntervalNeverDividesByZeroNorDropsBelowOneMillisecond() {
        QCOMPARE(timerInterval(1), 1000);
        QCOMPARE(timerInterval(3), 333);
        QCOMPARE(timerInterval(60), 16);
        QCOMPARE(timerInterval(600), 1);
        QCOMPARE(timerInterval(0), 1000);  // a factor 0 counts as 1
        QCOMPARE(timerInterval(-5), 1000);
        QCOMPARE(timerInterval(1001), 1);  // 1000/1001 rounds down to 0: never a stalled timer
        QCOMPARE(timerInterval(9999), 1);
    }

    void speedBoxTexts_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("factor");
        QTest::addColumn<QString>("shown");
        QTest::newRow("x alone") << "x" << 1 << "1x";
        QTest::newRow("empty") << "" << 1 << "1x";
        QTest::newRow("leading zero") << "060x" << 60 << "60x";
        QTest::newRow("capital X") << "60X" << 60 << "60x";
        QTest::newRow("x inside") << "6x0x" << 60 << "60x";
        QTest::newRow("no x") << "300" << 300 << "300x";
        QTest::newRow("zero") << "0" << 1 << "1x";
        QTest::newRow("zero x") << "0x" << 1 << "1x";
        QTest::newRow("above 1000") << "5000" << 5000 << "5000x";
        QTest::newRow("pasted letters") << "ab" << 1 << "1x";
    }
    void speedBoxTexts() {
        QFETCH(QString, typed);
        QFETCH(int, factor);
        QFETCH(QString, shown);
        const TSpeedText s = parseSpeedText(typed);
        QCOMPARE(s.factor, factor);
        QCOMPARE(s.text, shown);
    }

    void speedBoxKeys() {
        for (QChar c : QStringLiteral("0123456789x")) QVERIFY(isSpeedKey(c));
        QVERIFY(isSpeedKey(QChar(8)));
        for (QChar c : QStringLiteral("X-+ a.,")) QVERIFY2(!isSpeedKey(c), qPrintable(QString(c)));
    }

    void stopSkipping() {
        const QVector<TStops> stops{{T0 + 100 * Second, T0 + 200 * Second, QStringLiteral("a")},
                                    {T0 + 50 * Second, T0 + 150 * Second, QStringLiteral("b")},
                                    {T0 + 300 * Second, T0 + 400 * Second, QStringLiteral("c")}};
        QCOMPARE(findStopToSkip(stops, T0 + 100 * Second), 0);  // a stop's begin is inside it
        QCOMPARE(findStopToSkip(stops, T0 + 120 * Second), 0);  // overlapping: the first in list order
        QCOMPARE(findStopToSkip(stops, T0 + 60 * Second), 1);
        QCOMPARE(findStopToSkip(stops, T0 + 200 * Second), -1);  // its end is not
        QCOMPARE(findStopToSkip(stops, T0 + 400 * Second), -1);
        QCOMPARE(findStopToSkip(stops, T0 + 399 * Second), 2);
        QCOMPARE(findStopToSkip({}, T0), -1);
    }

    void findSegmentBoundaries() {
        const Track t = makeTrack({0, 10, 20, 30}, {{1, 1}, {2, 1}, {3, 1}, {4, 1}});
        QCOMPARE(findSegment(t.data, 4, T0 - Second, 7), 0);  // before the first point: the first segment
        QCOMPARE(findSegment(t.data, 4, T0, 7), 0);
        QCOMPARE(findSegment(t.data, 4, T0 + 5 * Second, 7), 0);
        QCOMPARE(findSegment(t.data, 4, T0 + 10 * Second, 7), 0);  // t(k-1) < T <= t(k): k-1
        QCOMPARE(findSegment(t.data, 4, T0 + 10.5 * Second, 7), 1);
        QCOMPARE(findSegment(t.data, 4, T0 + 20 * Second, 7), 1);
        // The last segment, whatever index was in use before (a seek there after Stop).
        QCOMPARE(findSegment(t.data, 4, T0 + 25 * Second, 0), 2);
        QCOMPARE(findSegment(t.data, 4, T0 + 99 * Second, 1), 2);
        // Fewer than two points: nothing found; a count above the track's own is limited to it.
        QCOMPARE(findSegment(t.data, 1, T0 - Second, 3), 3);
        QCOMPARE(findSegment(t.data, 0, T0 - Second, 3), 3);
        QCOMPARE(findSegment(t.data, 1000, T0 + 25 * Second, 0), 2);
        QCOMPARE(findSegment(TTrackData(), 5, T0, 4), 4);
    }

    void headingQuadrants_data() {
        QTest::addColumn<double>("x2");
        QTest::addColumn<double>("y2");
        QTest::addColumn<double>("expected");
        // From (0, 0) on the equator, where a degree of longitude equals one of latitude (the cosine of
        // the mean latitude is 1 within 1e-10 this close to it).
        QTest::newRow("east") << 1e-3 << 0.0 << 0.0;
        QTest::newRow("south") << 0.0 << -1e-3 << Pi / 2;
        QTest::newRow("west") << -1e-3 << 0.0 << Pi;
        QTest::newRow("north") << 0.0 << 1e-3 << 3 * Pi / 2;
        QTest::newRow("north-east") << 1e-3 << 1e-3 << 7 * Pi / 4;
        QTest::newRow("south-east") << 1e-3 << -1e-3 << Pi / 4;
        QTest::newRow("south-west") << -1e-3 << -1e-3 << 3 * Pi / 4;
        QTest::newRow("north-west") << -1e-3 << 1e-3 << 5 * Pi / 4;
    }
    void headingQuadrants() {
        QFETCH(double, x2);
        QFETCH(double, y2);
        QFETCH(double, expected);
        const double h = heading(0.0, x2, 0.0, y2);
        QVERIFY2(angleDistance(h, expected) < 1e-9, qPrintable(QString::number(h)));
        QVERIFY(h >= 0.0 && h < 2 * Pi);
    }

    void headingScalesLongitudeByLatitude() {
        // At 60 degrees a degree of longitude is half a degree of latitude on the ground.
        QVERIFY(angleDistance(heading(10.0, 11.0, 59.75, 60.25), 7 * Pi / 4) < 1e-2);
        QCOMPARE(heading(5.0, 5.0, 7.0, 7.0), Pi / 2);  // identical points point down
    }

    void meanDirectionAcrossEast() {
        // Just either side of east: the mean points east, not west as a plain average would.
        const double m = meanDirection(2 * Pi - 0.1, 0.1);
        QVERIFY2(angleDistance(m, 0.0) < 1e-12, qPrintable(QString::number(m)));
        QVERIFY(m >= 0.0 && m < 2 * Pi);
        QVERIFY(angleDistance(meanDirection(Pi / 2, Pi), 3 * Pi / 4) < 1e-12);
        QVERIFY(angleDistance(meanDirection(3 * Pi / 2, 0.0), 7 * Pi / 4) < 1e-12);
        QCOMPARE(meanDirection(0.0, Pi), Pi);  // a turn back: the way on
    }

    void poseAtAPointUsesTheMeanDirection() {
        // East-north-east into point 1, then east-south-east out of it.
        const Track t = makeTrack({0, 10, 20}, {{10.0, 0.0}, {10.1, 0.01}, {10.2, 0.0}});
        const TVehiclePose p = vehiclePose(t.data, t.points, 3, 1, T0 + 10.4 * Second);
        QCOMPARE(p.X, 10.1);
        QCOMPARE(p.Y, 0.01);
        QVERIFY2(angleDistance(p.angle, 0.0) < 1e-9, qPrintable(QString::number(p.angle)));
        // At the first point only the segment after it exists.
        const TVehiclePose first = vehiclePose(t.data, t.points, 3, 0, T0 + 0.2 * Second);
        QCOMPARE(first.X, 10.0);
        QVERIFY(angleDistance(first.angle, heading(10.0, 10.1, 0.0, 0.01)) < 1e-12);
        // A one-point track stands on its point, pointing down.
        const Track one = makeTrack({0}, {{3.0, 4.0}});
        const TVehiclePose single = vehiclePose(one.data, one.points, 1, 0, T0 + 50 * Second);
        QCOMPARE(single.X, 3.0);
        QCOMPARE(single.angle, Pi / 2);
    }

    void poseInterpolatedInTime() {
        const Track t = makeTrack({0, 60, 120}, {{10.0, 50.0}, {10.006, 50.0}, {10.006, 49.994}});
        const TVehiclePose mid = vehiclePose(t.data, t.points, 3, 0, T0 + 15 * Second);
        QVERIFY(std::fabs(mid.X - 10.0015) < 1e-9);
        QCOMPARE(mid.Y, 50.0);
        QVERIFY(angleDistance(mid.angle, 0.0) < 1e-12);
        // At the segment's end time the vehicle is on its last point.
        const TVehiclePose end = vehiclePose(t.data, t.points, 3, 1, T0 + 120 * Second);
        QVERIFY(std::fabs(end.Y - 49.994) < 1e-9);
        QVERIFY(angleDistance(end.angle, Pi / 2) < 1e-9);
        // Outside the segment's time it is held at the nearer end, pointing along the segment.
        const TVehiclePose before = vehiclePose(t.data, t.points, 3, 1, T0 + 30 * Second);
        QCOMPARE(before.Y, 50.0);
        QVERIFY(angleDistance(before.angle, Pi / 2) < 1e-9);
        const TVehiclePose after = vehiclePose(t.data, t.points, 3, 1, T0 + 500 * Second);
        QVERIFY(std::fabs(after.Y - 49.994) < 1e-9);
    }

    void poseWhereTheSegmentIsDegenerate() {
        // Zero duration: on the segment's first point with the segment's direction, no division.
        const Track same = makeTrack({0, 0, 30}, {{10.0, 50.0}, {10.0, 50.01}, {10.0, 50.02}});
        const TVehiclePose z = vehiclePose(same.data, same.points, 3, 0, T0 + 5 * Second);
        QCOMPARE(z.X, 10.0);
        QCOMPARE(z.Y, 50.0);
        QVERIFY(std::isfinite(z.angle));
        QVERIFY(angleDistance(z.angle, 3 * Pi / 2) < 1e-12);
        // A two-point track before its first point uses segment 1-2, whose end does not exist:
        // the vehicle stands on point 1, pointing along the segment that ends there.
        const Track two = makeTrack({0, 30}, {{10.0, 50.0}, {10.01, 50.0}});
        const TVehiclePose p = vehiclePose(two.data, two.points, 2, 1, T0 - 5 * Second);
        QCOMPARE(p.X, 10.01);
        QVERIFY(angleDistance(p.angle, 0.0) < 1e-12);
        // An interpolated longitude of exactly 0 puts it on the first point, pointing down.
        // (Times a quarter and an eighth of a day apart keep the arithmetic exact.)
        const Track meridian{TTrackData({0.5, -1.0, 5.0, 0, 0, 0.75, 1.0, 5.0, 0, 0}),
                             {{-1.0, 5.0}, {1.0, 5.0}}};
        const TVehiclePose m = vehiclePose(meridian.data, meridian.points, 2, 0, 0.625);
        QCOMPARE(m.X, -1.0);
        QCOMPARE(m.angle, Pi / 2);
        // The last point of the track, pointing along the last segment.
        const TVehiclePose last = lastPointPose(two.points, 2);
        QCOMPARE(last.X, 10.01);
        QVERIFY(angleDistance(last.angle, 0.0) < 1e-12);
        QCOMPARE(lastPointPose(two.points, 1).X, 10.0);
        QCOMPARE(lastPointPose(two.points, 1).angle, Pi / 2);
    }

    void markerGeometry() {
        const TMapPointArrays m = markerShape(100, 200, 0.0, 20.0);
        QCOMPARE(m.size(), 2);
        QCOMPARE(m[0].size(), 5);
        QCOMPARE(m[1].size(), 5);
        auto near = [](const TMapPoint& p, double x, double y) {
            return std::fabs(p.X - x) < 1e-9 && std::fabs(p.Y - y) < 1e-9;
        };
        const double barb = 20.0 * std::sqrt(0.5);
        QVERIFY(near(m[0][0], 92, 200));  // notch 8 px behind
        QVERIFY(near(m[0][1], 100 - barb, 200 + barb));
        QVERIFY(near(m[0][2], 120, 200));  // tip 20 px ahead
        QVERIFY(near(m[0][3], 100 - barb, 200 - barb));
        QCOMPARE(m[0][4], m[0][0]);
        QVERIFY(near(m[1][0], 95.2, 200));  // the inner dart: 0.6 of the outer about the vehicle
        QVERIFY(near(m[1][2], 112, 200));
        QVERIFY(near(m[1][1], 100 - 0.6 * barb, 200 + 0.6 * barb));
        QCOMPARE(m[1][4], m[1][0]);
        // Pointing down (south): the tip is below the vehicle on the screen.
        const TMapPointArrays down = markerShape(0, 0, Pi / 2, 20.0);
        QVERIFY(near(down[0][2], 0, 20));
        QVERIFY(near(down[0][0], 0, -8));
        // Whole pixels, halves to the even neighbour.
        QCOMPARE(wholePixel({92.5, 93.5}), QPoint(92, 94));
        QCOMPARE(wholePixel({-0.5, 7.49}), QPoint(0, 7));
    }

    void followingAtTheMargin() {
        const QPoint c(100, 50);                           // a 200 x 100 view
        QVERIFY(!needsFollowing({175, 50}, c, 200, 100));  // 75 = 100 - 25: still inside
        QVERIFY(needsFollowing({176, 50}, c, 200, 100));
        QVERIFY(needsFollowing({24, 50}, c, 200, 100));
        QVERIFY(!needsFollowing({100, 75}, c, 200, 100));
        QVERIFY(needsFollowing({100, 24}, c, 200, 100));
        // An odd width: half of it ends in .5.
        QVERIFY(!needsFollowing({175, 50}, c, 201, 100));
        QVERIFY(needsFollowing({176, 50}, c, 201, 100));
        QVERIFY(!needsFollowing({100, 50}, c, 200, 100));
    }

    void mapSeekNearestSegmentAndFoot() {
        const TMapPointArray pts{{0, 0}, {10, 0}, {10, 10}, {20, 10}};
        // Beside the middle segment: the foot of the perpendicular, 0.3 along it.
        const TMapSeek s = nearestSegment(pts, 4, 11, 3);
        QVERIFY(s.found);
        QCOMPARE(s.segment, 1);
        QVERIFY(std::fabs(s.fraction - 0.3) < 1e-9);
        // Beside the first segment.
        QCOMPARE(nearestSegment(pts, 4, 3, 1).segment, 0);
        QVERIFY(std::fabs(nearestSegment(pts, 4, 3, 1).fraction - 0.3) < 1e-9);
        // Far away, the nearest segment is still chosen; the angle at the click is not obtuse, so the
        // distance is that to the segment's first point and the seek goes exactly to that point.
        const TMapSeek far = nearestSegment(pts, 4, 100, 40);
        QVERIFY(far.found);
        QCOMPARE(far.segment, 2);
        QCOMPARE(far.fraction, 0.0);
        // Fewer than two points: nothing.
        QVERIFY(!nearestSegment(pts, 1, 3, 1).found);
        QVERIFY(!nearestSegment({}, 5, 3, 1).found);
        QVERIFY(nearestSegment(pts, 99, 3, 1).found);  // a count above the array is limited to it
    }

    void mapSeekTiesKeepTheEarlierSegment() {
        // The click is exactly as far from the first point of segment 0 as from that of segment 1.
        const TMapPointArray pts{{0, 0}, {10, 0}, {10, -10}};
        const TMapSeek s = nearestSegment(pts, 3, 5, 10);
        QCOMPARE(s.segment, 0);
        QCOMPARE(s.fraction, 0.0);
        // A track driven back over itself: the way out wins over the way back.
        const TMapPointArray back{{0, 0}, {10, 0}, {0, 0}};
        QCOMPARE(nearestSegment(back, 3, 5, 5).segment, 0);
    }

    void mapSeekSixtySecondSegmentGivesThirtySeconds() {
        const TMapPointArray pts{{10.0, 50.0}, {10.01, 50.0}};
        const TMapSeek s = nearestSegment(pts, 2, 10.005, 50.001);
        QCOMPARE(s.segment, 0);
        const TDateTime m = seekMoment(T0, T0 + 60 * Second, s.fraction);
        QCOMPARE(trackBarPosition(m, T0), 30);
        QCOMPARE(m, T0 + 30.0 / 86400.0);
        // The moment is a whole number of seconds after the segment's first point.
        QCOMPARE(seekMoment(T0, T0 + 60 * Second, 0.26), T0 + 16.0 / 86400.0);
        QCOMPARE(seekMoment(T0, T0 + 60 * Second, 0.0), T0);
    }

    void mapSeekOnTheLineWithANegativeRoot() {
        // A click on the line through A and B, where Heron's product comes out slightly below zero.
        const double ax = 9.218781, ay = 47.459603, bx = 9.214577, by = 47.450033;
        const double px = 9.216679, py = 47.454818;
        const double a2 = (px - ax) * (px - ax) + (py - ay) * (py - ay);
        const double b2 = (px - bx) * (px - bx) + (py - by) * (py - by);
        const double c2 = (bx - ax) * (bx - ax) + (by - ay) * (by - ay);
        const double h = (std::sqrt(a2) + std::sqrt(b2) + std::sqrt(c2)) / 2;
        const double product = h * (h - std::sqrt(a2)) * (h - std::sqrt(b2)) * (h - std::sqrt(c2));
        if (!(product < 0)) QSKIP("this machine's rounding keeps the product non-negative");
        const TMapSeek s = nearestSegment({{ax, ay}, {bx, by}}, 2, px, py);
        QVERIFY(s.found);
        QVERIFY2(std::fabs(s.fraction - 0.5) < 1e-6, qPrintable(QString::number(s.fraction)));
    }
};

QTEST_APPLESS_MAIN(TestPlaybackLogic)
#include "tst_playback_logic.moc"
