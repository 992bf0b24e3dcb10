#include "compute/FuelSmoother.h"

#include <algorithm>
#include <array>
#include <memory>

namespace telvika::server {

namespace {

double medianOfThree(double a, double b, double c) { return std::max(std::min(a, b), std::min(std::max(a, b), c)); }

// The median of the five readings around i; near either end, of those there are (the upper one of
// an even count).
double medianAround(const double* levels, int n, int i) {
    if (i >= 2 && i + 2 < n) {
        // The smallest of the two pairs' minima and the largest of their maxima cannot be the
        // median: it is the median of the rest.
        const double a = levels[i - 2], b = levels[i - 1], c = levels[i + 1], d = levels[i + 2];
        return medianOfThree(levels[i], std::max(std::min(a, b), std::min(c, d)), std::min(std::max(a, b), std::max(c, d)));
    }
    const int first = std::max(0, i - 2);
    const int last = std::min(n - 1, i + 2);
    std::array<double, 5> window{};
    int m = 0;
    for (int k = first; k <= last; ++k) window[m++] = levels[k];
    std::nth_element(window.begin(), window.begin() + m / 2, window.begin() + m);
    return window[m / 2];
}

}  // namespace

QVector<double> FuelSmoother::smooth(const FuelSeries& series) const {
    const int n = static_cast<int>(series.levels.size());
    const double* levels = series.levels.constData();
    const double* times = series.times.constData();

    // Centred time-window mean of the medians through prefix sums: O(n) whatever the window.
    const std::unique_ptr<double[]> prefix(new double[static_cast<size_t>(n) + 1]);
    prefix[0] = 0.0;
    for (int i = 0; i < n; ++i) prefix[i + 1] = prefix[i] + medianAround(levels, n, i);
    const double half = windowSec_ / 2.0 / 86400.0;
    QVector<double> smoothed;
    smoothed.reserve(n);
    int lo = 0;
    int hi = 0;  // window is [lo, hi)
    for (int i = 0; i < n; ++i) {
        const double t = times[i];
        while (lo < i && times[lo] < t - half) ++lo;
        if (hi < i + 1) hi = i + 1;
        while (hi < n && times[hi] <= t + half) ++hi;
        smoothed.push_back((prefix[hi] - prefix[lo]) / (hi - lo));
    }
    return smoothed;
}

}  // namespace telvika::server
