#pragma once

#include "LineSignificance.h"
#include "ReducedPolyline.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QVector>

#include <memory>
#include <unordered_map>
#include <vector>

class QPainter;

namespace mvx {

class MapView;
struct MapObject;

// What the control keeps between redraws to draw long lines (a track of days, a million points)
// fast: for each line the significance of its points (LineSignificance, made once), a reduction to
// the pixels of the scale taken from it (ReducedPolyline), and for each run of
// long lines drawn one after the other, their picture in tiles of the world pixel grid of that
// scale, made when a view first needs a tile. A redraw at a scale drawn before, wherever the view
// is, blits the tiles it has and makes only the missing ones. A tile holds the lines in order, each
// as the coverage of its pen (LineCoverage: the passes of a track over one road cost that road's
// pixels once) tinted with its colour, on a transparent picture that is then blended over the map.
class LongLineCache {
public:
    static constexpr int TileSize = 128;                      // device pixels
    static constexpr qsizetype TileBytes = 64 * 1024 * 1024;  // pictures kept per run, at most
    static constexpr int KeptReductions = 4;
    // How far (device pixels) the reduced lines may stray from the exact ones: half the half pixel
    // an edge may move unseen, which keeps the antialiased edges within a quarter of their range.
    static constexpr double Tolerance = 0.25;
    static constexpr int KeptTileSets = 2;

    LongLineCache();
    ~LongLineCache();

    // Draws the lines (in this order) for the view; only what falls in `area` (view pixels) needs
    // to be right. The painter's transform must be a scale (the device pixel ratio) at most.
    void draw(QPainter& p, const MapView& view, const QVector<const MapObject*>& lines, const QRectF& area);
    // Forgets what belongs to lines that are not among `present` (geometry ids).
    void keepOnly(const std::vector<quint64>& present);

    struct Reduction;
    struct TileSet;

private:
    struct LineKey {
        quint64 geometryId;
        QRgb color;
        double width;
        bool operator==(const LineKey& o) const { return geometryId == o.geometryId && color == o.color && width == o.width; }
    };

    // A line's significance, shared by the lines of the same points (a track drawn twice, under
    // and over, is reduced and sorted into tiles once).
    struct Significance {
        std::vector<quint64> geometryIds;
        QVector<QPointF> merc;  // shared with the objects', kept alive for the reductions
        LineSignificance values;
    };
    const Significance& significance(const MapObject& o);
    const ReducedPolyline& reduction(const MapObject& o, double mercPerPixel, double tolerance);
    TileSet& tileSet(const QVector<LineKey>& lines, double mercPerPixel, double dpr, const QPointF& deviceOrigin);
    // Makes the missing tiles of a view, on two threads when there are enough of them.
    static void renderTiles(TileSet& set, const std::vector<std::pair<qint64, qint64>>& missing,
                            const QVector<const ReducedPolyline*>& reduced, const QVector<const MapObject*>& lines);

    std::vector<std::unique_ptr<Significance>> significances_;
    std::vector<std::unique_ptr<Reduction>> reductions_;
    std::vector<std::unique_ptr<TileSet>> tileSets_;
    quint64 uses_ = 0;
    quint64 drawStart_ = 0;  // the first use of the current redraw
};

}  // namespace mvx
