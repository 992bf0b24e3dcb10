#include "chart/StraightRuns.h"

#include <algorithm>
#include <cmath>

namespace mvx {

namespace {

// Cuts segment a-b to the rectangle (Liang-Barsky); false when nothing of it is inside.
bool clipSegment(QPointF& a, QPointF& b, const QRectF& r) {
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    double t0 = 0.0, t1 = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    const QPointF start(a.x() + t0 * dx, a.y() + t0 * dy);
    const QPointF end(a.x() + t1 * dx, a.y() + t1 * dy);
    a = start;
    b = end;
    return true;
}

double heading(const QPointF& a, const QPointF& b) { return std::atan2(b.y() - a.y(), b.x() - a.x()); }

double turnDegrees(double h1, double h2) {
    double d = std::abs(h1 - h2) * 180.0 / M_PI;
    return d > 180.0 ? 360.0 - d : d;
}

}  // namespace

std::vector<StraightRuns::Run> StraightRuns::find(const std::vector<QPointF>& line, const QRectF& clip,
                                                  double maxTurnDegrees) {
    std::vector<Run> runs;
    std::vector<QPointF> piece;
    for (size_t i = 1; i < line.size(); ++i) {
        QPointF a = line[i - 1], b = line[i];
        if (!clipSegment(a, b, clip)) {
            runsOfPiece(piece, maxTurnDegrees, runs);
            piece.clear();
            continue;
        }
        // A segment entering the rectangle anew starts a new piece.
        if (!piece.empty() && piece.back() != a) {
            runsOfPiece(piece, maxTurnDegrees, runs);
            piece.clear();
        }
        if (piece.empty()) piece.push_back(a);
        if (b != piece.back()) piece.push_back(b);
    }
    runsOfPiece(piece, maxTurnDegrees, runs);
    std::stable_sort(runs.begin(), runs.end(), [](const Run& x, const Run& y) { return x.length > y.length; });
    return runs;
}

void StraightRuns::runsOfPiece(const std::vector<QPointF>& piece, double maxTurnDegrees, std::vector<Run>& out) {
    size_t i = 0;
    while (i + 1 < piece.size()) {
        const double first = heading(piece[i], piece[i + 1]);
        double length = 0;
        size_t j = i;
        while (j + 1 < piece.size() && turnDegrees(heading(piece[j], piece[j + 1]), first) <= maxTurnDegrees) {
            length += std::hypot(piece[j + 1].x() - piece[j].x(), piece[j + 1].y() - piece[j].y());
            ++j;
        }
        out.push_back({piece[i], piece[j], length});
        i = j;
    }
}

}  // namespace mvx
