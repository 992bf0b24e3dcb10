#include "analysis/SpeedSeries.h"

#include <algorithm>
#include <cmath>

namespace telvika::analysis {

void TSpeedSeries::assign(const TTrackData& track) {
    const int n = track.pointCount();
    std::vector<double> seconds(static_cast<size_t>(n));
    std::vector<float> speeds(static_cast<size_t>(n));
    const TDateTime t0 = n > 0 ? track.time(0) : 0.0;
    for (int k = 0; k < n; ++k) {
        seconds[static_cast<size_t>(k)] = (track.time(k) - t0) * SecondsPerDay;
        speeds[static_cast<size_t>(k)] = static_cast<float>(track.speed(k));
    }
    assign(std::move(seconds), std::move(speeds), t0);
}

void TSpeedSeries::assign(std::vector<double> seconds, std::vector<float> speeds, TDateTime t0) {
    seconds_ = std::move(seconds);
    speeds_ = std::move(speeds);
    speeds_.resize(seconds_.size());
    t0_ = t0;
    max_ = 0.0;
    for (float v : speeds_)
        if (std::isfinite(v)) max_ = std::max(max_, static_cast<double>(v));
    const size_t blocks = (speeds_.size() + BlockPoints - 1) / BlockPoints;
    blockMin_.assign(blocks, 0.0f);
    blockMax_.assign(blocks, 0.0f);
    for (size_t b = 0; b < blocks; ++b) {
        const auto first = speeds_.begin() + static_cast<std::ptrdiff_t>(b * BlockPoints);
        const auto last = speeds_.begin() + static_cast<std::ptrdiff_t>(std::min(speeds_.size(), (b + 1) * BlockPoints));
        const auto [lo, hi] = std::minmax_element(first, last);
        blockMin_[b] = *lo;
        blockMax_[b] = *hi;
    }
}

void TSpeedSeries::reduce(double from, double to, int width, std::vector<Column>& out) const {
    out.assign(static_cast<size_t>(std::max(width, 0)), Column{});
    if (width <= 0 || !(to > from) || seconds_.empty()) return;
    const double perColumn = width / (to - from);
    auto k = static_cast<size_t>(std::lower_bound(seconds_.begin(), seconds_.end(), from) - seconds_.begin());
    const size_t n = seconds_.size();
    const double* t = seconds_.data();
    const float* v = speeds_.data();
    Column* cols = out.data();
    auto columnOf = [&](double seconds) { return std::min(width - 1, static_cast<int>((seconds - from) * perColumn)); };
    while (k < n && t[k] <= to) {
        const int c = columnOf(t[k]);
        Column& col = cols[c];
        // A whole block within this column: its extremes, its first and last point.
        const size_t end = k + BlockPoints;
        if (k % BlockPoints == 0 && end <= n && t[end - 1] <= to && columnOf(t[end - 1]) == c) {
            const size_t b = k / BlockPoints;
            if (col.empty) {
                col.min = blockMin_[b];
                col.max = blockMax_[b];
                col.first = v[k];
                col.empty = false;
            } else {
                col.min = std::min(col.min, blockMin_[b]);
                col.max = std::max(col.max, blockMax_[b]);
            }
            col.last = v[end - 1];
            k = end;
            continue;
        }
        const float s = v[k];
        if (col.empty) {
            col.min = col.max = col.first = s;
            col.empty = false;
        } else {
            col.min = std::min(col.min, s);
            col.max = std::max(col.max, s);
        }
        col.last = s;
        ++k;
    }
}

int TSpeedSeries::pointAt(double seconds) const {
    if (seconds_.empty()) return -1;
    const auto it = std::upper_bound(seconds_.begin(), seconds_.end(), seconds);
    return std::max(0, static_cast<int>(it - seconds_.begin()) - 1);
}

}  // namespace telvika::analysis
