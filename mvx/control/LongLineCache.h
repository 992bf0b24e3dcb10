#pragma once

#include "LineSignificance.h"
#include "ReducedPolyline.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QVector>

#include <atomic>
#include <functional>
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
//
// While the user zooms with the wheel the worker thread works ahead: a whole view has the scales
// of the next wheel steps made too, so that the step finds them; a view at a scale not made yet
// shows the nearest kept scale's tiles stretched while the worker makes its own (the window
// answers at once, and the sharp picture follows when the worker is done).
class LongLineCache {
public:
    static constexpr int TileSize = 128;                      // device pixels
    static constexpr qsizetype TileBytes = 64 * 1024 * 1024;  // pictures kept per run, at most
    static constexpr int KeptReductions = 4;
    // How far (device pixels) the reduced lines may stray from the exact ones: half the half pixel
    // an edge may move unseen, which keeps the antialiased edges within a quarter of their range.
    static constexpr double Tolerance = 0.25;
    static constexpr int KeptTileSets = 4;  // the view's, the one before, the next wheel steps'

    // Tiles made on the worker thread: a new scale's, and those of `ahead` (scales in Mercator
    // metres per pixel, made on the whole device pixels of their world grid, for a view that
    // lands its corner there).
    struct Behind {
        std::vector<double> ahead;
    };

    LongLineCache();
    ~LongLineCache();

    // Draws the lines (in this order) for the view; only what falls in `area` (view pixels) needs
    // to be right. The painter's transform must be a scale (the device pixel ratio) at most. With
    // `behind`, a view at a new scale whose lines have tiles at another scale gets those,
    // stretched, and its own are made on the worker; a whole view has the worker make the scales
    // ahead. `ready` (setReady) says when the worker has made something.
    void draw(QPainter& p, const MapView& view, const QVector<const MapObject*>& lines, const QRectF& area,
              const Behind* behind = nullptr);
    // Called on the worker's thread when tiles made there can be drawn (the next draw takes them).
    // Without it no tiles are made in the background.
    void setReady(std::function<void()> ready);
    // Forgets what belongs to lines that are not among `present` (geometry ids).
    void keepOnly(const std::vector<quint64>& present);

    struct Reduction;
    struct TileSet;
    struct Job;
    class Worker;
    // A line's pen, all that tile making needs of its object.
    struct Pen {
        double width;
        QColor color;
    };

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
    const std::shared_ptr<Significance>& significance(const MapObject& o);
    const ReducedPolyline& reduction(const MapObject& o, double mercPerPixel, double tolerance);
    void keepReduction(std::unique_ptr<Reduction> r);
    TileSet* findTileSet(const QVector<LineKey>& lines, double mercPerPixel, double dpr, const QPointF& deviceOrigin);
    TileSet& keepTileSet(std::unique_ptr<TileSet> set);
    // The kept tiles of these lines at the scale nearest to mercPerPixel, if any.
    const TileSet* nearestTileSet(const QVector<LineKey>& lines, double mercPerPixel, double dpr) const;
    struct Requested {
        QVector<LineKey> lines;
        double mercPerPixel, dpr;
        QPointF anchor;
        bool operator==(const Requested& o) const {
            return lines == o.lines && mercPerPixel == o.mercPerPixel && dpr == o.dpr && anchor == o.anchor;
        }
    };
    // Whether `among` holds the tiles of those lines at that scale on the grid of that corner.
    static bool holds(const std::vector<Requested>& among, const QVector<LineKey>& keys, double mercPerPixel,
                      double dpr, const QPointF& deviceOrigin);
    // A job for these lines, without targets yet.
    std::unique_ptr<Job> newJob(const QVector<const MapObject*>& lines, const QVector<LineKey>& keys, double dpr);
    // Asks the worker for the job's targets (replacing what it was asked before).
    void requestTiles(std::unique_ptr<Job> job);
    // Has the worker make the scales ahead of a whole view, reaching as far as a wheel step about
    // any of its points shows.
    void requestAhead(const QVector<const MapObject*>& lines, const QVector<LineKey>& keys, const MapView& view,
                      const QPointF& origin, double dpr, const std::vector<double>& ahead);
    // Takes what the worker has made into the kept reductions and tiles.
    void adoptFinished();
    // Makes the missing tiles of a view, on two threads when there are enough of them; stops
    // between tiles when `cancel` is set (the set is then incomplete).
    static void renderTiles(TileSet& set, const std::vector<std::pair<qint64, qint64>>& missing,
                            const QVector<const ReducedPolyline*>& reduced, const std::vector<Pen>& pens,
                            const std::atomic<bool>* cancel = nullptr);

    std::vector<std::shared_ptr<Significance>> significances_;
    std::vector<std::unique_ptr<Reduction>> reductions_;
    std::vector<std::unique_ptr<TileSet>> tileSets_;
    quint64 uses_ = 0;
    quint64 drawStart_ = 0;  // the first use of the current redraw
    std::unique_ptr<Worker> worker_;
    std::vector<Requested> requested_;  // what the worker was last asked for and has not given yet
    std::vector<Requested> failed_;     // what it could not make: made on the drawing thread
};

}  // namespace mvx
