#pragma once

#include "chart/Chart.h"
#include "chart/ChartRenderer.h"
#include "chart/CoverageLayer.h"
#include "chart/LevelOfDetail.h"
#include "core/Projection.h"

#include <QLineF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>

#include <QPaintEngine>

#include <algorithm>
#include <optional>
#include <cmath>
#include <vector>

namespace mvx {

// Features this close outside the view still count.
inline constexpr double MarginPx = 48.0;

// Points closer than this many pixels to the last one drawn are skipped, and so are points that
// lie within StraightPx of a straight stretch of up to MaxDropped points.
inline constexpr double SimplifyPx = 0.6;
inline constexpr double StraightPx = 0.25;
inline constexpr int MaxDropped = 16;

// How far outside the rows it draws a frame still draws segments: more than half the widest line.
inline constexpr double ClipMarginPx = 64.0;

inline QRectF frameClip(const QRectF& rows, double pixelRatio) {
    const double m = ClipMarginPx * pixelRatio;
    return rows.adjusted(-m, -m, m, m);
}

// Per-frame state shared by the drawing steps.
struct ChartRenderer::Frame {
    QPainter& painter;
    const MapView& view;
    const LevelOfDetail& lod;
    Buckets buckets;
    RenderReport* report;
    double sx = 1, cx = 0, cy = 0, hw = 0, hh = 0;
    // Labels are placed here instead of drawn, when set.
    std::vector<PlacedLabel>* placedLabels = nullptr;

    // A length in pixels of the screen's own measure, in device pixels.
    double px(double length) const { return length * lod.pixelRatio(); }
    QTransform base;  // the caller's transform, kept under rotated labels
    // The part of the view this frame draws (the whole view, or one band's rows), widened by the
    // widest line: segments wholly outside it are left out.
    QRectF clip;

    // Where the painter draws plainly onto a 32-bit picture (no clip but a rectangle, no opacity,
    // blending over, whole-pixel shifts), shapes go onto this layer and straight into the picture;
    // its paints are kept and painted together, strip by strip, when flushed.
    std::optional<CoverageLayer> layer;
    std::optional<CoverageLayer> upper;  // a second one on the same picture, for what goes over the first

    // cells: the scratch memory of the two layers.
    void openLayers(CoverageCells* cells) {
        QPaintDevice* device = painter.device();
        if (device == nullptr || device->devType() != QInternal::Image || painter.paintEngine() == nullptr ||
            painter.paintEngine()->type() != QPaintEngine::Raster || painter.opacity() < 1.0 ||
            painter.compositionMode() != QPainter::CompositionMode_SourceOver)
            return;
        QRect clip = static_cast<QImage*>(device)->rect();
        if (painter.hasClipping()) {
            const QRegion region = painter.clipRegion();
            if (region.rectCount() != 1) return;
            clip &= region.boundingRect().translated(painter.transform().map(QPoint(0, 0)));
        }
        auto* image = static_cast<QImage*>(device);
        const QTransform t = painter.transform();
        if (!CoverageLayer::supports(*image) || t.type() > QTransform::TxTranslate || t.dx() != std::round(t.dx()) ||
            t.dy() != std::round(t.dy()))
            return;
        const QPoint origin(static_cast<int>(t.dx()), static_cast<int>(t.dy()));
        // Both keep their paints in the first one's store, painted together by flushLayers().
        layer.emplace(*image, origin, clip, cells[0], &cells[0]);
        upper.emplace(*image, origin, clip, cells[1], &cells[0]);
    }

    // Fills a rectangle of the screen with an opaque colour before anything is drawn: through the
    // layers when their clip is exactly that rectangle (done strip by strip as they paint), else
    // by the painter at once.
    void fillFirst(const QRectF& rect, const QColor& colour) {
        if (layer && colour.alpha() == 255 && layer->screenClip() == rect)
            layer->fillFirst(colour.rgb());
        else
            painter.fillRect(rect, colour);
    }

    // Paints what the layers keep: before the painter draws anything itself, and as the frame ends.
    void flushLayers() {
        if (layer) layer->flush();
    }

