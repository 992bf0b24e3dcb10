// Geometry texts read every number the player's writers produce: the shortest general form (with
// an exponent below 1e-5), Qt's own number texts, negative zero, tiny and huge values. Each is
// read back to the very double its text stands for.
#include "DecimalNumber.h"
#include "MetricsParser.h"
#include "common/NumberText.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <random>

using namespace mvx;

namespace {

// The double a text stands for, as Qt reads it; NaN when it is no double (beyond the largest).
double meant(const QString& text) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok || v == 0 ? v : std::numeric_limits<double>::quiet_NaN();
}

// Reads one whole text as a number; NaN when refused or not all of it was read.
double readAll(const QString& text) {
    const QChar* p = text.constData();
    const QChar* const end = p + text.size();
    double v = 0;
    if (!readDecimalNumber(p, end, v) || p != end) return std::numeric_limits<double>::quiet_NaN();
    return v;
}

bool sameDouble(double a, double b) { return a == b && std::signbit(a) == std::signbit(b); }

}  // namespace

class TestMetricsNumbers : public QObject {
    Q_OBJECT
private slots:
    void writtenFormsRead();
    void refusedForms();
    void randomTracksRoundTrip();
    void tinyAndHugeValues();
    void coordinatesNearTheEquatorAndPrimeMeridian();
};

void TestMetricsNumbers::writtenFormsRead() {
    for (const char* t : {"1E-6", "1e-6", "-0", "0", "+3", "1.5e+300", "1.5E300", "-2.5E-07", "12.5", ".5", "5.",
                          "0.0001", "4.94065645841247E-324", "1.7976931348623E308", "-1.7976931348623157e+308"}) {
        const QString text = QString::fromLatin1(t);
        QVERIFY2(sameDouble(readAll(text), meant(text)), t);
    }
    QVERIFY(std::signbit(readAll("-0")));
    QVERIFY(std::signbit(readAll("-0.0E5")));
    // Below the smallest double a text reads as zero, with its sign.
    QVERIFY(sameDouble(readAll("1e-400"), 0.0));
    QVERIFY(sameDouble(readAll("-1e-400"), -0.0));
}

void TestMetricsNumbers::refusedForms() {
    for (const char* t : {"", "-", "+", ".", "-.", "e5", "E-7", "nan", "NAN", "inf", "INF", "-INF", "1e400",
                          "-1E309", "1.79769313486232E308"}) {
        const QString text = QString::fromLatin1(t);
        const QChar* p = text.constData();
        double v = 42;
        QVERIFY2(!readDecimalNumber(p, p + text.size(), v), t);
        QCOMPARE(v, 42.0);
        QVERIFY(p == text.constData());
    }
    // The 15-digit form of the largest double is beyond it, like any other overflow (no
    // coordinate or style value comes near). A number ends where its characters end.
    QVector<QPointF> points;
    QString error;
    QVERIFY(!MetricsParser::parse(QStringLiteral("L E 0x10 5"), points, error));
    // An 'e' without digits ends the number before it.
    const QString partial = QStringLiteral("2e+ 3");
    const QChar* p = partial.constData();
    double v = 0;
    QVERIFY(readDecimalNumber(p, p + partial.size(), v));
    QCOMPARE(v, 2.0);
    QCOMPARE(p - partial.constData(), 1);
}

