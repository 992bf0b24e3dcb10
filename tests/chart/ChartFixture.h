#pragma once

#include <QList>
#include <QMap>
#include <QPointF>
#include <QString>

// Writes small GeoPackages by hand through OGR, with the layers and tag columns of GDAL's OSM
// driver: points, lines and multipolygons, tags in their own column when the layer has one and in
// other_tags otherwise. Coordinates are longitude/latitude (WGS 84).
class ChartFixture {
public:
    using Tags = QMap<QString, QString>;
    using Ring = QList<QPointF>;

    void addPoint(const QPointF& lonLat, const Tags& tags);
    void addLine(const QList<QPointF>& lonLat, const Tags& tags);
    void addArea(const QList<Ring>& rings, const Tags& tags);  // first ring outer, the rest holes

    // The type a tag column is written with (text unless told); a number column holds the tag's
    // text read as a number, as in charts converted from shapefiles. A column named here that a
    // layer does not have by default is added to every layer.
    enum class ColumnType { Text, Integer, Real };
    void setColumnType(const QString& column, ColumnType type) { columnTypes_[column] = type; }

    // Creates the file; false with a message on failure.
    bool write(const QString& path, QString* error = nullptr) const;

    // A GeoPackage whose only layer has a geometry but none of the tag columns.
    static bool writeUntagged(const QString& path);
    // A GeoPackage holding only an attribute table.
    static bool writeAttributesOnly(const QString& path);

private:
    struct Item {
        int layer;  // 0 points, 1 lines, 2 multipolygons
        QList<Ring> geometry;
        Tags tags;
    };
    QList<Item> items_;
    QMap<QString, ColumnType> columnTypes_;
};
