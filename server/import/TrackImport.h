#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QVector>

#include "compute/Telemetry.h"
#include "import/ImportTime.h"

namespace telvika::server::import {

struct ImportResult {
    QVector<TelemetryPoint> points;  // usable points in time order, times as instants (UTC)
    int skipped = 0;                 // points left out, with the reasons in problems
    QStringList problems;            // one line per kind of problem, Russian
    QString error;                   // set when the file as a whole cannot be read
    bool ok() const { return error.isEmpty() && !points.isEmpty(); }
};

// Longest CSV line read; a longer one is passed over (without being held in memory) and counted.
inline constexpr qint64 MaxCsvLineBytes = 64 * 1024;

// GPX 1.0 / 1.1 tracks with timestamps; times are UTC unless they name another zone.
ImportResult importGpx(QIODevice& input);
ImportResult importGpx(const QByteArray& data);
// CSV: time, lat, lon and optional speed, fuel, sensors (header line names the columns), read line
// by line. Times that name no zone are read in `zone`.
ImportResult importCsv(QIODevice& input, const TrackZone& zone = TrackZone::local());
ImportResult importCsv(const QByteArray& data, const TrackZone& zone = TrackZone::local());
// By extension (.gpx, .csv); streams the file. `csvZone` applies to CSV files.
ImportResult importTrackFile(const QString& path, const TrackZone& csvZone = TrackZone::local());

// Fills speed (where unknown) and odometer from the positions and times.
void deriveSpeedAndOdometer(QVector<TelemetryPoint>& points, bool speedKnown);

}  // namespace telvika::server::import
