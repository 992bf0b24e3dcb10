#pragma once

#include <QString>

namespace telvika {

// Values of command-line arguments, checked. Each returns false with a Russian message in *error
// that starts with `what` (the argument's name) when the text is not such a value.

// An integer within [min, max].
bool argumentInt(const QString& text, const QString& what, int min, int max, int* out, QString* error);
// A finite number within [min, max].
bool argumentDouble(const QString& text, const QString& what, double min, double max, double* out, QString* error);
// A date and time in the fixed form "dd.MM.yyyy[ hh:mm:ss]" (parseFixedDateTime).
bool argumentDateTime(const QString& text, const QString& what, QString* error);

}  // namespace telvika
