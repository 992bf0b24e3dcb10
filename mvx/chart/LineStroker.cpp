#include "chart/LineStroker.h"

#include <algorithm>
#include <cmath>

namespace mvx {

namespace {

// A mitre longer than this many half widths becomes a bevel.
constexpr double MiterLimit = 2.0;
// Lines this thin go onto the layer segment by segment, as the share of each pixel they cover.
constexpr double ThinPx = 2.0;

// The normal on the left of a direction (in the coordinates' own sense).
inline QPointF leftOf(const QPointF& u) { return QPointF(-u.y(), u.x()); }

}  // namespace

LineStroker::LineStroker(CoverageLayer& layer, double width, bool squareEnds, const QRectF& clip)
    : layer_(layer), half_(std::max(width, 0.0) / 2.0), square_(squareEnds), thin_(width <= ThinPx) {
    const double m = half_ + 1.0;
    reach_ = clip.adjusted(-m, -m, m, m);
}

bool LineStroker::reaches(const QPointF& a, const QPointF& b) const {
    return std::max(a.x(), b.x()) >= reach_.left() && std::min(a.x(), b.x()) <= reach_.right() &&
           std::max(a.y(), b.y()) >= reach_.top() && std::min(a.y(), b.y()) <= reach_.bottom();
}

void LineStroker::addQuad(const QPointF& a, const QPointF& b, const QPointF& unit) {
    const QPointF n = leftOf(unit) * half_;
    const QPointF quad[4] = {a + n, b + n, b - n, a - n};
    layer_.addConvex(quad, 4);
}

void LineStroker::addLine(const QPointF* points, int count) {
    if (half_ <= 0 || count < 1) return;
    if (count == 1 || std::all_of(points + 1, points + count, [&](const QPointF& p) { return p == points[0]; })) {
        // A line of one point: a square dot when the ends are square.
        if (square_ && reaches(points[0], points[0]))
            addQuad(points[0] - QPointF(half_, 0), points[0] + QPointF(half_, 0), QPointF(1, 0));
        return;
    }
    // The line is cut where it leaves the rectangle: each stretch that reaches into it is one ring.
    piece_.clear();
    for (int i = 1; i < count; ++i) {
        const QPointF& a = points[i - 1];
        const QPointF& b = points[i];
        if (a == b) continue;
        if (!reaches(a, b)) {
            if (piece_.size() >= 2) strokePiece();
            piece_.clear();
            continue;
        }
        if (piece_.empty()) piece_.push_back(a);
        piece_.push_back(b);
    }
    if (piece_.size() >= 2) strokePiece();
}

void LineStroker::strokePiece() {
    const size_t n = piece_.size();
    if (thin_) {
        for (size_t i = 0; i + 1 < n; ++i) {
            QPointF a = piece_[i], b = piece_[i + 1];
            if (square_ && (i == 0 || i + 2 == n)) {
                const QPointF d = b - a;
                const double length = std::sqrt(d.x() * d.x() + d.y() * d.y());
                const QPointF reach = d * (half_ / length);
                if (i == 0) a -= reach;
                if (i + 2 == n) b += reach;
            }
            layer_.addThinSegment(a, b, 2.0 * half_);
        }
        return;
    }
    left_.clear();
    right_.clear();
    QPointF before, after;
    double beforeLength = 0, afterLength = 0;
    for (size_t i = 0; i + 1 < n; ++i) {
        const QPointF d = piece_[i + 1] - piece_[i];
        afterLength = std::sqrt(d.x() * d.x() + d.y() * d.y());
        if (!std::isfinite(afterLength)) return;
        after = d / afterLength;
        if (i == 0) {
            const QPointF start = square_ ? piece_[0] - after * half_ : piece_[0];
            left_.push_back(start + leftOf(after) * half_);
            right_.push_back(start - leftOf(after) * half_);
        } else {
            addJoin(piece_[i], before, beforeLength, after, afterLength);
        }
        before = after;
        beforeLength = afterLength;
    }
    const QPointF end = square_ ? piece_[n - 1] + before * half_ : piece_[n - 1];
    left_.push_back(end + leftOf(before) * half_);
    right_.push_back(end - leftOf(before) * half_);
    left_.insert(left_.end(), right_.rbegin(), right_.rend());
    layer_.addRing(left_.data(), static_cast<int>(left_.size()));
}

void LineStroker::addJoin(const QPointF& v, const QPointF& before, double beforeLength, const QPointF& after,
                          double afterLength) {
    const double cross = before.x() * after.y() - before.y() * after.x();
    const double dot = before.x() * after.x() + before.y() * after.y();
    const QPointF l1 = leftOf(before), l2 = leftOf(after);
    const QPointF s = l1 + l2;
    const double s2 = s.x() * s.x() + s.y() * s.y();
    // Both sides meet at their mitre points: the mitre reaches 2 / |s| half widths from the vertex.
    const bool mitre = s2 * MiterLimit * MiterLimit >= 4.0;
    const QPointF m = mitre ? s * (2.0 * half_ / s2) : QPointF();
    // A gentle bend: the inner mitre point stays within both segments (it lies half the width
    // times tan(turn / 2) back along each), so both sides are simply mitred.
    if (mitre && half_ * std::abs(cross) <= 0.5 * (1.0 + dot) * std::min(beforeLength, afterLength)) {
        left_.push_back(v + m);
        right_.push_back(v - m);
        return;
    }
    // A sharp bend: the outer side mitred or bevelled, the inner side through the vertex.
    const bool leftOuter = cross < 0;  // the line turns right, its left side is outside
    std::vector<QPointF>& outer = leftOuter ? left_ : right_;
    std::vector<QPointF>& inner = leftOuter ? right_ : left_;
    const double side = leftOuter ? 1.0 : -1.0;
    if (mitre) {
        outer.push_back(v + m * side);
    } else {
        outer.push_back(v + l1 * (half_ * side));
        outer.push_back(v + l2 * (half_ * side));
    }
    inner.push_back(v - l1 * (half_ * side));
    inner.push_back(v);
    inner.push_back(v - l2 * (half_ * side));
}

void LineStroker::addSegment(const QPointF& a, const QPointF& b) {
    if (half_ <= 0 || !reaches(a, b)) return;
    const QPointF d = b - a;
    const double length = std::sqrt(d.x() * d.x() + d.y() * d.y());
    if (!(length > 1e-9)) return;
    const QPointF unit = d / length;
    if (thin_)
        layer_.addThinSegment(square_ ? a - unit * half_ : a, square_ ? b + unit * half_ : b, 2.0 * half_);
    else
        addQuad(square_ ? a - unit * half_ : a, square_ ? b + unit * half_ : b, unit);
}

}  // namespace mvx
