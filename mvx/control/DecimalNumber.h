#pragma once

#include <QChar>

namespace mvx {

// Reads a number as the player's text writers produce it, '.' as the decimal separator: an
// optional sign, digits with an optional fraction (or a fraction alone), and an optional exponent
// ("12.5", "-0", "0.0001", "1E-7", "1.5e+300"). No locale, no "nan" or "inf", no hexadecimal;
// a value that overflows a double is refused. On success p is moved past the number; on failure
// nothing is moved.
bool readDecimalNumber(const QChar*& p, const QChar* end, double& value);

}  // namespace mvx
