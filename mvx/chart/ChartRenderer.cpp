#include "chart/ChartRenderer.h"

#include "chart/ChartRenderFrame.h"
#include "chart/ChartStyle.h"
#include "chart/CoverageFiller.h"
#include "chart/DashPattern.h"
#include "chart/LabelPlacer.h"
#include "chart/LevelOfDetail.h"
#include "chart/StraightRuns.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <optional>
#include <cmath>
#include <thread>

namespace mvx {

namespace {

constexpr double LabelRepeatPx = 260.0;    // the same street name is not repeated closer than this
constexpr double StraightTurnDeg = 22.0;   // a label follows a stretch turning no more than this
constexpr int MaxCachedLabels = 3000;
constexpr int HaloSteps = 12;              // copies of a label's text that make its halo
constexpr double AngleStepDeg = 3.0;       // street label angles are rounded to this
constexpr double MinOutlinedPx = 8.0;      // areas smaller on screen are drawn without outline

}  // namespace


ChartRenderer::ChartRenderer() = default;

void ChartRenderer::collect(Frame& f, const std::vector<const Chart*>& charts, const QRectF& screenRect,
                            bool labelledOnly) const {
    f.sx = 1.0 / f.view.mercatorPerPixel();
    f.cx = f.view.center().x();
    f.cy = f.view.center().y();
    f.hw = f.view.size().width() / 2.0;
    f.hh = f.view.size().height() / 2.0;
    const QRectF px = screenRect.adjusted(-MarginPx, -MarginPx, MarginPx, MarginPx);
    const QPointF a = f.view.screenToMerc(px.topLeft());
    const QPointF b = f.view.screenToMerc(px.bottomRight());
    const QRectF area(QPointF(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                      QPointF(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
    std::array<size_t, FeatureKindCount> before{};
    for (const Chart* chart : charts) {
        if (chart == nullptr) continue;
        for (size_t k = 0; k < before.size(); ++k) before[k] = f.buckets[k].size();
        chart->forEachIn(area, [&](std::uint32_t i) {
            const FeatureKind k = chart->features()[i].kind;
            if (labelledOnly ? f.lod.labelled(k) : f.lod.visible(k))
                f.buckets[static_cast<size_t>(kindIndex(k))].push_back({chart, i});
        });
        // Within a kind, features are drawn in the chart's own order (file order), whatever order
        // the index finds them in: a band then draws its rows exactly as the whole view does.
        for (size_t k = 0; k < before.size(); ++k)
            std::sort(f.buckets[k].begin() + static_cast<std::ptrdiff_t>(before[k]), f.buckets[k].end(),
                      [](const Ref& a, const Ref& b) { return a.feature < b.feature; });
    }
}

void ChartRenderer::drawGeometry(Frame& f) const {
    f.painter.setRenderHint(QPainter::Antialiasing, true);
    for (int k = 0; k <= kindIndex(FeatureKind::Water); ++k) drawAreas(f, static_cast<FeatureKind>(k));
    for (FeatureKind k : {FeatureKind::Stream, FeatureKind::River}) {
        drawLines(f, k, QPen(QColor(ChartStyle::of(k).fill), f.lod.lineWidth(k), Qt::SolidLine, Qt::SquareCap));
    }
    drawAreas(f, FeatureKind::Building);
    drawRoads(f);
    drawRailways(f);
}

void ChartRenderer::render(QPainter& painter, const MapView& view, const std::vector<const Chart*>& charts,
                           RenderReport* report) const {
    const QSize size = view.size();
    if (size.isEmpty()) return;
    double dpi = DefaultDpi;
    if (painter.device() != nullptr && painter.device()->logicalDpiX() > 0) dpi = painter.device()->logicalDpiX();
    const double scale = view.scaleDenominator(dpi);
    const LevelOfDetail lod(scale, scale * 0.0254 / dpi);
    const QRectF whole(QPointF(0, 0), QSizeF(size));

    // The painter's state comes back however drawing ends, an exception included.
    struct SavedState {
        QPainter& painter;
        explicit SavedState(QPainter& p) : painter(p) { painter.save(); }
        ~SavedState() { painter.restore(); }
    } saved(painter);
    Frame f{painter, view, lod, {}, report};
    f.clip = frameClip(whole);
    f.base = painter.transform();
    collect(f, charts, whole, false);
    std::vector<int> cuts;
    const bool inBands = threads_ > 1 && planBands(f, size, cuts);
    if (inBands) {
        drawBands(painter, f, cuts);
    } else {
        painter.fillRect(whole, ChartStyle::land());
        drawGeometry(f);
        painter.setTransform(f.base);
    }

    if (report) {
        *report = RenderReport();
        report->scaleDenominator = scale;
        report->bands = inBands ? static_cast<int>(cuts.size()) - 1 : 1;
        for (int k = 0; k < FeatureKindCount; ++k) {
            int n = 0;
            for (const Ref& r : f.buckets[static_cast<size_t>(k)]) {
                const ChartFeature& feature = r.chart->features()[r.feature];
                if (feature.shape != FeatureShape::Area || f.screenExtent(feature) >= lod.minAreaPixels()) ++n;
            }
            report->drawn[static_cast<size_t>(k)] = n;
        }
    }
    drawLabels(f);
}

void ChartRenderer::drawAreas(Frame& f, FeatureKind kind) const {
    const auto& refs = f.buckets[static_cast<size_t>(kindIndex(kind))];
    if (refs.empty()) return;
    const KindStyle& style = ChartStyle::of(kind);
    // Outlines only where they can be seen; thin outlines on thousands of buildings are costly.
    const bool outline = qAlpha(style.stroke) != 0 && f.lod.scaleDenominator() <= 12000;
    f.painter.setPen(outline ? QPen(QColor(style.stroke), 1.0) : QPen(Qt::NoPen));
    f.painter.setBrush(QColor(style.fill));
    // Smoothing area edges pays only at large scales; elsewhere roads cover most edges anyway.
    f.painter.setRenderHint(QPainter::Antialiasing, f.lod.scaleDenominator() <= 12000);
    // Small rings go straight into the picture where the painter allows it, always smoothed: the
    // raster engine's set-up cost per polygon outweighs the drawing of a house a few pixels wide.
    std::optional<CoverageFiller> direct = f.directFiller();
    const bool opaque = qAlpha(style.fill) == 255 && (!outline || qAlpha(style.stroke) == 255);
    if (!opaque) direct.reset();
    QPolygonF ring;
    for (const Ref& r : refs) {
        const ChartFeature& feature = r.chart->features()[r.feature];
        if (feature.shape != FeatureShape::Area || f.screenExtent(feature) < f.lod.minAreaPixels()) continue;
        if (feature.partCount == 1) {
            const ChartPart& part = r.chart->parts()[feature.firstPart];
            if (part.pointCount < 3) continue;
            f.partToPolygon(ring, *r.chart, part);
            const int count = static_cast<int>(ring.size());
            // On a house under MinOutlinedPx across, the outline would be most of it: the house
            // is drawn plain, which also halves its cost where a town shows tens of thousands.
            const bool outlined = outline && f.screenExtent(feature) >= MinOutlinedPx;
            if (direct && (outlined ? direct->fillOutlined(ring.constData(), count, style.fill, style.stroke)
                                    : direct->fill(ring.constData(), count, style.fill)))
                continue;
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

void ChartRenderer::drawSegments(Frame& f, FeatureKind kind, const QPen& pen) const {
    const auto& refs = f.buckets[static_cast<size_t>(kindIndex(kind))];
    if (refs.empty()) return;
    std::vector<QLineF> segments;
    QPolygonF buffer;
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
        // Square caps close the joints between separately drawn segments.
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
    const double unit = std::max(pen.widthF(), 1.0);
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

QFont ChartRenderer::fontFor(FeatureKind kind) const {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setHintingPreference(QFont::PreferNoHinting);
    switch (kind) {
        case FeatureKind::PlaceCity:
            font.setPixelSize(18);
            font.setBold(true);
            break;
        case FeatureKind::PlaceSuburb:
            font.setPixelSize(13);
            font.setBold(true);
            break;
        case FeatureKind::PlaceLocal:
            font.setPixelSize(12);
            break;
        case FeatureKind::Water:
        case FeatureKind::River:
        case FeatureKind::Park:
            font.setPixelSize(11);
            font.setItalic(true);
            break;
        default:
            font.setPixelSize(11);
            break;
    }
    return font;
}

double ChartRenderer::textWidth(const QString& text, const QFont& font, FeatureKind kind) const {
    // Measuring shapes the text; streets are measured every frame, so widths are kept.
    const LabelKey key{text, kindIndex(kind), 0};
    auto it = textWidths_.constFind(key);
    if (it != textWidths_.constEnd()) return it.value();
    if (textWidths_.size() >= MaxCachedLabels * 4) textWidths_.clear();
    return textWidths_.insert(key, QFontMetricsF(font).horizontalAdvance(text)).value();
}

const QImage& ChartRenderer::labelImage(const QString& text, const QFont& font, FeatureKind kind, int angle,
                                        double ratio) const {
    const LabelKey key{text, kindIndex(kind), angle, static_cast<int>(std::lround(ratio * 100))};
    auto it = labelImages_.constFind(key);
    if (it != labelImages_.constEnd()) return it.value();
    if (labelImages_.size() >= MaxCachedLabels) labelImages_.clear();
    // Text and halo are drawn once, already turned, into a small image that is then only blended.
    const QFontMetricsF fm(font);
    const double halo = isPlace(kind) ? 1.8 : 1.5;
    const double w = fm.horizontalAdvance(text) + 2 * halo + 2;
    const double h = fm.height() + 2 * halo + 2;
    QTransform turn;
    turn.rotate(angle);
    const QRectF bounds = turn.mapRect(QRectF(-w / 2, -h / 2, w, h));
    // Sized in view pixels; a ratio above 1 gives the picture that many device pixels per view pixel.
    const double lw = std::max(1, static_cast<int>(std::ceil(bounds.width())) + 2);
    const double lh = std::max(1, static_cast<int>(std::ceil(bounds.height())) + 2);
    QImage image(static_cast<int>(std::ceil(lw * ratio)), static_cast<int>(std::ceil(lh * ratio)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    const QPointF origin(-w / 2 + halo + 1, -h / 2 + halo + 1 + fm.ascent());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.translate(lw / 2.0, lh / 2.0);
    p.rotate(angle);
    p.setFont(font);
    // The halo: the text drawn round itself in the halo colour, from the font's glyph cache,
    // many times cheaper than stroking the glyph outlines.
    p.setPen(QColor(ChartStyle::halo().rgb()));
    for (int k = 0; k < HaloSteps; ++k) {
        const double a = 2.0 * M_PI * k / HaloSteps;
        p.drawText(origin + QPointF(std::cos(a) * halo, std::sin(a) * halo), text);
    }
    p.setPen(ChartStyle::labelText(kind));
    p.drawText(origin, text);
    p.end();
    return labelImages_.insert(key, image).value();
}

void ChartRenderer::drawLabel(Frame& f, const QString& text, const QFont& font, const QPointF& centre, double angle,
                              FeatureKind kind, const QPolygonF& box) const {
    // A painter that scales (printing) gets pictures of its own resolution.
    const double ratio = std::max(1.0, std::fabs(f.base.m11()));
    const QImage& image = labelImage(text, font, kind, static_cast<int>(std::lround(angle)), ratio);
    const QSizeF size = image.deviceIndependentSize();
    // Whole pixels keep the text sharp.
    f.painter.drawImage(QPointF(std::round(centre.x() - size.width() / 2.0), std::round(centre.y() - size.height() / 2.0)),
                        image);
    if (f.report) f.report->labels.push_back({text, box, kind});
}

void ChartRenderer::drawLabels(Frame& f) const {
    LabelPlacer placer(QRectF(QPointF(0, 0), QSizeF(f.view.size())));
    placePlaceLabels(f, placer);
    for (int k = kindIndex(FeatureKind::Motorway); k >= kindIndex(FeatureKind::MinorRoad); --k)
        placeLineLabels(f, placer, static_cast<FeatureKind>(k));
    placeLineLabels(f, placer, FeatureKind::River);
    placeAreaLabels(f, placer, FeatureKind::Water);
    placeAreaLabels(f, placer, FeatureKind::Park);
}

void ChartRenderer::placePlaceLabels(Frame& f, LabelPlacer& placer) const {
    for (FeatureKind kind : {FeatureKind::PlaceCity, FeatureKind::PlaceSuburb, FeatureKind::PlaceLocal}) {
        if (!f.lod.labelled(kind)) continue;
        const QFont font = fontFor(kind);
        const QFontMetricsF fm(font);
        for (const Ref& r : f.buckets[static_cast<size_t>(kindIndex(kind))]) {
            const ChartFeature& feature = r.chart->features()[r.feature];
            if (feature.name < 0) continue;
            const QString& name = r.chart->names()[static_cast<size_t>(feature.name)];
            const ChartPart& part = r.chart->parts()[feature.firstPart];
            const QPointF c = f.toScreen(r.chart->points()[part.firstPoint]);
            const QPolygonF box = LabelPlacer::orientedBox(c, textWidth(name, font, kind) + 6, fm.height() + 2, 0);
            if (placer.tryPlace(box)) drawLabel(f, name, font, c, 0, kind, box);
        }
    }
}

void ChartRenderer::placeLineLabels(Frame& f, LabelPlacer& placer, FeatureKind kind) const {
    if (!f.lod.labelled(kind)) return;
    const QFont font = fontFor(kind);
    const QFontMetricsF fm(font);
    const double h = fm.height() + 2;
    const QRectF view = QRectF(QPointF(0, 0), QSizeF(f.view.size())).adjusted(2, 2, -2, -2);
    QHash<QString, std::vector<QPointF>> placedNames;
    std::vector<QPointF> line;
    for (const Ref& r : f.buckets[static_cast<size_t>(kindIndex(kind))]) {
        const ChartFeature& feature = r.chart->features()[r.feature];
        if (feature.name < 0 || f.screenExtent(feature) < 24) continue;
        const QString& name = r.chart->names()[static_cast<size_t>(feature.name)];
        const double labelWidth = textWidth(name, font, kind) + 8;
        auto& seen = placedNames[name];
        // Tries a label at a centre and angle; the same name is not repeated close by.
        auto tryAt = [&](const QPointF& centre, double angle) {
            for (const QPointF& q : seen)
                if (std::hypot(q.x() - centre.x(), q.y() - centre.y()) < LabelRepeatPx) return false;
            const QPolygonF box = LabelPlacer::orientedBox(centre, labelWidth, h, angle);
            if (!placer.tryPlace(box)) return false;
            seen.push_back(centre);
            drawLabel(f, name, font, centre, angle, kind, box);
            return true;
        };
        bool placed = false;
        for (std::uint32_t p = feature.firstPart; p < feature.firstPart + feature.partCount && !placed; ++p) {
            const ChartPart& part = r.chart->parts()[p];
            line.clear();
            for (std::uint32_t i = 0; i < part.pointCount; ++i) line.push_back(f.toScreen(r.chart->points()[part.firstPoint + i]));
            // Only what is on screen counts, so a long street whose middle is off screen still gets
            // its name on the visible stretch.
            const std::vector<StraightRuns::Run> runs = StraightRuns::find(line, view, StraightTurnDeg);
            for (const StraightRuns::Run& run : runs) {
                if (run.length < labelWidth || placed) break;
                double angle = std::atan2(run.to.y() - run.from.y(), run.to.x() - run.from.x()) * 180.0 / M_PI;
                if (angle > 90.0) angle -= 180.0;
                if (angle <= -90.0) angle += 180.0;
                // Turned label images are kept per angle step; the step is too small to see.
                angle = std::round(angle / AngleStepDeg) * AngleStepDeg;
                if (angle <= -90.0) angle += 180.0;
                // The middle of the stretch first, then towards its ends where the label still fits.
                const double spare = 0.5 - labelWidth / (2.0 * run.length);
                for (double t : {0.5, 0.5 - spare * 0.6, 0.5 + spare * 0.6}) {
                    if (tryAt(run.from + (run.to - run.from) * t, angle)) {
                        placed = true;
                        break;
                    }
                }
            }
            if (!placed && !runs.empty() && runs.front().length >= 16 && runs.front().length < labelWidth &&
                f.lod.scaleDenominator() <= 12000) {
                // Too short to carry its name: the name goes beside it, level, just above.
                const StraightRuns::Run& run = runs.front();
                placed = tryAt((run.from + run.to) / 2.0 - QPointF(0, h / 2.0 + f.lod.lineWidth(kind) / 2.0 + 1.0), 0);
            }
        }
    }
}

void ChartRenderer::placeAreaLabels(Frame& f, LabelPlacer& placer, FeatureKind kind) const {
    if (!f.lod.labelled(kind)) return;
    const QFont font = fontFor(kind);
    const QFontMetricsF fm(font);
    for (const Ref& r : f.buckets[static_cast<size_t>(kindIndex(kind))]) {
        const ChartFeature& feature = r.chart->features()[r.feature];
        if (feature.name < 0) continue;
        const QString& name = r.chart->names()[static_cast<size_t>(feature.name)];
        const double w = textWidth(name, font, kind) + 6;
        // Only areas large enough on screen to hold their name.
        if (feature.bounds.width() * f.sx < w) continue;
        const QPointF c = f.toScreen(feature.bounds.center());
        const QPolygonF box = LabelPlacer::orientedBox(c, w, fm.height() + 2, 0);
        if (placer.tryPlace(box)) drawLabel(f, name, font, c, 0, kind, box);
    }
}

}  // namespace mvx
