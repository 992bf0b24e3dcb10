#pragma once

#include <cmath>
#include <cstdint>

namespace telvika {

// Round to the nearest whole number, an exact half going to the even neighbour
// (0.5 -> 0, 1.5 -> 2, 2.5 -> 2, -0.5 -> 0).
inline double roundHalfEven(double x) {
    const double r = std::round(x);  // halves away from zero
    if (std::fabs(x - std::trunc(x)) == 0.5) return 2.0 * std::round(x / 2.0);
    return r;
}

inline std::int64_t roundHalfEvenToInt(double x) {
    return static_cast<std::int64_t>(roundHalfEven(x));
}

// Round to a multiple of 10^-digits (digits = 2 gives 0.01), halves to even on the scaled value.
inline double roundToDigits(double x, int digits) {
    const double scale = std::pow(10.0, digits);
    return roundHalfEven(x * scale) / scale;
}

}  // namespace telvika
