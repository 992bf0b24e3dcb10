#pragma once

#include "ObjectSet.h"
#include "mvx/IMVControl.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace mvx {

class MapView;
class PointPlacement;

// The object sets shown on the map, in the order of their first load. Loading a set builds its
// objects from a table: a record with a bad style, a missing or malformed geometry or non-finite
// coordinates is skipped and counted; each distinct reason is logged once per load.
class ObjectLayer {
public:
    // Returns the number of objects of the new set, or -1 when the command cannot be parsed (the
    // sets are then unchanged).
    int load(const QString& command, const QString& defaultStyle, const IMapTable& table);

    QStringList names() const;
    const QVector<ObjectSet>& sets() const { return sets_; }
    const ObjectSet* find(const QString& name) const;
    ObjectSetInfo info(const QString& name) const;

    // The name of the topmost named object drawn under the pixel, or an empty string. Point
    // objects answer within their drawn size, lines within half their width plus a few pixels,
    // areas inside their ring.
    // Point objects spread from their pixels are found where the placement puts them.
    QString nameAt(const MapView& view, const QPointF& pixel, const PointPlacement* placement = nullptr) const;

    // The last reasons logged by load(), for diagnostics and tests.
    const QStringList& lastWarnings() const { return lastWarnings_; }

    // A geometry text of at least this many points is remembered with what was made of it: the
    // same text loaded again (a track shown by two sets) shares the points, their projection and
    // the reductions made for drawing.
    static constexpr int SharedFromPoints = 256;

private:
    struct LongGeometry {
        QString text;
        QVector<QPointF> lonLat, merc;
        QRectF mercBounds;
        quint64 id = 0;
    };

    QVector<ObjectSet> sets_;
    QStringList lastWarnings_;
    LongGeometry lastLong_;
};

}  // namespace mvx
