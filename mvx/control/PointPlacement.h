#pragma once

#include <QHash>
#include <QPointF>
#include <QRectF>

#include <vector>

class QPaintDevice;

namespace mvx {

class MapView;
class ObjectLayer;
struct MapObject;

// Where the point objects of the object sets (icons, texts, caption boxes) are drawn for a view,
// and the rectangles they cover there. Icons of different pictures at one place would hide one
// another: they are spread round the place, side by side for two, on a ring for more, each picture
// keeping one spot (icons of the same picture stay on top of one another). The rectangles are what
// the base map keeps its labels out of.
class PointPlacement {
public:
    // Icon centres closer than this many pixels are at one place.
    static constexpr double SamePlacePx = 3.0;

    // device: what texts are measured for (the picture they are drawn on).
    void place(const MapView& view, const ObjectLayer& layer, const QPaintDevice* device);
    void clear();

    // The shift of an object from its own pixel (none for objects not spread).
    QPointF offset(const MapObject& object) const { return offsets_.value(&object); }
    // The rectangles the point objects in or near the view cover, in pixels.
    const std::vector<QRectF>& covered() const { return covered_; }

    // The rectangles a text and a caption box are drawn in, centred on or shifted from `at`.
    static QRectF textRect(const QPointF& at, const MapObject& object, const QPaintDevice* device);
    static QRectF captionRect(const QPointF& at, const MapObject& object, const QPaintDevice* device);
    static QRectF iconRect(const QPointF& at, const MapObject& object);

private:
    QHash<const MapObject*, QPointF> offsets_;
    std::vector<QRectF> covered_;
};

}  // namespace mvx
