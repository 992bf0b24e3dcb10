#pragma once

#include "chart/Chart.h"
#include "chart/ChartRenderer.h"
#include "chart/StreetFinder.h"
#include "core/Projection.h"

#include <QRectF>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QPainter;

namespace mvx {

// The base maps loaded into the map control: .chart files read once into memory and drawn
// together under every view.
class ChartCollection {
public:
    ChartCollection();
    ~ChartCollection();

    // 0 loaded, 1 already loaded, 2 file missing, 3 not a valid map file (not a GeoPackage,
    // corrupt, unreadable), 4 a GeoPackage with no layer the control can draw, 5 system error.
    int load(const QString& path);
    bool close(const QString& path);  // false when not loaded
    QStringList paths() const;
    bool isEmpty() const;
    QRectF extentMercator() const;  // union of the loaded charts' extents (Web Mercator metres)

    // Draws the land background and every loaded chart for the view (painter sized view.size()).
    void render(QPainter& painter, const MapView& view) const;
    // The same, reporting the placed labels and the features drawn.
    void render(QPainter& painter, const MapView& view, RenderReport& report) const;
    // The same for a view in device pixels (options.pixelRatio), the labels placed or drawn as the
    // options say.
    void render(QPainter& painter, const MapView& view, const RenderOptions& options,
                RenderReport* report = nullptr) const;

    // The same on one thread, for a painter that may scale (printing): the picture is drawn at the
    // painter's resolution, labels included.
    void print(QPainter& painter, const MapView& view) const;

    // The nearest named street of the loaded charts (StreetFinder).
    StreetPlace nearestStreet(double lon, double lat, double maxMetres) const;

    // GDAL's reason for the last failed load (for logs), empty after a success.
    QString lastError() const { return lastError_; }

private:
    struct Entry {
        QString path;  // as given
        QString key;   // canonical path, identifies the file
        std::unique_ptr<Chart> chart;
    };
    static QString keyOf(const QString& path);
    std::vector<const Chart*> charts() const;

    std::vector<Entry> entries_;
    ChartRenderer renderer_;
    QString lastError_;
};

}  // namespace mvx
