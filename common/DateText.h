#pragma once

#include "common/OleDate.h"

#include <QLocale>
#include <QString>

namespace telvika {

// "dd.mm.yyyy hh:mm:ss" (two-digit day, month, 24-hour hour, minute and second, four-digit year):
// the form of the period sent to the server and of the dates in the settings file.
QString formatFixedDateTime(TDateTime value);
// Parses that form exactly; throws Error on anything else.
TDateTime parseFixedDateTime(const QString& text);

// The locale's long time format without the time-zone part Qt adds to it ("HH:mm:ss").
QString longTimeFormat(const QLocale& locale = QLocale());
QString shortDateFormat(const QLocale& locale = QLocale());

// The locale's short date, then, unless the time of day is exactly midnight, a blank and the
// locale's long time.
QString dateLabelText(TDateTime value, const QLocale& locale = QLocale());

// A date-time text in the user's regional format as the server words it: the locale's short date
// and long time (or the short date alone for midnight); "dd.MM.yyyy hh:mm:ss" is accepted as a
// fallback. Throws Error with a clear message when the text is neither.
TDateTime parseRegionalDateTime(const QString& text, const QLocale& locale = QLocale());
// The inverse, as the server writes such texts.
QString formatRegionalDateTime(TDateTime value, const QLocale& locale = QLocale());

}  // namespace telvika
