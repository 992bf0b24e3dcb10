// Date, duration and number texts under the Russian (decimal comma) and C locales.
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

#include "common/DateText.h"
#include "common/DurationText.h"
#include "common/Error.h"
#include "common/NumberText.h"

using namespace telvika;

namespace {
const QLocale Ru(QLocale::Russian, QLocale::Russia);
const QLocale C = QLocale::c();
double at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return oleFromDateAndTime(QDate(y, mo, d), QTime(h, mi, s));
}
}  // namespace

class TestTexts : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void fixedDateTime();
    void fixedDateTimeRejects_data();
    void fixedDateTimeRejects();
    void dateLabel();
    void defaultLocaleIsUsed();
    void regionalParsing();
    void regionalParsingRejects();
    void durations_data();
    void durations();
    void durationRejects_data();
    void durationRejects();
    void durationFormatting();
    void panelNumbers();
    void generalForm_data();
    void generalForm();
    void generalFormLocale();
};

void TestTexts::fixedDateTime() {
    QCOMPARE(formatFixedDateTime(at(2007, 2, 6)), QStringLiteral("06.02.2007 00:00:00"));
    QCOMPARE(formatFixedDateTime(at(2009, 12, 31, 23, 5, 9)), QStringLiteral("31.12.2009 23:05:09"));
    QCOMPARE(parseFixedDateTime(QStringLiteral("06.06.2009 00:00:00")), at(2009, 6, 6));
    QCOMPARE(parseFixedDateTime(QStringLiteral("01.03.1900 13:14:15")), at(1900, 3, 1, 13, 14, 15));
    const double v = at(2026, 12, 7, 8, 9, 10);
    QCOMPARE(parseFixedDateTime(formatFixedDateTime(v)), v);
}

void TestTexts::fixedDateTimeRejects_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("month 13") << QStringLiteral("06.13.2009 00:00:00");
    QTest::newRow("hour 24") << QStringLiteral("06.02.2009 24:00:00");
    QTest::newRow("no time") << QStringLiteral("06.02.2009");
    QTest::newRow("one-digit day") << QStringLiteral("6.02.2009 00:00:00");
    QTest::newRow("30 February") << QStringLiteral("30.02.2009 00:00:00");
    QTest::newRow("garbage") << QStringLiteral("x");
}

void TestTexts::fixedDateTimeRejects() {
    QFETCH(QString, text);
    QVERIFY_THROWS_EXCEPTION(Error, parseFixedDateTime(text));
}

void TestTexts::dateLabel() {
    QCOMPARE(dateLabelText(at(2009, 2, 6), Ru), QStringLiteral("06.02.2009"));
    QCOMPARE(dateLabelText(at(2009, 2, 6, 7, 8, 9), Ru), QStringLiteral("06.02.2009 07:08:09"));
    QCOMPARE(dateLabelText(at(2009, 2, 6, 0, 0, 1), Ru), QStringLiteral("06.02.2009 00:00:01"));
    // The long time format never carries a time zone.
    QVERIFY(!longTimeFormat(Ru).contains(QLatin1Char('t')));
    QVERIFY(!longTimeFormat(C).contains(QLatin1Char('t')));
    QVERIFY(dateLabelText(at(2009, 2, 6, 7, 8, 9), C).endsWith(QStringLiteral("07:08:09")));
}

void TestTexts::defaultLocaleIsUsed() {
    QLocale::setDefault(Ru);
    QCOMPARE(dateLabelText(at(2009, 2, 6, 1, 2, 3)), QStringLiteral("06.02.2009 01:02:03"));
    QCOMPARE(speedText(12.34), QStringLiteral("12,3 км/ч"));
    QLocale::setDefault(C);
    QCOMPARE(speedText(12.34), QStringLiteral("12.3 км/ч"));
}

void TestTexts::regionalParsing() {
    QCOMPARE(parseRegionalDateTime(QStringLiteral("06.02.2009 07:08:09"), Ru), at(2009, 2, 6, 7, 8, 9));
    QCOMPARE(parseRegionalDateTime(QStringLiteral("06.02.2009"), Ru), at(2009, 2, 6));
    // The fallback form is read whatever the locale.
    QCOMPARE(parseRegionalDateTime(QStringLiteral("06.02.2009 07:08:09"), C), at(2009, 2, 6, 7, 8, 9));
    // What the server writes, the player reads back, in both locales.
    for (const QLocale& l : {Ru, C}) {
        for (double v : {at(2009, 2, 6), at(2009, 2, 6, 23, 59, 59), at(2026, 1, 1, 0, 0, 1)})
            QCOMPARE(parseRegionalDateTime(formatRegionalDateTime(v, l), l), v);
    }
}

