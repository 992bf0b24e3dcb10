#pragma once

#include <QLocale>
#include <QString>

namespace telvika {

// Fixed-point text with the locale's decimal separator and no digit grouping ("0.0", "0" formats).
QString fixedText(double value, int decimals, const QLocale& locale = QLocale());

// "12,3 км/ч" and "1501 м": the information panel's speed and distance.
QString speedText(double kmh, const QLocale& locale = QLocale());
QString distanceText(double metres, const QLocale& locale = QLocale());

// The shortest general form with at most 15 significant digits ("12.5", "0.0001", "1E-7", "3"),
// with the locale's decimal separator.
QString generalText(double value, const QLocale& locale = QLocale());
// The same with "." always, for texts the map control reads.
QString generalTextDot(double value);
// generalTextDot(value) appended to `out` as ASCII, without a string made per number: the track
// text of a million points is two million of them.
void appendGeneralTextDot(QByteArray& out, double value);

}  // namespace telvika
