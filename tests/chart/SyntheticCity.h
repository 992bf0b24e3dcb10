#pragma once

#include <QPointF>
#include <QString>

// A large made-up city written as OpenStreetMap XML and turned into a .chart with GDAL's OSM
// driver, so that test and benchmark maps come through the same path as real OSM extracts:
// a warped street grid of named streets by class, blocks of buildings, residential, commercial
// and industrial land, parks with footpaths, forest and farmland round the edge, a river with its
// water area, a lake with an island, a railway, a tram line, and named places.
class SyntheticCity {
public:
    struct Options {
        int blocksX = 60;
        int blocksY = 50;
        double blockMetres = 170.0;
        int buildingsPerSide = 3;  // buildings per block are about this squared
        unsigned seed = 7;
        QPointF centreLonLat{49.12, 55.79};
    };

    SyntheticCity();
    explicit SyntheticCity(const Options& options);

    bool writeOsm(const QString& path, QString* error = nullptr) const;
    // Converts an OSM file into a GeoPackage .chart (GDALVectorTranslate, driver GPKG).
    static bool convertToChart(const QString& osmPath, const QString& chartPath, QString* error = nullptr);
    // Both steps; the OSM file is written next to the chart.
    bool writeChart(const QString& chartPath, QString* error = nullptr) const;

    QPointF centreLonLat() const { return options_.centreLonLat; }
    static QString cityName();

private:
    Options options_;
};