void TestMetricsNumbers::randomTracksRoundTrip() {
    std::mt19937_64 rng(20261208);
    std::uniform_real_distribution<double> lonDist(-180.0, 180.0), latDist(-85.0, 85.0);
    std::uniform_int_distribution<int> magnitude(-320, 2);
    std::uniform_int_distribution<int> form(0, 3);
    for (int round = 0; round < 200; ++round) {
        QString text = QStringLiteral("L E ");
        QVector<QPointF> expected;
        for (int i = 0; i < 50; ++i) {
            double lon = lonDist(rng), lat = latDist(rng);
            // Many coordinates scaled down towards zero, where the writers switch to exponents.
            if (form(rng) == 0) lon = std::ldexp(lon, magnitude(rng) * 3);
            if (form(rng) == 0) lat = std::ldexp(lat, magnitude(rng) * 3);
            if (std::fabs(lon) > 180.0) lon = std::fmod(lon, 180.0);
            if (std::fabs(lat) > 85.0) lat = std::fmod(lat, 85.0);
            QString lonText, latText;
            switch (form(rng)) {
                case 0: lonText = QString::number(lon); latText = QString::number(lat); break;
                case 1: lonText = QString::number(lon, 'g', 17); latText = QString::number(lat, 'e', 16); break;
                default: lonText = telvika::generalTextDot(lon); latText = telvika::generalTextDot(lat); break;
            }
            if (i > 0) text += QLatin1Char(',');
            text += lonText + QLatin1Char(' ') + latText;
            expected.append(QPointF(meant(lonText), meant(latText)));
        }
        QVector<QPointF> points;
        QString error;
        QVERIFY2(MetricsParser::parse(text, points, error), qPrintable(error));
        QCOMPARE(points.size(), expected.size());
        for (qsizetype i = 0; i < points.size(); ++i) {
            QVERIFY2(sameDouble(points[i].x(), expected[i].x()), qPrintable(text.section(',', int(i), int(i))));
            QVERIFY2(sameDouble(points[i].y(), expected[i].y()), qPrintable(text.section(',', int(i), int(i))));
        }
    }
}

void TestMetricsNumbers::tinyAndHugeValues() {
    const double denormMin = std::numeric_limits<double>::denorm_min();
    const double values[] = {1e-5, 9.99999e-6, 1e-6, 1.234567890123e-7, 5e-300, std::numeric_limits<double>::min(),
                             denormMin, -denormMin, -0.0, 0.0, 1e15, 1.5e300, std::numeric_limits<double>::max(),
                             -std::numeric_limits<double>::max()};
    for (double v : values) {
        for (const QString& text : {telvika::generalTextDot(v), QString::number(v), QString::number(v, 'g', 17)}) {
            const double r = readAll(text);
            if (std::isnan(meant(text))) {
                // Rounded to 15 or 6 digits, the largest double is beyond it: refused.
                QVERIFY2(std::isnan(r), qPrintable(text));
                continue;
            }
            QVERIFY2(sameDouble(r, meant(text)), qPrintable(text));
            // The 17-digit form is exact.
            if (text == QString::number(v, 'g', 17)) QVERIFY2(sameDouble(r, v) || (v == 0 && r == 0), qPrintable(text));
        }
    }
    // A huge number is a number, refused by the coordinate range with that reason.
    QVector<QPointF> points{{1, 2}};
    QString error;
    QVERIFY(!MetricsParser::parse(QStringLiteral("L E 1.5e+300 0"), points, error));
    QVERIFY2(error.contains("out of range"), qPrintable(error));
}

void TestMetricsNumbers::coordinatesNearTheEquatorAndPrimeMeridian() {
    // A track crossing the prime meridian and a control-point circle on the equator, as written.
    const double lons[] = {-0.00002, -0.000001, 0.0, 0.0000004, 0.00003};
    const double lats[] = {0.0000071, -0.0, 51.4779, -0.000000123, 1e-9};
    QString text = QStringLiteral("L E ");
    for (int i = 0; i < 5; ++i) {
        if (i > 0) text += QLatin1Char(',');
        text += telvika::generalTextDot(lons[i]) + QLatin1Char(' ') + telvika::generalTextDot(lats[i]);
    }
    QVERIFY2(text.contains('E', Qt::CaseSensitive), qPrintable(text));
    QVector<QPointF> points;
    QString error;
    QVERIFY2(MetricsParser::parse(text, points, error), qPrintable(error + " in " + text));
    QCOMPARE(points.size(), 5);
    for (int i = 0; i < 5; ++i) {
        QVERIFY(std::fabs(points[i].x() - lons[i]) <= 1e-15 * std::max(1.0, std::fabs(lons[i])));
        QVERIFY(std::fabs(points[i].y() - lats[i]) <= 1e-15 * std::max(1.0, std::fabs(lats[i])));
    }
}

QTEST_GUILESS_MAIN(TestMetricsNumbers)
#include "tst_metrics_numbers.moc"
