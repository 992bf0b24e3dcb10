// The real server under a user's zone with clock changes: instants in the store, the user's local
// dates on the wire, and online data checked against the store's ranges before it is stored.
#include <QCborMap>
#include <QDateTime>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <cmath>

#include "../automation/ServerProcess.h"
#include "../compute/ZoneScope.h"
#include "ServerConnection.h"
#include "TTelvikaAutomation.h"
#include "common/DateText.h"
#include "common/DurationText.h"
#include "common/Error.h"
#include "common/LocaleSetup.h"
#include "common/OleDate.h"
#include "compute/UtcTime.h"
#include "store/Store.h"

using namespace telvika;
using namespace telvika::server;
using namespace telvika::testing;

namespace {

constexpr int Points = 481;  // 00:00Z to 02:00Z on 26 Oct 2025, every 15 s: Lisbon's autumn change at 01:00Z

double instant(int h, int m, int s = 0, const QDate& day = QDate(2025, 10, 26)) {
    return utcFromEpochSeconds(QDateTime(day, QTime(h, m, s), QTimeZone::utc()).toSecsSinceEpoch());
}

const QDate Spring(2025, 3, 30);  // Lisbon's clock goes from 01:00 to 02:00 at 01:00Z

// Two hours due north at 50 km/h from 00:00Z of a day, one point every 15 s.
QVector<TelemetryPoint> driveFrom(double start) {
    QVector<TelemetryPoint> drive;
    for (int i = 0; i < Points; ++i) {
        TelemetryPoint p;
        p.time = start + i * 15.0 / 86400.0;
        p.lat = 38.70 + i * 0.001873;  // 208 m per 15 s: 50 km/h
        p.lon = -9.14;
        p.speedKmh = 50.0;
        p.odometerM = i * 208.33;
        drive << p;
    }
    return drive;
}

double lisbonOle(int h, int m) { return oleFromDateAndTime(QDate(2025, 10, 26), QTime(h, m)); }

}  // namespace

class TestServerTime : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString socket_;
    QProcess server_;

