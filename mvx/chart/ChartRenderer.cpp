#include "chart/ChartRenderer.h"

#include "chart/ChartRenderFrame.h"
#include "chart/ChartStyle.h"
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

}  // namespace


ChartRenderer::ChartRenderer() = default;

void ChartRenderer::collect(Frame& f, const std::vector<const Chart*>& charts, const QRectF& screenRect,
                            bool labelledOnly) const {
    f.sx = 1.0 / f.view.mercatorPerPixel();
    f.cx = f.view.center().x();
    f.cy = f.view.center().y();
    f.hw = f.view.size().width() / 2.0;
    f.hh = f.view.size().height() / 2.0;
    const double margin = f.px(MarginPx);
    const QRectF px = screenRect.adjusted(-margin, -margin, margin, margin);
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

void ChartRenderer::render(QPainter& painter, const MapView& view, const std::vector<const Chart*>& charts,
                           RenderReport* report, const RenderOptions& options) const {
    const QSize size = view.size();
    if (size.isEmpty()) return;
    double dpi = DefaultDpi;
    if (painter.device() != nullptr && painter.device()->logicalDpiX() > 0) dpi = painter.device()->logicalDpiX();
    const double ratio = options.pixelRatio > 0 && std::isfinite(options.pixelRatio) ? options.pixelRatio : 1.0;
    dpi *= ratio;  // device pixels per inch
    const double scale = view.scaleDenominator(dpi);
    const LevelOfDetail lod(scale, scale * 0.0254 / dpi, ratio);
    if (ratio != labelRatio_) {
        labelImages_.clear();
        textWidths_.clear();
        labelRatio_ = ratio;
    }
    const QRectF whole(QPointF(0, 0), QSizeF(size));

    // The painter's state comes back however drawing ends, an exception included.
    struct SavedState {
        QPainter& painter;
        explicit SavedState(QPainter& p) : painter(p) { painter.save(); }
        ~SavedState() { painter.restore(); }
    } saved(painter);
    Frame f{painter, view, lod, {}, report};
    // A painter clipped to a rectangle (a strip uncovered by a pan) needs only what reaches it.
    QRectF drawn = whole;
    if (painter.hasClipping() && painter.clipRegion().rectCount() == 1)
        drawn = QRectF(painter.clipRegion().boundingRect()) & whole;
    f.clip = frameClip(drawn, ratio);
    f.placedLabels = options.labels;
    f.base = painter.transform();
    collect(f, charts, whole, false);
    std::vector<int> cuts;
    const bool inBands = threads_ > 1 && !painter.hasClipping() && planBands(f, size, cuts);
    if (inBands) {
        drawBands(painter, f, cuts);
    } else {
        if (layerCells_.size() < 2) layerCells_.resize(2);
        f.openLayers(&layerCells_[0]);
        f.fillFirst(whole, ChartStyle::land());
        drawGeometry(f);
        f.upper.reset();
        f.layer.reset();
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
    placeLabels(f);
}

void ChartRenderer::drawLabels(QPainter& painter, const std::vector<PlacedLabel>& labels,
                               const std::vector<QRectF>& keepFree) {
    for (const PlacedLabel& label : labels) {
        const QRectF bounds = label.box.boundingRect();
        const bool covered = std::any_of(keepFree.begin(), keepFree.end(), [&](const QRectF& r) {
            return r.intersects(bounds) && LabelPlacer::overlaps(label.box, QPolygonF(r));
        });
        if (!covered) painter.drawImage(label.topLeft, label.image);
    }
}

QFont ChartRenderer::fontFor(FeatureKind kind) const {
    auto pixels = [this](int size) { return std::max(1, static_cast<int>(std::lround(size * labelRatio_))); };
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setHintingPreference(QFont::PreferNoHinting);
    switch (kind) {
        case FeatureKind::PlaceCity:
            font.setPixelSize(pixels(18));
            font.setBold(true);
            break;
        case FeatureKind::PlaceSuburb:
            font.setPixelSize(pixels(13));
            font.setBold(true);
            break;
        case FeatureKind::PlaceLocal:
            font.setPixelSize(pixels(12));
            break;
        case FeatureKind::Water:
        case FeatureKind::River:
        case FeatureKind::Park:
            font.setPixelSize(pixels(11));
            font.setItalic(true);
            break;
        default:
            font.setPixelSize(pixels(11));
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
    const double halo = (isPlace(kind) ? 1.8 : 1.5) * labelRatio_;
    const double w = fm.horizontalAdvance(text) + 2 * halo + 2 * labelRatio_;
    const double h = fm.height() + 2 * halo + 2 * labelRatio_;
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
    const QPointF origin(-w / 2 + halo + labelRatio_, -h / 2 + halo + labelRatio_ + fm.ascent());
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
    const QPoint topLeft(static_cast<int>(std::round(centre.x() - size.width() / 2.0)),
                         static_cast<int>(std::round(centre.y() - size.height() / 2.0)));
    if (f.placedLabels)
        f.placedLabels->push_back({image, topLeft, box});
    else
        f.painter.drawImage(topLeft, image);
    if (f.report) f.report->labels.push_back({text, box, kind});
}

void ChartRenderer::placeLabels(Frame& f) const {
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
            const QPolygonF box =
                LabelPlacer::orientedBox(c, textWidth(name, font, kind) + f.px(6), fm.height() + f.px(2), 0);
            if (placer.tryPlace(box)) drawLabel(f, name, font, c, 0, kind, box);
        }
    }
}

void ChartRenderer::placeLineLabels(Frame& f, LabelPlacer& placer, FeatureKind kind) const {
    if (!f.lod.labelled(kind)) return;
    const QFont font = fontFor(kind);
    const QFontMetricsF fm(font);
    const double h = fm.height() + f.px(2);
    const double inset = f.px(2);
    const QRectF view = QRectF(QPointF(0, 0), QSizeF(f.view.size())).adjusted(inset, inset, -inset, -inset);
    QHash<QString, std::vector<QPointF>> placedNames;
    std::vector<QPointF> line;
    for (const Ref& r : f.buckets[static_cast<size_t>(kindIndex(kind))]) {
        const ChartFeature& feature = r.chart->features()[r.feature];
        if (feature.name < 0 || f.screenExtent(feature) < f.px(24)) continue;
        const QString& name = r.chart->names()[static_cast<size_t>(feature.name)];
        const double labelWidth = textWidth(name, font, kind) + f.px(8);
        auto& seen = placedNames[name];
        // Tries a label at a centre and angle; the same name is not repeated close by.
        auto tryAt = [&](const QPointF& centre, double angle) {
            for (const QPointF& q : seen)
                if (std::hypot(q.x() - centre.x(), q.y() - centre.y()) < f.px(LabelRepeatPx)) return false;
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
            if (!placed && !runs.empty() && runs.front().length >= f.px(16) && runs.front().length < labelWidth &&
                f.lod.scaleDenominator() <= 12000) {
                // Too short to carry its name: the name goes beside it, level, just above.
                const StraightRuns::Run& run = runs.front();
                placed = tryAt((run.from + run.to) / 2.0 - QPointF(0, h / 2.0 + f.lod.lineWidth(kind) / 2.0 + f.px(1)), 0);
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
        const double w = textWidth(name, font, kind) + f.px(6);
        // Only areas large enough on screen to hold their name.
        if (feature.bounds.width() * f.sx < w) continue;
        const QPointF c = f.toScreen(feature.bounds.center());
        const QPolygonF box = LabelPlacer::orientedBox(c, w, fm.height() + f.px(2), 0);
        if (placer.tryPlace(box)) drawLabel(f, name, font, c, 0, kind, box);
    }
}

}  // namespace mvx
