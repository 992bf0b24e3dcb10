#pragma once

#include <cmath>

namespace telvika::server {

// Seconds from one instant (UTC days) to another, rounded to the millisecond so that a duration built from
// whole-second timestamps compares exactly with a threshold in seconds.
inline double secondsBetween(double from, double to) {
    return std::round((to - from) * 86400000.0) / 1000.0;
}

// Whether a duration reaches a threshold; "at least" thresholds include the threshold itself.
inline bool reaches(double seconds, double threshold) { return seconds >= threshold - 1e-6; }

}  // namespace telvika::server
