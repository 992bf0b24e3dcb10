#pragma once

#include <QPointF>
#include <QRectF>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

class QPainter;

namespace mvx {

class IconLibrary;
class LongLineCache;
class MapView;
class ObjectLayer;
class PointPlacement;
struct MapObject;

// Draws the object sets of a layer for a view, in load order. Lines are cut to the view, thinned
// to a pixel (half the pen width for wide pens) and handed to the painter in short pieces (long antialiased wide polylines are very
// slow in one call); point objects outside the view are skipped before any text or icon work.
// Long lines (a track of days) are drawn through a LongLineCache: reduced to the pixels of the
// scale and kept as tiles between redraws, so that a redraw costs what the screen shows, not the
// line's points; the objects keep their exact geometry for hit tests and the host's queries.
class ObjectRenderer {
public:
    ObjectRenderer();
    ~ObjectRenderer();

    // Painter sized view.size(); antialiasing is switched on here.
    void render(QPainter& painter, const MapView& view, const ObjectLayer& layer, IconLibrary& icons);
    // Only what falls in `area` (pixels) needs to be right: lines and areas are cut to it (plus a
    // margin), so redrawing a strip uncovered by a pan costs in proportion to the strip. The
    // caller clips the painter to the area.
    void render(QPainter& painter, const MapView& view, const ObjectLayer& layer, IconLibrary& icons,
                const QRectF& area);

    // Long lines at a scale not drawn before, while `on`: the nearest kept scale's picture,
    // stretched, and the new one made on a worker thread, which calls `ready` when it can be drawn
    // (on its own thread); a whole view has the worker make the scales `ahead` (Mercator metres
    // per pixel) too. Without `ready`, or off (the default), every picture is made at once.
    void setTilesReady(std::function<void()> ready);
    void setBackgroundTiles(bool on, std::vector<double> ahead = {}) {
        backgroundTiles_ = on;
        ahead_ = std::move(ahead);
    }

    // Where point objects go when they are spread from their own pixels (none: all on them).
    void setPlacement(const PointPlacement* placement) { placement_ = placement; }

    // Points per drawPolyline call.
    static constexpr int ChunkPoints = 64;
    // Lines of at least this many points are long.
    static constexpr int LongLinePoints = 256;

    // How lines are drawn: long ones through the cache (the default); every line cut to the view
    // and thinned to a pixel, as short ones always are; or every point of every line, the picture
    // the cache is held to.
    enum class LineDetail { Cached, Thinned, AllPoints };
    void setLineDetail(LineDetail detail) { lineDetail_ = detail; }

private:
    void drawLine(QPainter& p, const MapView& view, const MapObject& o, const QRectF& clip);
    void drawArea(QPainter& p, const MapView& view, const MapObject& o, const QRectF& clip);
    void drawIcon(QPainter& p, const QPointF& at, const MapObject& o, IconLibrary& icons);
    void drawText(QPainter& p, const QPointF& at, const MapObject& o);
    void drawBox(QPainter& p, const QPointF& at, const MapObject& o);

    QVector<QPointF> screen_;  // scratch buffer reused between objects and frames
    LineDetail lineDetail_ = LineDetail::Cached;
    bool backgroundTiles_ = false;
    std::vector<double> ahead_;
    std::unique_ptr<LongLineCache> longLines_;
    const PointPlacement* placement_ = nullptr;
};

}  // namespace mvx
