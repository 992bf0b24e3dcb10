// Instants and the user's local dates: conversions under several zones, across both clock changes,
// against Qt's own zone data; and the ranges every stored point must lie in.
#include <QDateTime>
#include <QTimeZone>
#include <QtTest>

#include <cmath>

#include "ZoneScope.h"
#include "common/OleDate.h"
#include "compute/TelemetryCheck.h"
#include "compute/UtcTime.h"

using namespace telvika;
using namespace telvika::server;

namespace {

double instant(int y, int mo, int d, int h, int mi) {
    return utcFromEpochSeconds(QDateTime(QDate(y, mo, d), QTime(h, mi), QTimeZone::utc()).toSecsSinceEpoch());
}

// The local OLE date of an instant worked out through Qt's named zone, not the process's clock.
double referenceLocal(double utc, const QTimeZone& zone) {
    const QDateTime at = QDateTime::fromSecsSinceEpoch(std::llround(epochSecondsFromUtc(utc)), QTimeZone::utc()).toTimeZone(zone);
    return oleFromDateAndTime(at.date(), at.time());
}

bool sameMoment(double a, double b) { return std::fabs(a - b) * 86400.0 < 1e-3; }

}  // namespace

class TestTime : public QObject {
    Q_OBJECT

private slots:
    void localDatesFollowTheZone_data() {
        QTest::addColumn<QByteArray>("zone");
        for (const char* z : {"Europe/Lisbon", "America/New_York", "Australia/Sydney", "Asia/Kolkata", "UTC"})
            QTest::newRow(z) << QByteArray(z);
    }
    void localDatesFollowTheZone() {
        QFETCH(QByteArray, zone);
        ZoneScope scope(zone);
        const QTimeZone named(zone);
        QVERIFY(named.isValid());
        LocalTimeConverter converter;
        int repeated = 0;
        // Every 10 minutes of 2025, both clock changes included.
        for (int k = 0; k < 365 * 144; ++k) {
            const double u = instant(2025, 1, 1, 0, 0) + k * 600.0 / 86400.0;
            const double local = localOleFromUtc(u);
            QVERIFY2(sameMoment(local, referenceLocal(u, named)), qPrintable(QString::number(u, 'f', 6)));
            QVERIFY(sameMoment(converter.toLocal(u), local));
            const double early = utcFromLocalOle(local, RepeatedHour::Earlier);
            const double late = utcFromLocalOle(local, RepeatedHour::Later);
            QVERIFY2(sameMoment(early, u) || sameMoment(late, u), qPrintable(QString::number(u, 'f', 6)));
            if (!sameMoment(early, late)) ++repeated;
        }
        // The repeated autumn hour is seen twice (6 samples of each reading), in zones with summer time.
        const bool summerTime = zone != "Asia/Kolkata" && zone != "UTC";
        QCOMPARE(repeated, summerTime ? 12 : 0);
    }

    // Dates no zone knows (a wild value of a device) convert without fault and stay out of range.
    void farDatesConvertWithoutFault() {
        ZoneScope scope("Europe/Lisbon");
        for (double v : {1e308, -1e308, double(INFINITY), 1e12, -1e12}) {
            const double u = utcFromLocalOle(v);
            QVERIFY(!std::isfinite(u) || std::fabs(u - v) < 1.0);
            TelemetryPoint p;
            p.time = u;
            QVERIFY(!telemetryProblem(p, utcNow()).isEmpty());
            QVERIFY(!std::isfinite(localOleFromUtc(v)) || std::fabs(localOleFromUtc(v) - v) < 1.0);
        }
    }

    void lisbonAutumnAndSpring() {
        ZoneScope scope("Europe/Lisbon");
        // 26 Oct 2025: 02:00 summer time becomes 01:00; 01:30 happens at 00:30Z and again at 01:30Z.
        const double first = instant(2025, 10, 26, 0, 30), second = instant(2025, 10, 26, 1, 30);
        const double wall = oleFromDateAndTime(QDate(2025, 10, 26), QTime(1, 30));
        QVERIFY(sameMoment(localOleFromUtc(first), wall));
        QVERIFY(sameMoment(localOleFromUtc(second), wall));
        QVERIFY(sameMoment(utcFromLocalOle(wall, RepeatedHour::Earlier), first));
        QVERIFY(sameMoment(utcFromLocalOle(wall, RepeatedHour::Later), second));
        // 30 Mar 2025: 01:00 becomes 02:00; 01:30 never shows, it reads as half an hour after the change.
        const double skipped = oleFromDateAndTime(QDate(2025, 3, 30), QTime(1, 30));
        QVERIFY(sameMoment(utcFromLocalOle(skipped), instant(2025, 3, 30, 1, 30)));
        QVERIFY(sameMoment(localOleFromUtc(instant(2025, 3, 30, 1, 30)), oleFromDateAndTime(QDate(2025, 3, 30), QTime(2, 30))));
        // A summer and a winter hour of the same drive are one true hour apart.
        QCOMPARE(std::llround((instant(2025, 10, 26, 1, 30) - instant(2025, 10, 26, 0, 30)) * 86400.0), 3600LL);
    }

    void storedPointsMustLieInRange_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("problem");  // empty: accepted
        const double now = utcNow();
        QTest::newRow("fine") << "lat" << 55.0 << "";
        QTest::newRow("huge latitude") << "lat" << 1e308 << "неверные координаты";
        QTest::newRow("longitude 181") << "lon" << 181.0 << "неверные координаты";
        QTest::newRow("NaN latitude") << "lat" << double(NAN) << "неверные координаты";
        QTest::newRow("year 1702") << "time" << oleFromDateAndTime(QDate(1702, 5, 1), QTime(12, 0)) << "неверное время";
        QTest::newRow("1969") << "time" << instant(1969, 12, 31, 23, 59) << "неверное время";
        QTest::newRow("1970") << "time" << instant(1970, 1, 1, 0, 0) << "";
        QTest::newRow("year 9999") << "time" << oleFromDateAndTime(QDate(9999, 1, 1), QTime(0, 0)) << "время в будущем";
        QTest::newRow("two days ahead") << "time" << now + 2.0 << "время в будущем";
        QTest::newRow("an hour ahead") << "time" << now + 1.0 / 24.0 << "";
        QTest::newRow("negative speed") << "speed" << -1.0 << "неверная скорость";
        QTest::newRow("speed 401") << "speed" << 401.0 << "неверная скорость";
        QTest::newRow("negative fuel") << "tank1" << -0.5 << "неверный уровень топлива";
        QTest::newRow("infinite fuel") << "tank2" << double(INFINITY) << "неверный уровень топлива";
        QTest::newRow("negative odometer") << "odometer" << -1.0 << "неверный пробег";
        QTest::newRow("seventh sensor") << "sensors" << 64.0 << "неверные датчики";
    }
    void storedPointsMustLieInRange() {
        QFETCH(QString, field);
        QFETCH(double, value);
        QFETCH(QString, problem);
        TelemetryPoint p;
        p.time = utcNow() - 1.0;
        p.lat = 55.0;
        p.lon = 37.0;
        if (field == "lat") p.lat = value;
        if (field == "lon") p.lon = value;
        if (field == "time") p.time = value;
        if (field == "speed") p.speedKmh = value;
        if (field == "tank1") p.tank1 = value;
        if (field == "tank2") p.tank2 = value;
        if (field == "odometer") p.odometerM = value;
        if (field == "sensors") p.sensors = static_cast<quint8>(value);
        QCOMPARE(telemetryProblem(p, utcNow()), problem);
    }
};

QTEST_GUILESS_MAIN(TestTime)
#include "tst_time.moc"
