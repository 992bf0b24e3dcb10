// Date scale, rounding and track-bar arithmetic.
#include <QtTest>

#include "common/Bool32.h"
#include "common/OleDate.h"
#include "common/Rounding.h"

using namespace telvika;

class TestConversions : public QObject {
    Q_OBJECT
private slots:
    void oleKnownValues_data();
    void oleKnownValues();
    void oleRoundTripWholeSeconds();
    void oleBeforeEpochFractionCountsForward();
    void oleRoundingToNextMidnight();
    void dateAndTimeParts();
    void halfEven_data();
    void halfEven();
    void roundToDigits();
    void trackBar();
    void bool32();
};

void TestConversions::oleKnownValues_data() {
    QTest::addColumn<double>("ole");
    QTest::addColumn<QDateTime>("dt");
    QTest::newRow("epoch") << 0.0 << QDateTime(QDate(1899, 12, 30), QTime(0, 0));
    QTest::newRow("noon after epoch") << 1.5 << QDateTime(QDate(1899, 12, 31), QTime(12, 0));
    QTest::newRow("1900-01-01") << 2.0 << QDateTime(QDate(1900, 1, 1), QTime(0, 0));
    QTest::newRow("default begin") << 39119.0 << QDateTime(QDate(2007, 2, 6), QTime(0, 0));
    QTest::newRow("06:00 before epoch") << -1.25 << QDateTime(QDate(1899, 12, 29), QTime(6, 0));
    QTest::newRow("18:00 before epoch") << -1.75 << QDateTime(QDate(1899, 12, 29), QTime(18, 0));
    QTest::newRow("2 days before") << -2.0 << QDateTime(QDate(1899, 12, 28), QTime(0, 0));
    QTest::newRow("one second") << 1.0 / 86400 << QDateTime(QDate(1899, 12, 30), QTime(0, 0, 1));
}

void TestConversions::oleKnownValues() {
    QFETCH(double, ole);
    QFETCH(QDateTime, dt);
    QCOMPARE(oleToDateTime(ole), dt);
    QCOMPARE(oleFromDateTime(dt), ole);
}

void TestConversions::oleRoundTripWholeSeconds() {
    // Every second of a few days far apart survives the trip through the double exactly.
    const QDate days[] = {QDate(1899, 12, 29), QDate(1900, 3, 1), QDate(2009, 2, 6), QDate(2026, 12, 31)};
    for (const QDate& d : days) {
        for (int s = 0; s < 86400; s += 7) {
            const QDateTime dt(d, QTime(0, 0).addSecs(s));
            const double ole = oleFromDateTime(dt);
            QCOMPARE(oleToDateTime(ole), dt);
        }
    }
}

void TestConversions::oleBeforeEpochFractionCountsForward() {
    // Later in the day is further from zero before the epoch, nearer after it.
    const double morning = oleFromDateAndTime(QDate(1899, 12, 29), QTime(6, 0));
    const double evening = oleFromDateAndTime(QDate(1899, 12, 29), QTime(18, 0));
    QVERIFY(evening < morning);
    QCOMPARE(oleToDate(-0.5), QDate(1899, 12, 30));  // -0.5 and 0.5 are the same moment
    QCOMPARE(oleToTime(-0.5), QTime(12, 0));
}

void TestConversions::oleRoundingToNextMidnight() {
    const double almost = 39119.0 + 0.9999999999;
    QCOMPARE(oleToDateTime(almost), QDateTime(QDate(2007, 2, 7), QTime(0, 0)));
}

void TestConversions::dateAndTimeParts() {
    const double v = oleFromDateAndTime(QDate(2009, 2, 6), QTime(13, 45, 10));
    QCOMPARE(oleDateOnly(v), oleFromDateAndTime(QDate(2009, 2, 6), QTime(0, 0)));
    QCOMPARE(qRound(oleTimeOfDay(v) * 86400), 13 * 3600 + 45 * 60 + 10);
}

void TestConversions::halfEven_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("expected");
    QTest::newRow("0.5") << 0.5 << 0.0;
    QTest::newRow("1.5") << 1.5 << 2.0;
    QTest::newRow("2.5") << 2.5 << 2.0;
    QTest::newRow("3.5") << 3.5 << 4.0;
    QTest::newRow("-0.5") << -0.5 << 0.0;
    QTest::newRow("-1.5") << -1.5 << -2.0;
    QTest::newRow("-2.5") << -2.5 << -2.0;
    QTest::newRow("2.4999") << 2.4999 << 2.0;
    QTest::newRow("2.5001") << 2.5001 << 3.0;
    QTest::newRow("big") << 4503599627370495.5 << 4503599627370496.0;
}

void TestConversions::halfEven() {
    QFETCH(double, x);
    QFETCH(double, expected);
    QCOMPARE(roundHalfEven(x), expected);
}

void TestConversions::roundToDigits() {
    QCOMPARE(telvika::roundToDigits(0.125, 2), 0.12);
    QCOMPARE(telvika::roundToDigits(0.375, 2), 0.38);
    QCOMPARE(telvika::roundToDigits(12.25, 1), 12.2);
    QCOMPARE(telvika::roundToDigits(-12.75, 1), -12.8);
    QCOMPARE(telvika::roundToDigits(7.0, 1), 7.0);
}

void TestConversions::trackBar() {
    const double t0 = oleFromDateAndTime(QDate(2009, 2, 6), QTime(10, 0));
    // Differences of exactly half a second go to the even neighbour.
    QCOMPARE(trackBarPosition(0.5 / 86400, 0.0), 0);
    QCOMPARE(trackBarPosition(1.5 / 86400, 0.0), 2);
    QCOMPARE(trackBarPosition(2.5 / 86400, 0.0), 2);
    QCOMPARE(trackBarPosition(-0.5 / 86400, 0.0), 0);
    QCOMPARE(trackBarPosition(t0 + 90.0 / 1440, t0), 5400);  // a 90-minute trip
    QCOMPARE(trackBarPosition(t0, t0), 0);
    for (int p : {0, 1, 59, 3600, 86399, 86400 * 3 + 17})
        QCOMPARE(trackBarPosition(trackBarMoment(p, t0), t0), p);
}

void TestConversions::bool32() {
    Bool32 b;
    QVERIFY(!b);
    b = true;
    QCOMPARE(b.raw(), -1);
    QCOMPARE(static_cast<quint32>(b.raw()), 0xFFFFFFFFu);
    QVERIFY(Bool32::fromRaw(1));
    QVERIFY(Bool32::fromRaw(0x100));
    QVERIFY(!Bool32::fromRaw(0));
    b = false;
    QCOMPARE(b.raw(), 0);
}

QTEST_GUILESS_MAIN(TestConversions)
#include "tst_conversions.moc"
