// The geometry of a frame: areas, water lines, buildings, roads with their casings and railways.
// Where the painter draws plainly onto a 32-bit picture, each kind goes onto a coverage layer and
// is painted in one pass (the casings of a road class in one, its fill in another); otherwise the
// painter draws it.
#include "chart/ChartRenderFrame.h"
#include "chart/ChartRenderer.h"
#include "chart/ChartStyle.h"
#include "chart/CoverageLayer.h"
#include "chart/DashPattern.h"
#include "chart/LevelOfDetail.h"
#include "chart/LineStroker.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace mvx {

namespace {

constexpr double MinOutlinedPx = 8.0;  // areas smaller on screen are drawn without outline
constexpr double OutlineHalfPx = 0.5;  // an outline is a one-pixel line on the area's edge

}  // namespace

void ChartRenderer::drawGeometry(Frame& f) const {
    f.painter.setRenderHint(QPainter::Antialiasing, true);
    for (int k = 0; k <= kindIndex(FeatureKind::Water); ++k) drawAreas(f, static_cast<FeatureKind>(k));
    for (FeatureKind k : {FeatureKind::Stream, FeatureKind::River}) {
        drawLines(f, k, QPen(QColor(ChartStyle::of(k).fill), f.lod.lineWidth(k), Qt::SolidLine, Qt::SquareCap));
    }
    drawAreas(f, FeatureKind::Building);
    drawRoads(f);
    drawRailways(f);
    f.flushLayers();
}

void ChartRenderer::drawAreas(Frame& f, FeatureKind kind) const {
    const auto& refs = f.buckets[static_cast<size_t>(kindIndex(kind))];
    if (refs.empty()) return;
    const KindStyle& style = ChartStyle::of(kind);
    // Outlines only where they can be seen.
    const bool outline = qAlpha(style.stroke) != 0 && f.lod.scaleDenominator() <= 12000;
    const bool opaque = qAlpha(style.fill) == 255 && (!outline || qAlpha(style.stroke) == 255);
    if (f.layer && opaque) {
        fillAreas(f, kind, outline);
        return;
    }
    f.flushLayers();
    f.painter.setPen(outline ? QPen(QColor(style.stroke), 1.0) : QPen(Qt::NoPen));
    f.painter.setBrush(QColor(style.fill));
    // Smoothing area edges pays only at large scales; elsewhere roads cover most edges anyway.
    f.painter.setRenderHint(QPainter::Antialiasing, f.lod.scaleDenominator() <= 12000);
    QPolygonF ring;
    for (const Ref& r : refs) {
        const ChartFeature& feature = r.chart->features()[r.feature];
        if (feature.shape != FeatureShape::Area || f.screenExtent(feature) < f.lod.minAreaPixels()) continue;
        if (feature.partCount == 1) {
            const ChartPart& part = r.chart->parts()[feature.firstPart];
            if (part.pointCount < 3) continue;
            f.partToPolygon(ring, *r.chart, part);
            f.painter.drawPolygon(ring);
        } else {
            // Several rings: holes and islands need the even-odd rule over the whole feature.
            QPainterPath path;
            path.setFillRule(Qt::OddEvenFill);
            f.addRings(path, *r.chart, feature, ring);
            f.painter.drawPath(path);
        }
    }
    f.painter.setRenderHint(QPainter::Antialiasing, true);
}

