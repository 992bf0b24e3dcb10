#include "chart/DashPattern.h"

#include <algorithm>
#include <cmath>

namespace mvx {

namespace {

constexpr double MinPatternPx = 1.0;

bool reaches(const QPointF& a, const QPointF& b, const QRectF& clip) {
    return std::max(a.x(), b.x()) >= clip.left() && std::min(a.x(), b.x()) <= clip.right() &&
           std::max(a.y(), b.y()) >= clip.top() && std::min(a.y(), b.y()) <= clip.bottom();
}

}  // namespace

DashPattern::DashPattern(std::vector<double> lengths) : lengths_(std::move(lengths)) {
    for (double& l : lengths_)
        if (!std::isfinite(l) || l < 0) l = 0;
    // An odd count repeats the pattern once more so that dashes and gaps keep alternating.
    if (lengths_.size() % 2 == 1) lengths_.insert(lengths_.end(), lengths_.begin(), lengths_.end());
    double dashes = 0, gaps = 0;
    for (size_t i = 0; i < lengths_.size(); ++i) (i % 2 == 0 ? dashes : gaps) += lengths_[i];
    cycle_ = dashes + gaps;
    solid_ = cycle_ < MinPatternPx || gaps <= 0 || dashes <= 0;
}

void DashPattern::split(const QPolygonF& line, const QRectF& clip, std::vector<QLineF>& out) const {
    if (line.size() < 2) return;
    if (solid_) {
        for (qsizetype i = 1; i < line.size(); ++i)
            if (reaches(line[i - 1], line[i], clip)) out.emplace_back(line[i - 1], line[i]);
        return;
    }
    size_t step = 0;                 // the pattern entry now running
    double left = lengths_[0];       // of it, still to go
    bool open = false;               // a dash started on an earlier segment and runs on
    QPointF dashStart;
    for (qsizetype i = 1; i < line.size(); ++i) {
        const QPointF a = line[i - 1], b = line[i];
        const double length = std::hypot(b.x() - a.x(), b.y() - a.y());
        if (!std::isfinite(length)) return;
        if (length <= 0) continue;
        const QPointF unit = (b - a) / length;
        double at = 0;
        // A segment far outside the clip only moves the pattern on.
        if (!reaches(a, b, clip) && !open) {
            double rest = length;
            if (rest > left) {
                rest -= left;
                step = (step + 1) % lengths_.size();
                rest = std::fmod(rest, cycle_);
                while (rest >= lengths_[step]) {
                    rest -= lengths_[step];
                    step = (step + 1) % lengths_.size();
                }
                left = lengths_[step] - rest;
            } else {
                left -= rest;
            }
            continue;
        }
        while (at < length) {
            const bool dash = step % 2 == 0;
            const double take = std::min(left, length - at);
            if (dash && !open) {
                dashStart = a + unit * at;
                open = true;
            }
            at += take;
            left -= take;
            if (left <= 1e-9) {
                if (dash) {
                    const QPointF end = a + unit * at;
                    if (reaches(dashStart, end, clip)) out.emplace_back(dashStart, end);
                    open = false;
                }
                step = (step + 1) % lengths_.size();
                left = lengths_[step];
            }
        }
        if (open) {
            // The dash runs on past this vertex: its part along this segment is drawn now.
            if (reaches(dashStart, b, clip)) out.emplace_back(dashStart, b);
            dashStart = b;
        }
    }
}

}  // namespace mvx