    QPointF toScreen(const QPointF& m) const { return {(m.x() - cx) * sx + hw, (cy - m.y()) * sx + hh}; }

    // Adds the rings of an area to a path in screen pixels.
    void addRings(QPainterPath& path, const Chart& chart, const ChartFeature& feature, QPolygonF& buffer) const {
        for (std::uint32_t p = feature.firstPart; p < feature.firstPart + feature.partCount; ++p) {
            const ChartPart& part = chart.parts()[p];
            if (part.pointCount < 3) continue;
            partToPolygon(buffer, chart, part);
            path.addPolygon(buffer);
            path.closeSubpath();
        }
    }

    // The outline of one part in screen pixels without the points that add nothing to it: those
    // within SimplifyPx of the last one kept, and those within StraightPx of the straight line
    // between the points kept round them (a street mapped with a node every few metres, zoomed out).
    void partToPolygon(QPolygonF& out, const Chart& chart, const ChartPart& part) const {
        // Written through a pointer into room for every point, cut to the points kept at the end.
        out.resize(std::max<qsizetype>(1, part.pointCount));
        QPointF* const kept = out.data();
        qsizetype count = 0;
        const QPointF* run = chart.points().data() + part.firstPoint;
        QPointF last = toScreen(run[0]);
        kept[count++] = last;
        QPointF dropped[MaxDropped];  // the points dropped between the last two kept
        int droppedCount = 0;
        for (std::uint32_t i = 1; i < part.pointCount; ++i) {
            const QPointF s = toScreen(run[i]);
            if (i + 1 < part.pointCount && std::abs(s.x() - last.x()) < SimplifyPx &&
                std::abs(s.y() - last.y()) < SimplifyPx)
                continue;
            if (count >= 2 && droppedCount < MaxDropped) {
                const QPointF a = kept[count - 2];
                bool straight = onStretch(a, s, kept[count - 1]);
                for (int k = 0; k < droppedCount && straight; ++k) straight = onStretch(a, s, dropped[k]);
                if (straight) {
                    dropped[droppedCount++] = kept[count - 1];
                    kept[count - 1] = s;
                    last = s;
                    continue;
                }
            }
            droppedCount = 0;
            kept[count++] = s;
            last = s;
        }
        out.resize(count);
    }

    // Whether p lies on the stretch from a to b, within StraightPx of it.
    static bool onStretch(const QPointF& a, const QPointF& b, const QPointF& p) {
        const QPointF d = b - a, q = p - a;
        const double length2 = d.x() * d.x() + d.y() * d.y();
        const double along = q.x() * d.x() + q.y() * d.y();
        if (along < 0 || along > length2) return false;
        const double cross = q.x() * d.y() - q.y() * d.x();
        return cross * cross <= StraightPx * StraightPx * length2;
    }

    // The segments of a line feature in screen pixels. Roads are drawn as separate square-capped
    // segments: the raster engine draws those directly, many times faster than joined polylines,
    // and the caps fill the corners.
    void addSegments(std::vector<QLineF>& out, const Chart& chart, const ChartFeature& feature,
                     QPolygonF& buffer) const {
        for (std::uint32_t p = feature.firstPart; p < feature.firstPart + feature.partCount; ++p) {
            const ChartPart& part = chart.parts()[p];
            if (part.pointCount < 2) continue;
            partToPolygon(buffer, chart, part);
            for (qsizetype i = 1; i < buffer.size(); ++i) {
                const QPointF& a = buffer[i - 1];
                const QPointF& b = buffer[i];
                if (std::max(a.x(), b.x()) < clip.left() || std::min(a.x(), b.x()) > clip.right() ||
                    std::max(a.y(), b.y()) < clip.top() || std::min(a.y(), b.y()) > clip.bottom())
                    continue;
                out.emplace_back(a, b);
            }
        }
    }

    // Screen size of a feature's bounds.
    double screenExtent(const ChartFeature& feature) const {
        return std::max(feature.bounds.width(), feature.bounds.height()) * sx;
    }
};

}  // namespace mvx