void ChartRenderer::fillAreas(Frame& f, FeatureKind kind, bool outline) const {
    // Every area of the kind in one union, always smoothed: rings of a chart run one way round and
    // their holes the other, so holes stay open. An outline is the ring widened by half a pixel in
    // the outline colour under the ring narrowed by half a pixel in the fill colour, gathered in one
    // pass over the areas; on a house under MinOutlinedPx across it would be most of the house, which is drawn
    // plain.
    const auto& refs = f.buckets[static_cast<size_t>(kindIndex(kind))];
    const KindStyle& style = ChartStyle::of(kind);
    CoverageLayer& under = *f.layer;
    CoverageLayer& fill = outline ? *f.upper : *f.layer;
    QPolygonF ring;
    std::vector<QPointF> moved, inner, narrowed;
    std::vector<int> counts;
    for (const Ref& r : refs) {
        const ChartFeature& feature = r.chart->features()[r.feature];
        const double extent = f.screenExtent(feature);
        if (feature.shape != FeatureShape::Area || extent < f.lod.minAreaPixels()) continue;
        const bool outlined = outline && extent >= f.px(MinOutlinedPx);
        narrowed.clear();
        counts.clear();
        double sign = 0;
        bool insideOut = false;  // the outer ring turns inside out when narrowed: all outline
        for (std::uint32_t p = feature.firstPart; p < feature.firstPart + feature.partCount; ++p) {
            const ChartPart& part = r.chart->parts()[p];
            if (part.pointCount < 3) continue;
            f.partToPolygon(ring, *r.chart, part);
            const int n = static_cast<int>(ring.size());
            if (!outlined) {
                fill.addRing(ring.constData(), n);
                continue;
            }
            const bool first = sign == 0;
            const double area = first ? CoverageLayer::doubleArea(ring.constData(), n) : 0;
            if (first) sign = area >= 0 ? 1.0 : -1.0;
            CoverageLayer::offsetRing(ring.constData(), n, f.px(OutlineHalfPx), sign, moved, &inner);
            under.addRing(moved.data(), n);
            if (first) {
                const double innerArea = CoverageLayer::doubleArea(inner.data(), n);
                insideOut = innerArea * area <= 0 || std::abs(innerArea) >= std::abs(area);
            }
            narrowed.insert(narrowed.end(), inner.begin(), inner.end());
            counts.push_back(n);
        }
        if (insideOut) continue;
        const QPointF* at = narrowed.data();
        for (int n : counts) {
            fill.addRing(at, n);
            at += n;
        }
    }
    if (outline) under.paint(style.stroke);
    fill.paint(style.fill);
}

void ChartRenderer::drawSegments(Frame& f, FeatureKind kind, const QPen& pen) const {
    const auto& refs = f.buckets[static_cast<size_t>(kindIndex(kind))];
    if (refs.empty()) return;
    QPolygonF buffer;
    if (f.layer && pen.color().alpha() == 255) {
        LineStroker stroker(*f.layer, pen.widthF(), pen.capStyle() == Qt::SquareCap, f.clip);
        for (const Ref& r : refs) {
            const ChartFeature& feature = r.chart->features()[r.feature];
            if (feature.shape != FeatureShape::Line) continue;
            for (std::uint32_t p = feature.firstPart; p < feature.firstPart + feature.partCount; ++p) {
                const ChartPart& part = r.chart->parts()[p];
                if (part.pointCount < 2) continue;
                f.partToPolygon(buffer, *r.chart, part);
                stroker.addLine(buffer.constData(), static_cast<int>(buffer.size()));
            }
        }
        f.layer->paint(pen.color().rgb());
        return;
    }
    f.flushLayers();
    std::vector<QLineF> segments;
    for (const Ref& r : refs) {
        const ChartFeature& feature = r.chart->features()[r.feature];
        if (feature.shape == FeatureShape::Line) f.addSegments(segments, *r.chart, feature, buffer);
    }
    f.painter.setPen(pen);
    f.painter.setBrush(Qt::NoBrush);
    f.painter.drawLines(segments.data(), static_cast<int>(segments.size()));
}

void ChartRenderer::drawLines(Frame& f, FeatureKind kind, const QPen& pen) const {
    const auto& refs = f.buckets[static_cast<size_t>(kindIndex(kind))];
    if (refs.empty()) return;
    if (pen.style() == Qt::SolidLine) {
        // Square ends; the painter's own segments close their joints with them.
        QPen square(pen);
        square.setCapStyle(Qt::SquareCap);
        drawSegments(f, kind, square);
        return;
    }
    drawDashes(f, kind, pen);
}

