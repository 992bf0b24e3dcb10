#pragma once

#include <QString>
#include <QStringList>

#include "analysis/TripRecord.h"

namespace telvika::analysis {

enum class TExportFormat { Gpx, Kml, Csv };

// The save dialog's filters, in this order: GPX, KML, CSV.
QStringList exportFilters();
// The format of a chosen filter, else of the file's suffix; GPX when neither tells.
TExportFormat exportFormatOf(const QString& path, const QString& filter = QString());
// The path with the format's suffix added when it has none of its own.
QString withExportSuffix(const QString& path, TExportFormat format);

// Writes the trip through GDAL/OGR's drivers, into a temporary file that replaces `path` only when
// every feature and the file's closing went through:
// - GPX 1.1: a track of every point with its time (UTC) and, as extensions, the speed (m/s, as
//   GPX readers take it) and the distance (m); each entry of the listed kinds as a waypoint at its
//   place, named by its kind, with its begin as time and kind, begin, end and duration as extensions;
// - KML: the track as a line with the trip's time span, and the entries as placemarks;
// - CSV: one row per point: local time with its UTC offset, longitude, latitude, distance (m),
//   speed (km/h).
// False with a Russian message; the old file at `path` is then left as it was.
bool exportTrip(const TTripRecord& trip, const QString& path, TExportFormat format, QString* error);

}  // namespace telvika::analysis
