#include "compute/FuelSmoother.h"

#include <algorithm>
#include <array>

namespace telvika::server {

QVector<double> FuelSmoother::smooth(const FuelSeries& series) const {
    const int n = static_cast<int>(series.levels.size());
    QVector<double> median(n);
    for (int i = 0; i < n; ++i) {
        const int a = std::max(0, i - 2);
        const int b = std::min(n - 1, i + 2);
        std::array<double, 5> window{};
        int m = 0;
        for (int k = a; k <= b; ++k) window[m++] = series.levels[k];
        std::nth_element(window.begin(), window.begin() + m / 2, window.begin() + m);
        median[i] = window[m / 2];
    }

    // Centred time-window mean through prefix sums: O(n) whatever the window.
    QVector<double> prefix(n + 1, 0.0);
    for (int i = 0; i < n; ++i) prefix[i + 1] = prefix[i] + median[i];
    const double half = windowSec_ / 2.0 / 86400.0;
    QVector<double> smoothed(n);
    int lo = 0;
    int hi = 0;  // window is [lo, hi)
    for (int i = 0; i < n; ++i) {
        const double t = series.times[i];
        while (lo < i && series.times[lo] < t - half) ++lo;
        if (hi < i + 1) hi = i + 1;
        while (hi < n && series.times[hi] <= t + half) ++hi;
        smoothed[i] = (prefix[hi] - prefix[lo]) / (hi - lo);
    }
    return smoothed;
}

}  // namespace telvika::server
