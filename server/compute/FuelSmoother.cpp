#include "compute/FuelSmoother.h"

#include <algorithm>
#include <array>
#include <deque>

namespace telvika::server {

namespace {

double medianOfThree(double a, double b, double c) { return std::max(std::min(a, b), std::min(std::max(a, b), c)); }

// The median of the five readings around i (`before2`, `before1`: readings i - 2 and i - 1, whose
// places already hold their medians); near either end, of those there are (the upper one of an
// even count).
double medianAround(const double* levels, int n, int i, double before2, double before1) {
    if (i >= 2 && i + 2 < n) {
        // The smallest of the two pairs' minima and the largest of their maxima cannot be the
        // median: it is the median of the rest.
        const double c = levels[i + 1], d = levels[i + 2];
        return medianOfThree(levels[i], std::max(std::min(before2, before1), std::min(c, d)),
                             std::min(std::max(before2, before1), std::max(c, d)));
    }
    std::array<double, 5> window{};
    int m = 0;
    for (int k = std::max(0, i - 2); k <= std::min(n - 1, i + 2); ++k)
        window[m++] = k == i - 2 ? before2 : k == i - 1 ? before1 : levels[k];
    std::nth_element(window.begin(), window.begin() + m / 2, window.begin() + m);
    return window[m / 2];
}

}  // namespace

QVector<double> FuelSmoother::smooth(ReadingTimes t, QVector<double> levels) const {
    const int n = static_cast<int>(levels.size());
    double* values = levels.data();

    // The medians, in place: the two readings before each one are kept aside.
    double before2 = 0.0, before1 = 0.0;
    for (int i = 0; i < n; ++i) {
        const double reading = values[i];
        values[i] = medianAround(values, n, i, before2, before1);
        before2 = before1;
        before1 = reading;
    }

    // Centred time-window mean of the medians: O(n) whatever the window. The sums of the medians
    // before either edge of the window are running sums, each added up from the first median in
    // order. A mean replaces its median once the window's start has passed it; until then it waits.
    const double half = windowSec_ / 2.0 / 86400.0;
    std::deque<double> waiting;  // means of the readings from `lo` on
    double sumLo = 0.0, sumHi = 0.0;
    int lo = 0;
    int hi = 0;  // window is [lo, hi)
    for (int i = 0; i < n; ++i) {
        while (lo < i && t[lo] < t[i] - half) {
            sumLo += values[lo];
            values[lo] = waiting.front();
            waiting.pop_front();
            ++lo;
        }
        while (hi < i + 1 || (hi < n && t[hi] <= t[i] + half)) sumHi += values[hi++];
        waiting.push_back((sumHi - sumLo) / (hi - lo));
    }
    for (int k = n - static_cast<int>(waiting.size()); k < n; ++k) {
        values[k] = waiting.front();
        waiting.pop_front();
    }
    return levels;
}

}  // namespace telvika::server