void ChartRenderer::drawDashes(Frame& f, FeatureKind kind, const QPen& pen) const {
    // A dash pattern counts in widths of its pen, and in pixels for pens thinner than one.
    std::vector<double> lengths;
    const double unit = std::max(pen.widthF(), f.px(1.0));
    for (double l : pen.dashPattern()) lengths.push_back(l * unit);
    const DashPattern pattern(std::move(lengths));
    std::vector<QLineF> dashes;
    QPolygonF line;
    for (const Ref& r : f.buckets[static_cast<size_t>(kindIndex(kind))]) {
        const ChartFeature& feature = r.chart->features()[r.feature];
        if (feature.shape != FeatureShape::Line) continue;
        for (std::uint32_t p = feature.firstPart; p < feature.firstPart + feature.partCount; ++p) {
            const ChartPart& part = r.chart->parts()[p];
            if (part.pointCount < 2) continue;
            f.partToPolygon(line, *r.chart, part);
            pattern.split(line, f.clip, dashes);
        }
    }
    if (f.layer && pen.color().alpha() == 255) {
        LineStroker stroker(*f.layer, pen.widthF(), false, f.clip);
        for (const QLineF& d : dashes) stroker.addSegment(d.p1(), d.p2());
        f.layer->paint(pen.color().rgb());
        return;
    }
    f.flushLayers();
    QPen plain(pen);
    plain.setStyle(Qt::SolidLine);
    plain.setCapStyle(Qt::FlatCap);
    f.painter.setPen(plain);
    f.painter.setBrush(Qt::NoBrush);
    f.painter.drawLines(dashes.data(), static_cast<int>(dashes.size()));
}

void ChartRenderer::drawRoads(Frame& f) const {
    // Casings of every class first, so that fills join cleanly at crossings.
    for (int k = kindIndex(FeatureKind::Path); k <= kindIndex(FeatureKind::Motorway); ++k) {
        const auto kind = static_cast<FeatureKind>(k);
        const double casing = f.lod.casingWidth(kind);
        if (casing <= 0) continue;
        const auto& refs = f.buckets[static_cast<size_t>(k)];
        if (refs.empty()) continue;
        drawSegments(f, kind, QPen(QColor(ChartStyle::of(kind).stroke), casing, Qt::SolidLine, Qt::SquareCap));
    }
    for (int k = kindIndex(FeatureKind::Path); k <= kindIndex(FeatureKind::Motorway); ++k) {
        const auto kind = static_cast<FeatureKind>(k);
        const KindStyle& style = ChartStyle::of(kind);
        // Uncased roads would vanish on light land in their pale fill colours; they take on some
        // of their casing colour instead, minor roads all of it, so that major roads stay brightest.
        QColor colour(style.fill);
        if (isRoad(kind) && qAlpha(style.stroke) != 0 && f.lod.casingWidth(kind) <= 0) {
            const double t = kind <= FeatureKind::MinorRoad ? 1.0 : (kind <= FeatureKind::Secondary ? 0.45 : 0.25);
            const QColor a(style.fill), b(style.stroke);
            colour = QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                                      a.blueF() + (b.blueF() - a.blueF()) * t);
        }
        drawLines(f, kind, QPen(colour, f.lod.lineWidth(kind), style.dash,
                                style.dash == Qt::SolidLine ? Qt::SquareCap : Qt::FlatCap, Qt::RoundJoin));
    }
}

void ChartRenderer::drawRailways(Frame& f) const {
    const double w = f.lod.lineWidth(FeatureKind::Rail);
    drawLines(f, FeatureKind::MinorRail,
              QPen(QColor(ChartStyle::of(FeatureKind::MinorRail).fill), f.lod.lineWidth(FeatureKind::MinorRail)));
    drawLines(f, FeatureKind::Rail, QPen(QColor(ChartStyle::of(FeatureKind::Rail).fill), w, Qt::SolidLine, Qt::FlatCap));
    if (f.lod.scaleDenominator() <= 50000 && w >= 2.5) {
        // The classic rail look: white dashes along the grey line, dashes and gaps five line
        // widths long (a dash pattern counts in widths of its own pen).
        const double dashWidth = w * 0.45;
        QPen dashes(ChartStyle::railDash(), dashWidth, Qt::CustomDashLine, Qt::FlatCap);
        dashes.setDashPattern({5.0 * w / dashWidth, 5.0 * w / dashWidth});
        drawDashes(f, FeatureKind::Rail, dashes);
    }
}

}  // namespace mvx
