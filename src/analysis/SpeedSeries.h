#pragma once

#include <vector>

#include "app/model/TrackData.h"

namespace telvika::analysis {

// The speed of a track against its time, kept as plain arrays for drawing: seconds after the
// first point and km/h. A chart reduces it to its columns of pixels on every redraw (the lowest,
// highest, first and last speed in each). The lowest and highest speed of every block of
// BlockPoints points are kept as well, so a block that falls within one column is taken whole:
// a redraw of a long trip costs in proportion to its blocks and the columns, not its points. The
// value under the pointer is read from the exact data.
class TSpeedSeries {
public:
    static constexpr int BlockPoints = 64;

    struct Column {
        float min = 0, max = 0, first = 0, last = 0;
        bool empty = true;
    };

    void assign(const TTrackData& track);
    // For tests and benchmarks: seconds after the first point (ascending) and speeds.
    void assign(std::vector<double> seconds, std::vector<float> speeds, TDateTime t0);

    int size() const { return static_cast<int>(seconds_.size()); }
    TDateTime t0() const { return t0_; }
    double span() const { return seconds_.empty() ? 0.0 : seconds_.back(); }  // seconds
    double maxSpeed() const { return max_; }
    double secondsOf(int k) const { return seconds_[static_cast<size_t>(k)]; }
    double speedOf(int k) const { return speeds_[static_cast<size_t>(k)]; }

    // The points from `from` to `to` seconds spread over `width` columns (column c covers
    // [from + c * w, from + (c + 1) * w) with w = (to - from) / width; the last one includes `to`).
    void reduce(double from, double to, int width, std::vector<Column>& out) const;

    // The point whose values hold at a moment (the last point at or before it; the first point
    // before the track's start), or -1 for an empty series.
    int pointAt(double seconds) const;

private:
    std::vector<double> seconds_;
    std::vector<float> speeds_;
    std::vector<float> blockMin_, blockMax_;
    TDateTime t0_ = 0.0;
    double max_ = 0.0;
};

}  // namespace telvika::analysis
