// The selection texts, the entry-list selector and the model's side of loading a trip, without a
// window or a server.
#include <QtTest>

#include "common/DateText.h"
#include "common/Error.h"
#include "tracking/SelectionText.h"
#include "tracking/TrackLoad.h"

using namespace telvika;
using namespace telvika::tracking;

namespace {

// A track of n points one minute apart from t0, moving east.
QVector<double> trackValues(int n, double t0) {
    QVector<double> v;
    for (int k = 0; k < n; ++k) v << t0 + k / 1440.0 << 30.0 + k * 0.001 << 55.0 << k * 60.0 << 36.0;
    return v;
}

}  // namespace

class TestTrackingLogic : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void periodBounds() {
        QCOMPARE(periodBoundText(QDate(2007, 2, 6), QTime(0, 0)), QStringLiteral("06.02.2007 00:00:00"));
        QCOMPARE(periodBoundText(QDate(2024, 12, 31), QTime(23, 59, 7)), QStringLiteral("31.12.2024 23:59:07"));
        // A wall-clock time inside a spring-forward gap is sent as the user sees it, whatever the zone.
        QCOMPARE(periodBoundText(QDate(2024, 3, 31), QTime(2, 30)), QStringLiteral("31.03.2024 02:30:00"));
        // The server reads back exactly what was sent.
        QCOMPARE(formatFixedDateTime(parseFixedDateTime(periodBoundText(QDate(2009, 2, 6), QTime(17, 5, 1)))),
                 QStringLiteral("06.02.2009 17:05:01"));
    }

    void deviceTexts() {
        QCOMPARE(deviceOfListText(QString()), 0);
        QCOMPARE(deviceOfListText(QStringLiteral("101")), 101);
        QCOMPARE(deviceOfListText(QStringLiteral("abc")), 0);

        QCOMPARE(deviceListTextOf(QStringLiteral("101")).value_or(QStringLiteral("none")), QStringLiteral("101"));
        QCOMPARE(deviceListTextOf(QStringLiteral("007")).value_or(QStringLiteral("none")), QStringLiteral("7"));
        QCOMPARE(deviceListTextOf(QStringLiteral(" 42 ")).value_or(QStringLiteral("none")), QStringLiteral("42"));
        // Not whole numbers match no vehicle.
        for (const char* bad : {"", "12.5", "1e3", "12a", "-", "99999999999"})
            QVERIFY2(!deviceListTextOf(QString::fromLatin1(bad)).has_value(), bad);
    }

    void vehicleLabels() {
        QCOMPARE(vehicleLabel(QStringLiteral("КамАЗ"), QStringLiteral("А001АА77"), 101, QStringLiteral("склад")),
                 QStringLiteral("КамАЗ А001АА77(№ TV: 101, склад)"));
        QCOMPARE(vehicleLabel(QStringLiteral("ЗИЛ 'Бычок'"), QString(), 7, QString()),
                 QStringLiteral("ЗИЛ 'Бычок' (№ TV: 7, )"));
    }

    void loadsTrackWithStopsAndRange() {
        TSharedData d;
        d.ControlPointCount = 3;
        const double t0 = 45426.5;  // 2024-05-14 12:00
        TTripSource source;
        source.pointCount = [] { return 91; };
        source.stops = [] { return QVector<TStops>{TStops{1.0, 2.0, QStringLiteral("00:05:00")}}; };
        source.values = [&] { return trackValues(91, t0); };
        const std::optional<int> maximum = loadTripTrack(d, source);
        QVERIFY(maximum.has_value());
        QCOMPARE(*maximum, 5400);  // 90 minutes
        QCOMPARE(d.TrackPointCount, 91);
        QCOMPARE(d.TrackPoints.size(), 91);
        QCOMPARE(d.TrackPoints[1], (TMapPoint{30.001, 55.0}));
        QCOMPARE(d.PlayRefTime, t0);
        QCOMPARE(d.ControlPointCount, 0);
        QCOMPARE(d.TripStopsCount, 1);
        QCOMPARE(d.TripStops[0].Text, QStringLiteral("00:05:00"));

        // A trip of one point has the range 0 to 0; a trip without stops empties them.
        source.pointCount = [] { return 1; };
        source.stops = [] { return QVector<TStops>{}; };
        source.values = [&] { return trackValues(1, t0); };
        QCOMPARE(loadTripTrack(d, source).value_or(-1), 0);
        QCOMPARE(d.TripStopsCount, 0);
        QVERIFY(d.TripStops.isEmpty());
    }

    void tripWithoutPointsKeepsThePrevious() {
        TSharedData d;
        TTripSource source;
        source.pointCount = [] { return 3; };
        source.stops = [] { return QVector<TStops>{TStops{}}; };
        source.values = [] { return trackValues(3, 45000.0); };
        QVERIFY(loadTripTrack(d, source).has_value());

        bool valuesRead = false;
        source.pointCount = [] { return 0; };
        source.stops = [&] {
            valuesRead = true;
            return QVector<TStops>{};
        };
        source.values = [&] {
            valuesRead = true;
            return QVector<double>{};
        };
        QVERIFY(!loadTripTrack(d, source).has_value());
        QVERIFY(!valuesRead);
        QCOMPARE(d.TrackPointCount, 0);
        QCOMPARE(d.TrackData.pointCount(), 3);
        QCOMPARE(d.TrackPoints.size(), 3);
        QCOMPARE(d.TripStopsCount, 1);
        QCOMPARE(d.PlayRefTime, 45000.0);
    }

    void badTripKeepsThePrevious() {
        TSharedData d;
        TTripSource good;
        good.pointCount = [] { return 2; };
        good.stops = [] { return QVector<TStops>{}; };
        good.values = [] { return trackValues(2, 45000.0); };
        QVERIFY(loadTripTrack(d, good).has_value());

        // A track shorter than its count, and a stop that cannot be read: nothing is replaced.
        TTripSource shortTrack = good;
        shortTrack.pointCount = [] { return 5; };
        shortTrack.values = [] { return trackValues(4, 46000.0); };
        QVERIFY_THROWS_EXCEPTION(Error, loadTripTrack(d, shortTrack));
        TTripSource badStop = good;
        badStop.values = [] { return trackValues(2, 46000.0); };
        badStop.stops = [] {
            return QVector<TStops>{stopOfTexts(QStringLiteral("5/14/24 8:50:00 AM"), QStringLiteral("x"), QString())};
        };
        QVERIFY_THROWS_EXCEPTION(Error, loadTripTrack(d, badStop));
        QCOMPARE(d.TrackData.time(0), 45000.0);
        QCOMPARE(d.TrackPoints.size(), 2);
        QCOMPARE(d.TrackPointCount, 2);
    }

    void stopTexts() {
        const TStops s = stopOfTexts(QStringLiteral("14.05.2024 8:50:00"), QStringLiteral("14.05.2024 8:55:30"),
                                     QStringLiteral("00:05:30"));
        QCOMPARE(oleToDateTime(s.Begin), QDateTime(QDate(2024, 5, 14), QTime(8, 50)));
        QCOMPARE(oleToDateTime(s.End), QDateTime(QDate(2024, 5, 14), QTime(8, 55, 30)));
        QCOMPARE(s.Text, QStringLiteral("00:05:30"));
        // What the server writes in the user's format is read back.
        const double t = oleFromDateAndTime(QDate(2024, 1, 2), QTime(3, 4, 5));
        QCOMPARE(stopOfTexts(formatRegionalDateTime(t), formatRegionalDateTime(t), QString()).Begin, t);
        try {
            stopOfTexts(QStringLiteral("вчера"), QStringLiteral("14.05.2024 8:55:30"), QString());
            QFAIL("an unreadable date was accepted");
        } catch (const Error& e) {
            QVERIFY(e.message().contains(QStringLiteral("вчера")));
        }
    }
};

QTEST_GUILESS_MAIN(TestTrackingLogic)
#include "tst_tracking_logic.moc"
