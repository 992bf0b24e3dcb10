#include "common/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace telvika {

QString fixedText(double value, int decimals, const QLocale& locale) {
    QLocale l = locale;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    QString s = l.toString(value, 'f', decimals);
    // "-0" or "-0,0" after rounding reads as zero.
    bool allZero = true;
    for (QChar c : s)
        if (c.isDigit() && c != QLatin1Char('0')) allZero = false;
    if (allZero && s.startsWith(l.negativeSign())) s.remove(0, l.negativeSign().size());
    return s;
}

QString speedText(double kmh, const QLocale& locale) {
    return fixedText(kmh, 1, locale) + QStringLiteral(" км/ч");
}

QString distanceText(double metres, const QLocale& locale) {
    return fixedText(metres, 0, locale) + QStringLiteral(" м");
}

QString generalTextDot(double value) {
    if (std::isnan(value)) return QStringLiteral("NAN");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0.0) return QStringLiteral("0");

    // 15 significant digits in scientific form: "-d.dddddddddddddde+XX".
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    QString sci = QString::fromLatin1(buf);
    const int ePos = sci.indexOf(QLatin1Char('e'));
    const int exponent = sci.mid(ePos + 1).toInt();
    QString mantissa = sci.left(ePos);
    const bool negative = mantissa.startsWith(QLatin1Char('-'));
    if (negative) mantissa.remove(0, 1);
    QString digits = mantissa;
    digits.remove(QLatin1Char('.'));
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0'))) digits.chop(1);

    QString out;
    if (exponent >= 15 || exponent < -5) {
        out = digits.left(1);
        if (digits.size() > 1) out += QLatin1Char('.') + digits.mid(1);
        out += QStringLiteral("E") + QString::number(exponent);
    } else if (exponent >= 0) {
        if (digits.size() <= exponent + 1) {
            out = digits + QString(exponent + 1 - digits.size(), QLatin1Char('0'));
        } else {
            out = digits.left(exponent + 1) + QLatin1Char('.') + digits.mid(exponent + 1);
        }
    } else {
        out = QStringLiteral("0.") + QString(-exponent - 1, QLatin1Char('0')) + digits;
    }
    return negative ? QLatin1Char('-') + out : out;
}

void appendGeneralTextDot(QByteArray& out, double value) {
    if (std::isnan(value) || std::isinf(value) || value == 0.0) {
        out += generalTextDot(value).toLatin1();
        return;
    }
    // As generalTextDot: 15 significant digits in scientific form, trailing zeros dropped.
    char sci[64];
    const auto written = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific, 14);
    const char* p = sci;
    const bool negative = *p == '-';
    if (negative) ++p;
    char digits[16];
    int n = 0;
    for (; p < written.ptr && *p != 'e'; ++p)
        if (*p != '.') digits[n++] = *p;
    // to_chars writes no terminator: the exponent is read within what it wrote.
    int exponent = 0;
    const char* e = p + 1;
    if (e < written.ptr && *e == '+') ++e;
    std::from_chars(e, written.ptr, exponent);
    while (n > 1 && digits[n - 1] == '0') --n;
    if (negative) out += '-';
    if (exponent >= 15 || exponent < -5) {
        out += digits[0];
        if (n > 1) {
            out += '.';
            out.append(digits + 1, n - 1);
        }
        out += 'E';
        out += QByteArray::number(exponent);
    } else if (exponent >= 0) {
        if (n <= exponent + 1) {
            out.append(digits, n);
            out.append(exponent + 1 - n, '0');
        } else {
            out.append(digits, exponent + 1);
            out += '.';
            out.append(digits + exponent + 1, n - exponent - 1);
        }
    } else {
        out += "0.";
        out.append(-exponent - 1, '0');
        out.append(digits, n);
    }
}

QString generalText(double value, const QLocale& locale) {
    QString s = generalTextDot(value);
    const QString dp = locale.decimalPoint();
    if (dp != QStringLiteral(".")) s.replace(QLatin1Char('.'), dp);
    return s;
}

}  // namespace telvika
