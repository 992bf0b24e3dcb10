#pragma once

namespace mvx {

// Results of loading a map file.
enum ChartLoadCode : int {
    ChartLoaded = 0,
    ChartAlreadyLoaded = 1,
    ChartFileMissing = 2,
    ChartInvalidFile = 3,    // not a GeoPackage, corrupt, truncated or unreadable
    ChartNoDrawableLayer = 4,
    ChartSystemError = 5
};

}  // namespace mvx
