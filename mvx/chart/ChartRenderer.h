#pragma once

#include "chart/Chart.h"
#include "chart/CoverageLayer.h"
#include "chart/FeatureKind.h"
#include "core/Projection.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>

#include <array>
#include <functional>
#include <vector>

class QPainter;

namespace mvx {

class LabelPlacer;
class LevelOfDetail;

// A label placed on a frame and not yet drawn: its picture, where the picture's top-left corner
// goes, and the label's box (four corners), in the frame's pixels.
struct PlacedLabel {
    QImage image;
    QPoint topLeft;
    QPolygonF box;
};

// How a frame is drawn, beyond its view.
struct RenderOptions {
    // Device pixels per pixel of the screen's own measure (2 on a 200 % screen): the view is given
    // in device pixels and the scale is the same as the view's at the screen's measure; lines that
    // are not ground widths, outlines, fonts and the spacing of labels grow by it.
    double pixelRatio = 1.0;
    // When set, the labels are placed here instead of drawn, so that the caller draws them later
    // over its own pictures (drawLabels), leaving out those that its objects cover.
    std::vector<PlacedLabel>* labels = nullptr;
};

// What one redraw drew: the labels it placed and how many features of each kind were in view and
// shown at its scale.
struct RenderReport {
    struct Label {
        QString text;
        QPolygonF box;  // screen pixels, four corners
        FeatureKind kind = FeatureKind::None;
    };
    std::vector<Label> labels;
    std::array<int, FeatureKindCount> drawn{};
    double scaleDenominator = 0;
    int bands = 1;  // horizontal bands, shared out between two threads when more than one
};

// Draws charts for a view: land, areas, water, buildings, roads with casings, railways, then
// labels with halos placed without overlaps. Keeps the outlines of label texts between frames.
class ChartRenderer {
public:
    ChartRenderer();
    // Large views are drawn in bands on two threads when the machine has two cores; 1 keeps
    // all drawing on the calling thread.
    void setThreads(int threads) { threads_ = threads; }
    // Called as each band starts, with its number from the top, on the thread that draws it;
    // tests make a band fail through it. An exception from any band leaves render() on the
    // calling thread after both threads have ended.
    void setBandHook(std::function<void(int band)> hook) { bandHook_ = std::move(hook); }
    void render(QPainter& painter, const MapView& view, const std::vector<const Chart*>& charts,
                RenderReport* report = nullptr, const RenderOptions& options = RenderOptions()) const;
    // Draws placed labels, but for those whose box meets one of the rectangles kept free (an
    // object drawn over the map that the label would lie under). Same pixels as the frame's.
    static void drawLabels(QPainter& painter, const std::vector<PlacedLabel>& labels, const std::vector<QRectF>& keepFree);

    // The resolution the scale is computed for when the paint device does not tell.
    static constexpr double DefaultDpi = 96.0;

private:
    struct Ref {
        const Chart* chart;
        std::uint32_t feature;
    };
    using Buckets = std::array<std::vector<Ref>, FeatureKindCount>;

    struct Frame;

    void collect(Frame& f, const std::vector<const Chart*>& charts, const QRectF& screenRect, bool labelledOnly) const;
    void drawGeometry(Frame& f) const;
    // Whether the frame is worth drawing in bands on two threads, and where the bands are cut:
    // the first row of each band, then the height.
    bool planBands(const Frame& f, const QSize& size, std::vector<int>& cuts) const;
    // whole: the frame of the whole view, whose features the bands share out.
    void drawBands(QPainter& painter, const Frame& whole, const std::vector<int>& cuts) const;
    void drawAreas(Frame& f, FeatureKind kind) const;
    void fillAreas(Frame& f, FeatureKind kind, bool outline) const;
    void drawLines(Frame& f, FeatureKind kind, const QPen& pen) const;
    void drawSegments(Frame& f, FeatureKind kind, const QPen& pen) const;
    void drawDashes(Frame& f, FeatureKind kind, const QPen& pen) const;
    void drawRoads(Frame& f) const;
    void drawRailways(Frame& f) const;
    void placeLabels(Frame& f) const;
    void placePlaceLabels(Frame& f, LabelPlacer& placer) const;
    void placeLineLabels(Frame& f, LabelPlacer& placer, FeatureKind kind) const;
    void placeAreaLabels(Frame& f, LabelPlacer& placer, FeatureKind kind) const;
    void drawLabel(Frame& f, const QString& text, const QFont& font, const QPointF& centre, double angle,
                   FeatureKind kind, const QPolygonF& box) const;
    double textWidth(const QString& text, const QFont& font, FeatureKind kind) const;
    // ratio: device pixels per view pixel (1 on screen; more when printing through a scaled painter).
    const QImage& labelImage(const QString& text, const QFont& font, FeatureKind kind, int angle, double ratio) const;
    QFont fontFor(FeatureKind kind) const;

    int threads_ = 2;
    std::function<void(int)> bandHook_;
    mutable std::vector<QImage> bandPictures_;  // one per band, kept between frames
    // Scratch memory of coverage layers, two for each picture: the first two for a frame drawn
    // whole, then two per band.
    mutable std::vector<CoverageCells> layerCells_;
    // Kept label pictures and text widths, by text, kind and (for pictures) angle.
    struct LabelKey {
        QString text;
        int kind;
        int angle;
        int ratio = 100;  // device pixels per view pixel, in hundredths
        bool operator==(const LabelKey& o) const {
            return kind == o.kind && angle == o.angle && ratio == o.ratio && text == o.text;
        }
    };
    friend size_t qHash(const LabelKey& k, size_t seed) noexcept {
        return qHashMulti(seed, k.text, k.kind, k.angle, k.ratio);
    }
    mutable QHash<LabelKey, QImage> labelImages_;
    mutable QHash<LabelKey, double> textWidths_;
    mutable double labelRatio_ = 1.0;  // the pixel ratio the kept pictures and widths are for
};

}  // namespace mvx
