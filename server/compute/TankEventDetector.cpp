#include "compute/TankEventDetector.h"

#include <algorithm>
#include <cmath>

namespace telvika::server {

TankEvent TankEventDetector::shape(ReadingTimes times, const QVector<double>& levels, int from,
                                   int to, bool rise) const {
    const double sign = rise ? 1.0 : -1.0;
    // Change over one smoothing window from each reading of the stretch; the steepest one marks
    // the middle of the event.
    const double lag = smoothingSec_ / 86400.0;
    const int n = to - from + 1;
    QVector<double> change(n);
    QVector<int> ahead(n);
    int j = from;
    for (int k = from; k <= to; ++k) {
        if (j < k) j = k;
        while (j + 1 <= to && times[j + 1] - times[k] <= lag) ++j;
        ahead[k - from] = j;
        change[k - from] = sign * (levels[j] - levels[k]);
    }
    int centre = 0;
    for (int k = 1; k < n; ++k)
        if (change[k] > change[centre]) centre = k;
    // The event spreads while the window change stays at a quarter of the steepest: the readings
    // outside are the flat levels before and after it, without the consumption of a long stretch.
    const double quarter = change[centre] * 0.25;
    int b = centre;
    while (b > 0 && change[b - 1] >= quarter) --b;
    int e = centre;
    while (e + 1 < n && change[e + 1] >= quarter) ++e;
    const int before = from + b;
    const int after = ahead[e];
    // Begin and end frame the ramp itself: the readings that leave the level before by 5 % of the
    // change and reach the level after within 5 %.
    const double margin = std::fabs(levels[after] - levels[before]) * 0.05;
    int first = before;
    while (first < after && std::fabs(levels[first + 1] - levels[before]) <= margin) ++first;
    int last = after;
    while (last > first && std::fabs(levels[last - 1] - levels[after]) <= margin) --last;
    return TankEvent{first, last, levels[before], levels[after]};
}

QVector<TankEvent> TankEventDetector::detect(ReadingTimes times,
                                             const QVector<double>& smoothed) const {
    QVector<TankEvent> events;
    const int n = static_cast<int>(smoothed.size());
    // The smoothing stretches a change over its window, so a change is looked for over the jump
    // time plus the window.
    const double span = (jumpMaxSec_ + smoothingSec_) / 86400.0;
    auto reachOf = [&](int from, int j) {  // last reading within the span after `from`, from j on
        while (j + 1 < n && times[j + 1] - times[from] <= span) ++j;
        return j;
    };
    int i = 0;
    int j = 0;
    while (i < n - 1) {
        // A gap in the readings longer than the span: compare the two sides directly.
        if (times[i + 1] - times[i] > span) {
            if (std::fabs(smoothed[i + 1] - smoothed[i]) >= jumpLitres_)
                events.push_back({i, i + 1, smoothed[i], smoothed[i + 1]});
            ++i;
            continue;
        }
        j = reachOf(i, std::max(j, i + 1));
        const double delta = smoothed[j] - smoothed[i];
        if (std::fabs(delta) < jumpLitres_) {
            ++i;
            continue;
        }
        // The stretch goes on while spans starting inside it still change by the threshold.
        const bool rise = delta > 0;
        int end = j;
        int reach = j;
        for (int k = i + 1; k < n - 1 && times[k] <= times[end]; ++k) {
            if (times[k + 1] - times[k] > span) break;
            reach = reachOf(k, std::max(reach, k + 1));
            const double d = smoothed[reach] - smoothed[k];
            if ((rise ? d : -d) >= jumpLitres_) end = std::max(end, reach);
        }
        const TankEvent event = shape(times, smoothed, i, end, rise);
        if (std::fabs(event.levelAfter - event.levelBefore) >= jumpLitres_) events.push_back(event);
        i = end;
        j = end;
    }
    return events;
}

}  // namespace telvika::server
