// The information-point list's logic and the control points' map texts, tested directly.
#include <QtTest>

#include <cmath>

#include "common/DurationText.h"
#include "common/Error.h"
#include "infopoints/ControlPointShape.h"
#include "infopoints/InfoPointList.h"

using namespace infopoints;

namespace {

struct Pair {
    double x;
    double y;
};

// Splits a circle text into its pairs, failing the test on any malformed part.
QVector<Pair> pairsOf(const QString& text) {
    QVector<Pair> pairs;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const QStringList xy = part.split(QLatin1Char(' '));
        if (xy.size() != 2) return {};
        bool okX = false, okY = false;
        const QLocale c = QLocale::c();
        const Pair p{c.toDouble(xy[0], &okX), c.toDouble(xy[1], &okY)};
        if (!okX || !okY) return {};
        pairs.push_back(p);
    }
    return pairs;
}

}  // namespace

class TestInfoPointsLogic : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void entryListOfQuery() {
        TEntryListSelection s = entryListOf(QStringLiteral("tank-num1"));
        QCOMPARE(s.typeName, QStringLiteral("tank"));
        QCOMPARE(s.kindName.value_or(QString()), QStringLiteral("num1"));
        s = entryListOf(QStringLiteral("parks"));
        QCOMPARE(s.typeName, QStringLiteral("parks"));
        QVERIFY(!s.kindName.has_value());          // the kind keeps its last value
        s = entryListOf(QStringLiteral("a-b-c"));  // split at the first "-" only
        QCOMPARE(s.typeName, QStringLiteral("a"));
        QCOMPARE(*s.kindName, QStringLiteral("b-c"));
    }

    void valueColumn() {
        QCOMPARE(valueColumnCaption(QStringLiteral("over_speed")), QStringLiteral("Скорость"));
        QCOMPARE(valueColumnCaption(QStringLiteral("tank-num1")), QStringLiteral("Объем, л"));
        QCOMPARE(valueColumnCaption(QStringLiteral("tank-num2")), QStringLiteral("Объем, л"));
        for (const char* q : {"parks", "blinds", "sensor_on-num1", "checkpoints-stages", "tank", ""})
            QCOMPARE(valueColumnCaption(QLatin1String(q)), QStringLiteral("Прод-ть"));
        QVERIFY(valueKindOf(QStringLiteral("tank-num2")) == TValueKind::Tank2);

        // Unrounded, shortest general form, the locale's separator.
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(valueText(101.25), QStringLiteral("101,25"));
        QCOMPARE(valueText(49.87654321), QStringLiteral("49,87654321"));
        QCOMPARE(valueText(0.1 + 0.2), QStringLiteral("0,3"));  // 15 significant digits
        QCOMPARE(valueText(-12.0), QStringLiteral("-12"));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(valueText(101.25), QStringLiteral("101.25"));
    }

    void durationsWithDays() {
        QCOMPARE(durationSeconds(QStringLiteral("00:00:05")), 5.0);
        QCOMPARE(durationSeconds(QStringLiteral("1 02:00:00")), 26.0 * 3600);
        QCOMPARE(durationSeconds(QStringLiteral("12 00:00:01")), 12.0 * 86400 + 1);
        QVERIFY(lastsAtLeast(QStringLiteral("1 02:00:00"), 9999));
        QVERIFY(!lastsAtLeast(QStringLiteral("02:00:00"), 9999));
        QVERIFY(!lastsAtLeast(QStringLiteral("00:00:05"), 6));  // the window's default minimum
        QVERIFY(lastsAtLeast(QStringLiteral("00:00:00"), 0));
        // "At least" holds at every threshold the box can hold, whatever floating point makes of
        // the text's fraction of a day.
        for (int s = 0; s <= 9999; ++s) {
            const QString text = telvika::durationText(s);
            if (!lastsAtLeast(text, s) || lastsAtLeast(text, s + 1)) QFAIL(qPrintable(text));
        }
        QVERIFY_THROWS_EXCEPTION(telvika::Error, durationSeconds(QStringLiteral("5 сек")));
    }

    void durationBox() {
        QCOMPARE(minimumDurationOf(QStringLiteral("0")), 0);
        QCOMPARE(minimumDurationOf(QStringLiteral("05")), 5);
        QCOMPARE(minimumDurationOf(QStringLiteral("9999")), 9999);
        for (const char* bad : {"", "12a", " 6", "-1", "10000"})
            QVERIFY_THROWS_EXCEPTION(telvika::Error, minimumDurationOf(QLatin1String(bad)));
        for (char c = '0'; c <= '9'; ++c) QVERIFY(isDurationBoxKey(QLatin1Char(c)));
        QVERIFY(isDurationBoxKey(Backspace));
        for (QChar c : {QChar(u'a'), QChar(u'-'), QChar(u' '), QChar(u','), QChar(u'٣'), QChar(13)})
            QVERIFY(!isDurationBoxKey(c));
    }

    void trackBarPositions() {
        const telvika::TDateTime t0 = 45355.0 + 8.0 / 24;  // 04.03.2024 08:00
        QCOMPARE(trackBarPosition(t0 + 1200.0 / 86400, t0), 1200);
        QCOMPARE(trackBarPosition(t0, t0), 0);
        QCOMPARE(trackBarPosition(t0 - 30.0 / 86400, t0), -30);
        QCOMPARE(trackBarPosition(0.5 / 86400, 0.0), 0);  // halves to even
        QCOMPARE(trackBarPosition(1.5 / 86400, 0.0), 2);
        QCOMPARE(trackBarPosition(2.5 / 86400, 0.0), 2);
        QCOMPARE(trackBarPosition(1e9, 0.0), std::numeric_limits<int>::max());
    }

    void kindMenuNumbers() {
        QCOMPARE(menuItemNumber(QStringLiteral("mnu6")).value_or(-1), 6);
        QCOMPARE(menuItemNumber(QStringLiteral("mnu13")).value_or(-1), 13);
        QVERIFY(!menuItemNumber(QStringLiteral("N5")));
        QVERIFY(!menuItemNumber(QStringLiteral("mnu")));
        QVERIFY(!menuItemNumber(QStringLiteral("MapListEdit")));
        QCOMPARE(menuItemImage(2, true), 0);
        QCOMPARE(menuItemImage(6, true), 4);
        QCOMPARE(menuItemImage(6, false), 16);
        QCOMPARE(menuItemImage(13, false), 23);
    }

    void radiusInDegrees() {
        QVERIFY(std::fabs(radiusToDegrees(111195.0) - 1.0) < 1e-5);
        QCOMPARE(radiusToDegrees(0.0), 0.0);
        QCOMPARE(radiusToDegrees(20015159.0526516052887), 180.0);
    }

    void circleOfRadiusZero() {
        const QString text = circleText(37.6, 55.75, 0);
        const QStringList parts = text.split(QLatin1Char(','));
        QCOMPARE(parts.size(), 31);
        for (const QString& p : parts) QCOMPARE(p, QStringLiteral("37.6 55.75"));
    }

    void circleShape_data() {
        QTest::addColumn<double>("lat");
        QTest::addColumn<double>("widening");  // east-west offsets over those at the equator
        QTest::newRow("equator") << 0.0 << 1.0;
        QTest::newRow("latitude 60") << 60.0 << 2.0;
        QTest::newRow("southern 60") << -60.0 << 2.0;
    }

    void circleShape() {
        QFETCH(double, lat);
        QFETCH(double, widening);
        const double lon = 30.25;
        const double d = radiusToDegrees(1000);
        const QString text = circleText(lon, lat, 1000);
        QVERIFY(!text.endsWith(QLatin1Char(',')));
        const QVector<Pair> pairs = pairsOf(text);
        QCOMPARE(pairs.size(), 31);
        QCOMPARE(text.section(QLatin1Char(','), 0, 0), text.section(QLatin1Char(','), 30, 30));
        // Point k lies at k * 12 degrees counter-clockwise from east; only the east-west offset
        // grows with the latitude, by 1 / cos(latitude).
        double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
        for (int k = 0; k <= 30; ++k) {
            const double a = (k % 30) * 12 * M_PI / 180;
            const double dx = pairs[k].x - lon, dy = pairs[k].y - lat;
            QVERIFY2(std::fabs(dx - widening * std::cos(a) * d) < 1e-9 * d, qPrintable(QString::number(k)));
            QVERIFY2(std::fabs(dy - std::sin(a) * d) < 1e-9 * d, qPrintable(QString::number(k)));
            minX = std::min(minX, dx), maxX = std::max(maxX, dx);
            minY = std::min(minY, dy), maxY = std::max(maxY, dy);
        }
        QVERIFY(std::fabs((maxY - minY) - 2 * d) < 0.02 * d);  // about the diameter
        // The east-west extent of the circle at 60 degrees is twice its north-south extent, up to
        // the 12 degree steps (which reach east and west exactly, but not north and south).
        const double ratio = (maxX - minX) / (maxY - minY);
        QVERIFY2(std::fabs(ratio - widening / std::sin(84 * M_PI / 180)) < 1e-9,
                 qPrintable(QString::number(ratio)));
    }

    void textsUsePointsInAnyLocale() {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(coordinateText(55.75), QStringLiteral("55.75"));
        QCOMPARE(coordinateText(-0.000125), QStringLiteral("-0.000125"));
        const QString text = circleText(37.617698, 55.755826, 250);
        QCOMPARE(pairsOf(text).size(), 31);  // every "," separates pairs, none is a decimal comma
        QCOMPARE(text.count(QLatin1Char(',')), 30);
    }

    void labels() {
        QCOMPARE(controlPointLabel(QStringLiteral("Склад"), QStringLiteral("ворота 2")),
                 QStringLiteral("Склад(ворота 2)"));
        QCOMPARE(controlPointLabel(QStringLiteral("База"), QString()), QStringLiteral("База()"));
    }
};

QTEST_GUILESS_MAIN(TestInfoPointsLogic)
#include "tst_infopoints_logic.moc"