private slots:
    void initTestCase() {
        applyUserLocale();  // dates are worded as the server words them
        Store store(dir_.filePath(QStringLiteral("telvika-server.db")));
        store.addGroup({QStringLiteral("g"), QStringLiteral("Лиссабон")});
        store.addVehicle({7, QStringLiteral("g"), QStringLiteral("A"), QStringLiteral("N"), QString(), 0, 0, 0});
        store.addVehicle({8, QStringLiteral("g"), QStringLiteral("B"), QStringLiteral("N"), QString(), 0, 0, 0});
        store.addVehicle({9, QStringLiteral("g"), QStringLiteral("C"), QStringLiteral("N"), QString(), 0, 0, 0});
        store.appendTelemetry(7, driveFrom(instant(0, 0)));
        store.appendTelemetry(9, driveFrom(instant(0, 0, 0, Spring)));

        socket_ = uniqueSocketName();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Lisbon"));
        server_.setProcessEnvironment(env);
        server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server_.start(serverProgram(), {QStringLiteral("--socket"), socket_, QStringLiteral("--data"), dir_.path(),
                                        QStringLiteral("--no-demo")});
        QVERIFY(server_.waitForStarted(5000));
    }

    void cleanupTestCase() {
        server_.terminate();
        if (!server_.waitForFinished(10000)) server_.kill();
    }

    // The request's period and the reply's dates are Lisbon's clock; the duration, the points and
    // the distance are those of the true two hours.
    void driveAcrossTheAutumnChange() {
        ZoneScope zone("Europe/Lisbon");  // this process words dates as the server's user does
        TTelvikaAutomation c(nullptr, socket_, serverProgram());
        c.SetAutoStart(false);
        c.SetCallTimeout(30000);
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     try {
                                         c.Start();
                                         return true;
                                     } catch (const std::exception&) {
                                         return false;
                                     }
                                 }()),
                                 10000);
        QSignalSpy ended(&c, &TTelvikaAutomation::OnEndComputing);
        c.StartComputing(QStringLiteral("g"), 7, QStringLiteral("26.10.2025 01:00:00"), QStringLiteral("26.10.2025 02:00:00"),
                         QStringLiteral("GSM"), 1);
        QVERIFY(ended.wait(30000));
        QCOMPARE(c.TripsCount(), 1);
        c.SetTripIndex(1);
        QCOMPARE(c.TrackPointsCount(), Points);  // "01:00" is both 00:00Z and 01:00Z: the period holds both
        QCOMPARE(c.TripDuration(), durationText(7200));
        QCOMPARE(c.TripBegin(), formatRegionalDateTime(lisbonOle(1, 0)));
        QCOMPARE(c.TripEnd(), formatRegionalDateTime(lisbonOle(2, 0)));
        const QVector<double> track = c.TrackCrdsArray();
        QCOMPARE(track.size(), Points * 5);
        // The track's dates follow the user's clock: 01:59:45 summer time, then 01:00 winter time.
        QVERIFY(std::fabs(track[239 * 5] - oleFromDateAndTime(QDate(2025, 10, 26), QTime(1, 59, 45))) * 86400.0 < 1e-3);
        QVERIFY(std::fabs(track[240 * 5] - lisbonOle(1, 0)) * 86400.0 < 1e-3);
        QVERIFY(std::fabs(track[(Points - 1) * 5 + 3] - 100000.0) < 300.0);
        for (int i = 0; i < Points; ++i) QVERIFY(track[i * 5 + 4] < 52.0);

        // Spring: the clock shows 00:00 to 03:00 for the same two hours.
        c.StartComputing(QStringLiteral("g"), 9, QStringLiteral("30.03.2025 00:00:00"), QStringLiteral("30.03.2025 03:00:00"),
                         QStringLiteral("GSM"), 1);
        QVERIFY(ended.wait(30000));
        QCOMPARE(c.TripsCount(), 1);
        c.SetTripIndex(1);
        QCOMPARE(c.TrackPointsCount(), Points);
        QCOMPARE(c.TripDuration(), durationText(7200));
        QCOMPARE(c.TripBegin(), formatRegionalDateTime(oleFromDateAndTime(Spring, QTime(0, 0))));
        QCOMPARE(c.TripEnd(), formatRegionalDateTime(oleFromDateAndTime(Spring, QTime(3, 0))));
    }

    // Online data goes through the store's ranges: nothing out of them is stored, and a point's
    // local date becomes its instant.
    void onlineDataIsCheckedAndStoredAsInstants() {
        automation::ServerConnection admin;
        automation::ServerStart start;
        start.enabled = false;
        admin.open(socket_, start);
        auto point = [](double time, double lat, double speed) {
            return QCborMap{{QStringLiteral("device"), 8}, {QStringLiteral("time"), time},
                            {QStringLiteral("lat"), lat}, {QStringLiteral("lon"), -9.1}, {QStringLiteral("speed"), speed}};
        };
        const double today = oleNow();
        const QList<QCborMap> refused{point(today, 1e308, 10), point(oleFromDateAndTime(QDate(1702, 1, 1), QTime()), 38.7, 10),
                                      point(oleFromDateAndTime(QDate(9999, 1, 1), QTime()), 38.7, 10),
                                      point(today + 2.0, 38.7, 10), point(today, 38.7, -5)};
        for (const QCborMap& bad : refused) {
            try {
                admin.call(QStringLiteral("AdminOnline"), QCborArray{point(today - 0.01, 38.7, 10), bad});
                QFAIL(qPrintable(QStringLiteral("stored: ") + bad.toJsonObject().value(QStringLiteral("time")).toString()));
            } catch (const Error& e) {
                QVERIFY2(e.message().contains(QStringLiteral("отклонена")), qPrintable(e.message()));
            }
        }
        // 01:30 Lisbon summer time of 26 Oct (the first of the two) is 00:30Z.
        admin.call(QStringLiteral("AdminOnline"), QCborArray{point(lisbonOle(1, 30), 38.9, 20)});
        Store store(dir_.filePath(QStringLiteral("telvika-server.db")));
        const QVector<TelemetryPoint> t = store.telemetry(8, 0.0, 1e6);
        QCOMPARE(t.size(), 1);
        QVERIFY(std::fabs(t[0].time - instant(0, 30)) * 86400.0 < 1e-3);
        QCOMPARE(store.vehicle(8)->lat, 38.9);
    }
};

QTEST_GUILESS_MAIN(TestServerTime)
#include "tst_server_time.moc"
