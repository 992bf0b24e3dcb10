#include "ScreenClipper.h"

#include <cmath>

namespace mvx {

bool ScreenClipper::clipSegment(QPointF& a, QPointF& b, const QRectF& clip) {
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    double t0 = 0.0, t1 = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - clip.left(), clip.right() - a.x(), a.y() - clip.top(), clip.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0.0) {
            if (r > t1) return false;
            if (r > t0) t0 = r;
        } else {
            if (r < t0) return false;
            if (r < t1) t1 = r;
        }
    }
    const QPointF start = a;
    if (t1 < 1.0) b = QPointF(start.x() + t1 * dx, start.y() + t1 * dy);
    if (t0 > 0.0) a = QPointF(start.x() + t0 * dx, start.y() + t0 * dy);
    return true;
}

void ScreenClipper::clipPolyline(const QPointF* points, int count, const QRectF& clip, double minStep,
                                 const std::function<void(const QVector<QPointF>&)>& emitRun) {
    QVector<QPointF> run;
    const double step2 = minStep * minStep;
    QPointF lastInput;   // end of the last segment added, as clipped
    QPointF pending;     // a dropped point that closes the run if the run ends
    bool havePending = false;
    auto flush = [&]() {
        if (havePending) run.append(pending);
        havePending = false;
        if (run.size() >= 2) emitRun(run);
        run.clear();
    };
    auto add = [&](const QPointF& p) {
        const QPointF& last = run.last();
        const double dx = p.x() - last.x(), dy = p.y() - last.y();
        if (dx * dx + dy * dy < step2) {
            pending = p;
            havePending = true;
        } else {
            run.append(p);
            havePending = false;
        }
    };
    for (int i = 1; i < count; ++i) {
        QPointF a = points[i - 1], b = points[i];
        if (!std::isfinite(a.x()) || !std::isfinite(a.y()) || !std::isfinite(b.x()) || !std::isfinite(b.y())) {
            flush();
            continue;
        }
        const QPointF origB = b;
        if (!clipSegment(a, b, clip)) {
            flush();
            continue;
        }
        const bool continues = !run.isEmpty() && a == lastInput;
        if (!continues) {
            flush();
            run.append(a);
        }
        add(b);
        lastInput = b;
        if (b != origB) flush();  // the segment leaves the rectangle
    }
    flush();
    if (count == 1 && std::isfinite(points[0].x()) && std::isfinite(points[0].y()) && clip.contains(points[0]))
        emitRun({points[0], points[0]});
}

QPolygonF ScreenClipper::clipPolygon(const QPolygonF& ring, const QRectF& clip) {
    QPolygonF input = ring;
    if (input.size() > 1 && input.first() == input.last()) input.removeLast();
    for (int edge = 0; edge < 4 && !input.isEmpty(); ++edge) {
        auto inside = [&](const QPointF& p) {
            switch (edge) {
                case 0: return p.x() >= clip.left();
                case 1: return p.x() <= clip.right();
                case 2: return p.y() >= clip.top();
                default: return p.y() <= clip.bottom();
            }
        };
        auto cross = [&](const QPointF& a, const QPointF& b) {
            double t = 0.0;
            switch (edge) {
                case 0: t = (clip.left() - a.x()) / (b.x() - a.x()); break;
                case 1: t = (clip.right() - a.x()) / (b.x() - a.x()); break;
                case 2: t = (clip.top() - a.y()) / (b.y() - a.y()); break;
                default: t = (clip.bottom() - a.y()) / (b.y() - a.y()); break;
            }
            return QPointF(a.x() + t * (b.x() - a.x()), a.y() + t * (b.y() - a.y()));
        };
        QPolygonF output;
        output.reserve(input.size() + 4);
        for (int i = 0; i < input.size(); ++i) {
            const QPointF& cur = input[i];
            const QPointF& prev = input[(i + input.size() - 1) % input.size()];
            const bool curIn = inside(cur), prevIn = inside(prev);
            if (curIn) {
                if (!prevIn) output.append(cross(prev, cur));
                output.append(cur);
            } else if (prevIn) {
                output.append(cross(prev, cur));
            }
        }
        input = output;
    }
    return input.size() >= 3 ? input : QPolygonF();
}

}  // namespace mvx
