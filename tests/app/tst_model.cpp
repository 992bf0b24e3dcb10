// The shared data model: track array indexing and initial state.
#include <QtTest>

#include "app/model/SharedData.h"
#include "common/Error.h"

using telvika::Error;

namespace {
// Point k (0-based) gets time 100+k, longitude 10+k, latitude 50+k, distance 1000k, speed k/2.
QVector<double> makeTrack(int n) {
    QVector<double> v;
    for (int k = 0; k < n; ++k) v << 100.0 + k << 10.0 + k << 50.0 + k << 1000.0 * k << k / 2.0;
    return v;
}
}  // namespace

class TestModel : public QObject {
    Q_OBJECT
private slots:
    void oneBasedServerIndexing();
    void namedAccessorsMatchServerIndices();
    void onePointTrack();
    void outOfRangeThrows();
    void rejectsPartialPoint();
    void initialState();
};

void TestModel::oneBasedServerIndexing() {
    const TTrackData t(makeTrack(3));
    QCOMPARE(t.pointCount(), 3);
    QCOMPARE(t.element(1), 100.0);   // time of the first point
    QCOMPARE(t.element(2), 10.0);    // its longitude
    QCOMPARE(t.element(3), 50.0);    // its latitude
    QCOMPARE(t.element(11), 102.0);  // 5N-4: time of the last point
    QCOMPARE(t.element(15), 1.0);    // 5N: speed of the last point
}

void TestModel::namedAccessorsMatchServerIndices() {
    const TTrackData t(makeTrack(7));
    for (int k = 0; k < t.pointCount(); ++k) {
        const int n = k + 1;  // server numbering
        QCOMPARE(t.time(k), t.element(5 * n - 4));
        QCOMPARE(t.longitude(k), t.element(5 * n - 3));
        QCOMPARE(t.latitude(k), t.element(5 * n - 2));
        QCOMPARE(t.distance(k), t.element(5 * n - 1));
        QCOMPARE(t.speed(k), t.element(5 * n));
    }
}

void TestModel::onePointTrack() {
    const TTrackData t(makeTrack(1));
    QCOMPARE(t.pointCount(), 1);
    QCOMPARE(t.time(0), t.element(1));
    QCOMPARE(t.speed(0), t.element(5));
    QVERIFY_THROWS_EXCEPTION(Error, t.element(6));
}

void TestModel::outOfRangeThrows() {
    const TTrackData t(makeTrack(2));
    QVERIFY_THROWS_EXCEPTION(Error, t.element(0));
    QVERIFY_THROWS_EXCEPTION(Error, t.element(11));
    QVERIFY_THROWS_EXCEPTION(Error, t.time(-1));
    QVERIFY_THROWS_EXCEPTION(Error, t.latitude(2));
    const TTrackData empty;
    QVERIFY(empty.isEmpty());
    QVERIFY_THROWS_EXCEPTION(Error, empty.time(0));
}

void TestModel::rejectsPartialPoint() {
    QVERIFY_THROWS_EXCEPTION(Error, TTrackData(QVector<double>{1, 2, 3, 4, 5, 6}));
}

void TestModel::initialState() {
    TSharedData d;
    QVERIFY(d.TrackBarSeekEnabled);
    QVERIFY(!d.OwnComputing && !d.FollowingServer && !d.SkipNextEndComputing && !d.ControlPointsOn);
    QCOMPARE(d.CurTrip, 0);
    QCOMPARE(d.TrackPointCount, 0);
    QCOMPARE(d.PlayRefTime, 0.0);
    QVERIFY(d.TrackingServer == nullptr);
    QVERIFY(d.tblTrackBase == nullptr && d.tblVehicles == nullptr);
    // Two windows' models are independent.
    TSharedData other;
    d.CurTrip = 5;
    d.GroupIDs << QStringLiteral("g1");
    QCOMPARE(other.CurTrip, 0);
    QVERIFY(other.GroupIDs.isEmpty());
}

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
