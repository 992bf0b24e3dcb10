#include "analysis/ChartTimeAxis.h"

#include <algorithm>
#include <cmath>

namespace telvika::analysis {

void TChartTimeAxis::reset(double total) {
    total_ = std::isfinite(total) && total > 0.0 ? total : 0.0;
    showWhole();
}

void TChartTimeAxis::setPixels(double left, double width) {
    left_ = left;
    width_ = std::max(1.0, width);
}

double TChartTimeAxis::secondsAt(double x) const {
    const double s = from_ + (x - left_) / width_ * (to_ - from_);
    return std::clamp(s, 0.0, total_);
}

double TChartTimeAxis::xAt(double seconds) const { return left_ + (seconds - from_) / (to_ - from_) * width_; }

void TChartTimeAxis::zoom(double x, double factor) {
    if (!(factor > 0.0) || !std::isfinite(factor)) return;
    const double whole = spanOf(total_);
    const double anchor = from_ + std::clamp((x - left_) / width_, 0.0, 1.0) * (to_ - from_);
    const double span = std::clamp((to_ - from_) / factor, std::min(ShortestSpan, whole), whole);
    const double share = (anchor - from_) / (to_ - from_);
    from_ = std::clamp(anchor - share * span, 0.0, whole - span);
    to_ = from_ + span;
}

}  // namespace telvika::analysis