void TestTexts::regionalParsingRejects() {
    QVERIFY_THROWS_EXCEPTION(Error, parseRegionalDateTime(QStringLiteral("вчера"), Ru));
    QVERIFY_THROWS_EXCEPTION(Error, parseRegionalDateTime(QString(), Ru));
    try {
        parseRegionalDateTime(QStringLiteral("31.31.2009"), Ru);
        QFAIL("no exception");
    } catch (const Error& e) {
        QVERIFY(e.message().contains(QStringLiteral("31.31.2009")));
    }
}

void TestTexts::durations_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("seconds");
    QTest::newRow("zero") << QStringLiteral("00:00:00") << 0;
    QTest::newRow("five seconds") << QStringLiteral("00:00:05") << 5;
    QTest::newRow("hours") << QStringLiteral("02:03:04") << 7384;
    QTest::newRow("one day two hours") << QStringLiteral("1 02:00:00") << 26 * 3600;
    QTest::newRow("twelve days") << QStringLiteral("12 00:00:01") << 12 * 86400 + 1;
    QTest::newRow("last second of a day") << QStringLiteral("23:59:59") << 86399;
}

void TestTexts::durations() {
    QFETCH(QString, text);
    QFETCH(int, seconds);
    QCOMPARE(qRound(durationTextToDays(text) * 86400), seconds);
}

void TestTexts::durationRejects_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("short") << QStringLiteral("1:00:00");
    QTest::newRow("minute 60") << QStringLiteral("00:60:00");
    QTest::newRow("days not a number") << QStringLiteral("x 01:00:00");
    QTest::newRow("negative days") << QStringLiteral("-1 01:00:00");
}

void TestTexts::durationRejects() {
    QFETCH(QString, text);
    QVERIFY_THROWS_EXCEPTION(Error, durationTextToDays(text));
}

void TestTexts::durationFormatting() {
    QCOMPARE(durationText(0), QStringLiteral("00:00:00"));
    QCOMPARE(durationText(86399), QStringLiteral("23:59:59"));
    QCOMPARE(durationText(86400), QStringLiteral("1 00:00:00"));
    QCOMPARE(durationText(26 * 3600 + 61), QStringLiteral("1 02:01:01"));
    for (qint64 s : {0LL, 59LL, 3600LL, 86399LL, 86400LL, 987654LL})
        QCOMPARE(qRound64(durationTextToDays(durationText(s)) * 86400), s);
}

void TestTexts::panelNumbers() {
    QCOMPARE(speedText(12.34, Ru), QStringLiteral("12,3 км/ч"));
    QCOMPARE(speedText(0, Ru), QStringLiteral("0,0 км/ч"));
    QCOMPARE(speedText(0, C), QStringLiteral("0.0 км/ч"));
    QCOMPARE(distanceText(1500.6, Ru), QStringLiteral("1501 м"));
    QCOMPARE(distanceText(1234567.0, Ru), QStringLiteral("1234567 м"));  // no digit grouping
    QCOMPARE(distanceText(-0.2, Ru), QStringLiteral("0 м"));
    QCOMPARE(speedText(123456.78, C), QStringLiteral("123456.8 км/ч"));
}

void TestTexts::generalForm_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << QStringLiteral("0");
    QTest::newRow("integer") << 3.0 << QStringLiteral("3");
    QTest::newRow("big integer") << 1500.0 << QStringLiteral("1500");
    QTest::newRow("half") << 12.5 << QStringLiteral("12.5");
    QTest::newRow("negative") << -30.25 << QStringLiteral("-30.25");
    QTest::newRow("small") << 0.0001 << QStringLiteral("0.0001");
    QTest::newRow("longitude") << 37.617635 << QStringLiteral("37.617635");
    QTest::newRow("15 digits") << 0.1 + 0.2 << QStringLiteral("0.3");
    QTest::newRow("third") << 1.0 / 3 << QStringLiteral("0.333333333333333");
    QTest::newRow("tiny") << 1e-7 << QStringLiteral("1E-7");
    QTest::newRow("huge") << 1e20 << QStringLiteral("1E20");
}

void TestTexts::generalForm() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(generalTextDot(value), text);
    QByteArray appended = "x";
    appendGeneralTextDot(appended, value);
    QCOMPARE(appended, "x" + text.toLatin1());
    // The appended form agrees at every magnitude.
    QRandomGenerator rng(static_cast<quint32>(value * 1000));
    for (int i = 0; i < 2000; ++i) {
        const double v = (rng.generateDouble() - 0.5) * std::pow(10.0, rng.bounded(-9, 22));
        QByteArray b;
        appendGeneralTextDot(b, v);
        QCOMPARE(QString::fromLatin1(b), generalTextDot(v));
    }
}

void TestTexts::generalFormLocale() {
    QCOMPARE(generalText(-12.5, Ru), QStringLiteral("-12,5"));
    QCOMPARE(generalText(12.5, C), QStringLiteral("12.5"));
    QCOMPARE(generalTextDot(55.75), QStringLiteral("55.75"));
}

QTEST_GUILESS_MAIN(TestTexts)
#include "tst_texts.moc"
