#include "LineSignificance.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

namespace mvx {

namespace {

// Lines shorter than this are worked on the calling thread alone.
constexpr qsizetype MinPointsForTwoThreads = 64 * 1024;

// A distance as a float no smaller than it: rounding must never drop a point the tolerance keeps.
float roundedUp(double d) {
    float f = static_cast<float>(d);
    if (static_cast<double>(f) < d) f = std::nextafter(f, std::numeric_limits<float>::infinity());
    return f;
}

// The split tree of points first..last (both kept by the caller).
void splitSpan(const QPointF* p, qsizetype first, qsizetype last, float* values, std::vector<qsizetype>& stack) {
    struct Interval {
        qsizetype a, b;
    };
    stack.clear();
    stack.push_back(first);
    stack.push_back(last);
    while (!stack.empty()) {
        const Interval in{stack[stack.size() - 2], stack.back()};
        stack.resize(stack.size() - 2);
        if (in.b - in.a < 2) continue;
        // The cap of an interval is the smaller of the values of its ends that lie inside the span;
        // the ends of the span are infinite, so the interval's cap is the value of its last split.
        const float cap = std::min(values[in.a], values[in.b]);
        const double ax = p[in.a].x(), ay = p[in.a].y();
        const double vx = p[in.b].x() - ax, vy = p[in.b].y() - ay;
        const double len2 = vx * vx + vy * vy;
        const double inv2 = len2 > 0.0 ? 1.0 / len2 : 0.0;
        double farthest = -1.0;
        qsizetype at = in.a + 1;
        for (qsizetype i = in.a + 1; i < in.b; ++i) {
            const double wx = p[i].x() - ax, wy = p[i].y() - ay;
            const double t = std::clamp((wx * vx + wy * vy) * inv2, 0.0, 1.0);
            const double ex = wx - t * vx, ey = wy - t * vy;
            const double d2 = ex * ex + ey * ey;
            if (d2 > farthest) {
                farthest = d2;
                at = i;
            }
        }
        values[at] = std::min(roundedUp(std::sqrt(farthest)), cap);
        stack.push_back(in.a);
        stack.push_back(at);
        stack.push_back(at);
        stack.push_back(in.b);
    }
}

}  // namespace

void LineSignificance::build(const QPointF* points, qsizetype count) {
    const float infinite = std::numeric_limits<float>::infinity();
    values_.assign(static_cast<size_t>(std::max<qsizetype>(count, 0)), 0.0f);
    blockBounds_.clear();
    if (count <= 0) return;
    const qsizetype step = BlockPoints - 1;
    for (qsizetype first = 0; first == 0 || first < count - 1; first += step) {
        const qsizetype last = std::min(first + step, count - 1);
        double minX = points[first].x(), maxX = minX, minY = points[first].y(), maxY = minY;
        for (qsizetype k = first + 1; k <= last; ++k) {
            minX = std::min(minX, points[k].x());
            maxX = std::max(maxX, points[k].x());
            minY = std::min(minY, points[k].y());
            maxY = std::max(maxY, points[k].y());
        }
        blockBounds_.emplace_back(QPointF(minX, minY), QPointF(maxX, maxY));
    }
    const qsizetype spans = (count - 1 + SpanPoints - 1) / SpanPoints;
    for (qsizetype s = 0; s <= spans; ++s) values_[static_cast<size_t>(std::min(s * SpanPoints, count - 1))] = infinite;
    // The spans are independent: two threads take them in turn.
    std::atomic<qsizetype> next{0};
    auto take = [&] {
        std::vector<qsizetype> stack;
        for (qsizetype s = next++; s < spans; s = next++)
            splitSpan(points, s * SpanPoints, std::min((s + 1) * SpanPoints, count - 1), values_.data(), stack);
    };
    if (count >= MinPointsForTwoThreads && std::thread::hardware_concurrency() >= 2) {
        std::jthread second(take);
        take();
    } else {
        take();
    }
}

}  // namespace mvx
