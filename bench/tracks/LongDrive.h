#pragma once

// The long drives of the benchmarks, made once per process from the project's copy of the
// Liechtenstein extract: samples, the server's coordinate text of them, a GPX file, the chart.

#include "RoadDrive.h"

#include <QString>
#include <QTemporaryDir>

#include <map>
#include <vector>

namespace longdrive {

// tests/data/osm/liechtenstein.osm.pbf of the source tree.
QString extractPath();
// Folder for the files made here, removed at the end of the process.
QString scratchFolder();

// `seconds` of 1 Hz driving (seed 1); empty when the extract cannot be read.
const std::vector<roaddrive::Sample>& drive(int seconds);
// The drive as the tracking server writes a track: "lon lat,lon lat,..." with "." and up to 15
// significant digits.
QString coordinateText(const std::vector<roaddrive::Sample>& samples);
// The drive as a GPX file in the scratch folder, first point at 2024-05-06 06:00 UTC.
QString gpxFile(int seconds);
// The extract converted to a .chart (ogr2ogr -f GPKG) in the scratch folder; empty on failure.
QString chartFile();

}  // namespace longdrive
