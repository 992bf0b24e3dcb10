#pragma once

#include <QString>

namespace telvika {

// Duration texts as the server words them: "hh:mm:ss", and "D hh:mm:ss" from one day on.
QString durationText(qint64 seconds);

// Reads such a text as a number of days: the last 8 characters are a time of day "hh:mm:ss"; when
// the text is longer than 9 characters, the characters before its last 9 are a whole number of days.
// Throws Error on anything else.
double durationTextToDays(const QString& text);

}  // namespace telvika
