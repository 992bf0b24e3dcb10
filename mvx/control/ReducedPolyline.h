#pragma once

#include <QPointF>
#include <QRectF>
#include <QVector>

#include <vector>

namespace mvx {

// A long polyline as the pixels of one scale can show it. The points are kept in "world pixels"
// (Web Mercator metres divided by the metres per pixel, y down), so one reduction serves every
// view of that scale, wherever it is centred: a view only shifts it.
//
// The reduction keeps input points only: those whose significance (LineSignificance, in Mercator
// metres) exceeds the tolerance at this scale, so a run of points that all lie within `tolerance`
// pixels of the segment from its first to its last point is drawn as that one segment, and the
// drawing stays within the tolerance of the full polyline everywhere. Pieces of `PieceSize` points
// carry their bounding boxes, so a view visits only the pieces that reach into it.
class ReducedPolyline {
public:
    static constexpr int PieceSize = 64;

    // Reduces `count` Mercator points, whose significance is given, for `mercPerPixel` metres per
    // pixel and a tolerance in pixels.
    void build(const QPointF* merc, const float* significance, qsizetype count, double mercPerPixel, double tolerance);

    double mercPerPixel() const { return mercPerPixel_; }
    double tolerance() const { return tolerance_; }
    qsizetype pointCount() const { return static_cast<qsizetype>(points_.size()); }

    // Calls draw(points, count) for every stretch of consecutive pieces whose boxes meet `area`
    // (world pixels), with the points shifted by -origin (so in view pixels when origin is the
    // view's top-left corner in world pixels). The stretches hold at least two points. Several
    // threads may visit at once.
    template <class Draw>
    void visit(const QRectF& area, const QPointF& origin, Draw&& draw) const;

private:
    void shiftedCopy(qsizetype first, qsizetype last, const QPointF& origin, std::vector<QPointF>& out) const;

    double mercPerPixel_ = 0.0;
    double tolerance_ = 0.0;
    std::vector<QPointF> points_;
    std::vector<QRectF> boxes_;  // piece k: points k*(PieceSize-1) .. k*(PieceSize-1)+PieceSize-1
};

template <class Draw>
void ReducedPolyline::visit(const QRectF& area, const QPointF& origin, Draw&& draw) const {
    const qsizetype pieces = static_cast<qsizetype>(boxes_.size());
    const qsizetype step = PieceSize - 1;
    std::vector<QPointF> shifted;
    qsizetype k = 0;
    while (k < pieces) {
        const QRectF& b = boxes_[k];
        if (b.right() < area.left() || b.left() > area.right() || b.bottom() < area.top() || b.top() > area.bottom()) {
            ++k;
            continue;
        }
        qsizetype end = k + 1;
        while (end < pieces) {
            const QRectF& e = boxes_[end];
            if (e.right() < area.left() || e.left() > area.right() || e.bottom() < area.top() || e.top() > area.bottom())
                break;
            ++end;
        }
        const qsizetype first = k * step;
        const qsizetype last = std::min<qsizetype>(end * step, pointCount() - 1);
        shiftedCopy(first, last, origin, shifted);
        draw(shifted.data(), static_cast<int>(shifted.size()));
        k = end;
    }
}

}  // namespace mvx
