#pragma once

#include <QPolygonF>
#include <QRectF>

#include <vector>

namespace mvx {

// Keeps labels from overlapping: each label is an oriented rectangle (four corners, in order) in
// screen pixels; a label is accepted only when it lies inside the area and meets no label
// accepted before it.
class LabelPlacer {
public:
    explicit LabelPlacer(const QRectF& area);

    bool fits(const QPolygonF& box) const;
    bool tryPlace(const QPolygonF& box);
    const std::vector<QPolygonF>& placed() const { return placed_; }

    // Whether two convex polygons share any point (separating axis test).
    static bool overlaps(const QPolygonF& a, const QPolygonF& b);
    // The corners of a w x h rectangle centred at c, turned by angle degrees (clockwise on screen).
    static QPolygonF orientedBox(const QPointF& c, double w, double h, double angleDegrees);

private:
    void cellRange(const QRectF& r, int& c0, int& r0, int& c1, int& r1) const;

    QRectF area_;
    int cols_;
    int rows_;
    std::vector<std::vector<int>> cells_;
    std::vector<QPolygonF> placed_;
};

}  // namespace mvx
