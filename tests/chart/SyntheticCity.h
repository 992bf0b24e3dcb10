#pragma once

#include <QPointF>
#include <QString>

// A large made-up city written as OpenStreetMap XML and turned into a .chart with GDAL's OSM
// driver, so that test and benchmark maps come through the same path as real OSM extracts:
// a warped street grid of named streets by class, blocks of buildings, residential, commercial
// and industrial land, parks with footpaths, forest and farmland round the edge, a river with its
// water area, a lake with an island, a railway, a tram line, and named places. Options can turn
// it into a dense old town instead (see oldTown()).
class SyntheticCity {
public:
    struct Options {
        int blocksX = 60;
        int blocksY = 50;
        double blockMetres = 170.0;
        int buildingsPerSide = 3;  // buildings per block are about this squared
        unsigned seed = 7;
        QPointF centreLonLat{49.12, 55.79};

        // Old-town layout; the defaults give the ordinary city above.
        double blockSpread = 0;       // each row and column of blocks is blockMetres times 1 +- this
        int coreBlocks = 0;           // blocks from the centre that keep blockMetres (and, with
                                      // perimeterBuildings and three more, are built wall to wall)
        double outerGrowth = 0;       // beyond the core, blocks grow by this share per block outwards
        double crooked = 0.06;        // random shift of every street corner, as a share of blockMetres
        int blocksPerWay = 5;         // blocks a street way runs before the next way begins
        bool shortStreets = false;    // short streets with names of their own, mostly minor streets
        int waysPerName = 1;          // with shortStreets: ways of a street before the next name
        double alleyShare = 0;        // with shortStreets: minor ways that are lanes or pedestrian streets
        bool perimeterBuildings = false;  // buildings wall to wall along the block edges
        double frontageMin = 7, frontageMax = 16;  // street frontage of one building, metres
        double laneShare = 0;         // blocks entered by a service lane through a gap in the houses
        double footpathShare = 0;     // blocks crossed by a footpath through their yard
        int squares = 0;              // paved squares near the centre, up to two
        bool church = false;          // a large church in its yard by the main square
        // What a city centre mapped in detail holds besides (old-town core only).
        double streetNodeMetres = 0;  // street ways carry a node about this often (0: corners only)
        bool sidewalks = false;       // streets have their sidewalks mapped as footways on both sides
        double courtyardShare = 0;    // blocks built as one building round a courtyard
        double bayShare = 0;          // houses whose street front steps out in a bay
        bool yards = false;           // yards hold gardens, playgrounds and parking
    };
    // A dense old town: small irregular blocks (60-90 m) with short crooked named streets,
    // lanes and footpaths, houses wall to wall along every block, squares, a church and the river
    // through the centre, inside a newer town of larger blocks with free-standing buildings. Its
    // core is mapped in the detail of a real city centre: streets with many nodes and sidewalks of
    // their own, houses with bays, courtyard buildings, yards with gardens and parking.
    static Options oldTown();

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
