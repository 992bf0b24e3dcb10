#pragma once

#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QVector>

#include <functional>

namespace mvx {

// Clipping and thinning of pixel geometry in double precision, so that the painter only ever gets
// coordinates near the view (the raster engine does not promise exact results far outside the
// +-32768 range) and no more points than the pixels can show.
class ScreenClipper {
public:
    // Cuts a polyline to the rectangle and calls emitRun for every visible piece. Within a piece,
    // a point closer than minStep pixels to the last kept one is dropped (the last point of a
    // piece is always kept), so a run has at least two points.
    static void clipPolyline(const QPointF* points, int count, const QRectF& clip, double minStep,
                             const std::function<void(const QVector<QPointF>&)>& emitRun);

    // Sutherland-Hodgman clip of a closed ring to the rectangle; empty when nothing is inside.
    static QPolygonF clipPolygon(const QPolygonF& ring, const QRectF& clip);

    // Liang-Barsky clip of one segment; false when it misses the rectangle.
    static bool clipSegment(QPointF& a, QPointF& b, const QRectF& clip);
};

}  // namespace mvx
