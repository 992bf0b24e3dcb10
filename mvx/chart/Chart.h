#pragma once

#include "chart/FeatureKind.h"
#include "chart/SpatialGrid.h"

#include <QPointF>
#include <QRectF>
#include <QHash>
#include <QString>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

namespace mvx {

// One feature of a chart: a run of parts (points of a place, a line's pieces, an area's rings)
// in the chart's shared arrays, with its bounds in Web Mercator metres.
struct ChartFeature {
    QRectF bounds;
    std::uint32_t firstPart = 0;
    std::uint32_t partCount = 0;
    std::int32_t name = -1;  // index into Chart::names(), -1 when unnamed
    FeatureKind kind = FeatureKind::None;
    FeatureShape shape = FeatureShape::Point;
};

// A house number of the map, at its address point or the centre of its building.
struct ChartAddress {
    QPointF at;                // Web Mercator metres
    std::int32_t street = -1;  // index into Chart::names(), -1 when the address names no street
    QString number;
};

// A run of points in Chart::points().
struct ChartPart {
    std::uint32_t firstPoint = 0;
    std::uint32_t pointCount = 0;
};

// How much one chart may hold. Features, parts and points are numbered in 32 bits; a file with
// more is refused as a whole rather than read in part or wrapped round.
struct ChartLimits {
    std::uint64_t maxFeatures = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t maxParts = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t maxPoints = std::numeric_limits<std::uint32_t>::max();
};

// Thrown while reading when a chart goes beyond its limits; what() says which and by how much.
class ChartTooLarge : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The drawable content of one loaded .chart file, in Web Mercator metres, with a spatial index.
// Built by ChartReader, read-only afterwards.
class Chart {
public:
    explicit Chart(const ChartLimits& limits = ChartLimits()) : limits_(limits) {}

    // Adding features (while reading); beyond the limits these throw ChartTooLarge.
    void beginFeature(FeatureKind kind, FeatureShape shape, const QString& name);
    // A ring's role in its polygon: outer rings are kept running counter-clockwise (north up) and
    // the holes in them clockwise, so that drawing the rings of a kind as one union (windings added)
    // keeps the holes open. Lines and points keep their order.
    enum class Ring : std::uint8_t { None, Outer, Hole };
    void addPart(const std::vector<QPointF>& mercatorPoints, Ring ring = Ring::None);
    // Ends the current feature; a feature without any point is dropped.
    void endFeature();
    // A house number (addr:housenumber) with the street it belongs to (addr:street, may be empty).
    void addAddress(const QPointF& mercator, const QString& street, const QString& number);
    // Sorts features into drawing order and builds the index; call once after the last feature.
    void finish();

    const std::vector<ChartFeature>& features() const { return features_; }
    const std::vector<ChartPart>& parts() const { return parts_; }
    const std::vector<QPointF>& points() const { return points_; }
    const std::vector<QString>& names() const { return names_; }
    const std::vector<ChartAddress>& addresses() const { return addresses_; }
    QRectF extent() const { return extent_; }
    size_t countOf(FeatureKind kind) const;
    // Bytes held by the features, their parts and points; by the spatial index.
    size_t contentBytes() const;
    size_t indexBytes() const { return grid_.memoryBytes() + addressGrid_.memoryBytes(); }
    const SpatialGrid& index() const { return grid_; }

    // Calls f(featureIndex) once for every feature whose bounds meet rect (Mercator metres).
    template <typename F>
    void forEachIn(const QRectF& rect, F&& f) const {
        grid_.query(rect, [&](std::uint32_t i) {
            // Inclusive comparison, so that points and straight lines (empty bounds) are found.
            const QRectF& b = features_[i].bounds;
            if (b.right() >= rect.left() && b.left() <= rect.right() && b.bottom() >= rect.top() &&
                b.top() <= rect.bottom())
                f(i);
        });
    }

    // Calls f(addressIndex) for every address inside rect (Mercator metres, edges included).
    template <typename F>
    void forEachAddressIn(const QRectF& rect, F&& f) const {
        addressGrid_.query(rect, [&](std::uint32_t i) {
            const QPointF& p = addresses_[i].at;
            if (p.x() >= rect.left() && p.x() <= rect.right() && p.y() >= rect.top() && p.y() <= rect.bottom()) f(i);
        });
    }

private:
    std::int32_t internName(const QString& name);

    ChartLimits limits_;
    std::vector<ChartFeature> features_;
    std::vector<ChartPart> parts_;
    std::vector<QPointF> points_;
    std::vector<QString> names_;
    QRectF extent_;
    SpatialGrid grid_;
    std::vector<ChartAddress> addresses_;
    SpatialGrid addressGrid_;
    QHash<QString, std::int32_t> nameIndex_;
    bool open_ = false;
};

}  // namespace mvx
