#pragma once

#include "chart/Chart.h"
#include "chart/ChartLoadCode.h"

#include <QString>

#include <memory>

class OGRGeometry;
class OGRCoordinateTransformation;

namespace mvx {

// Reads a .chart file (a GeoPackage) through GDAL/OGR into a Chart, once: every feature of every
// drawable layer is classified, projected to Web Mercator and kept in memory.
class ChartReader {
public:
    struct Result {
        int code = ChartSystemError;
        std::unique_ptr<Chart> chart;  // set when code is ChartLoaded
        QString error;                 // GDAL's reason for a failure, for logs
    };

    // gdalPath may be any path GDAL opens (a file, /vsimem/...). driverName names the only GDAL
    // driver tried; a missing driver is a system error, and so is a chart beyond the limits.
    static Result read(const QString& gdalPath, const char* driverName = "GPKG",
                       const ChartLimits& limits = ChartLimits());

private:
    static int readInto(const QString& gdalPath, const char* driverName, Chart& chart, QString& error);
};

}  // namespace mvx
