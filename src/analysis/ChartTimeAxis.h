#pragma once

namespace telvika::analysis {

// The chart's time axis: the part of the trip on screen (seconds after its first point) laid over
// a run of pixels. The wheel zooms it about the pointer; it never leaves the trip.
class TChartTimeAxis {
public:
    static constexpr double ShortestSpan = 10.0;  // seconds across the plot at the closest zoom

    // The whole trip of `total` seconds across pixels left .. left + width.
    void reset(double total);
    void setPixels(double left, double width);

    double total() const { return total_; }
    double from() const { return from_; }
    double to() const { return to_; }
    double left() const { return left_; }
    double width() const { return width_; }
    bool isWhole() const { return from_ <= 0.0 && to_ >= total_; }

    // Seconds under a pixel column, kept within the trip; and the column of a moment.
    double secondsAt(double x) const;
    double xAt(double seconds) const;

    // Zooms by factor (> 1 closer) keeping the moment under x where it is.
    void zoom(double x, double factor);
    void showWhole() { from_ = 0.0, to_ = spanOf(total_); }

private:
    static double spanOf(double total) { return total > 0.0 ? total : 1.0; }
    double total_ = 0.0;
    double from_ = 0.0;
    double to_ = 1.0;
    double left_ = 0.0;
    double width_ = 1.0;
};

}  // namespace telvika::analysis
