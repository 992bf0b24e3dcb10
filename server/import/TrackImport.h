#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

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

// GPX 1.0 / 1.1 tracks with timestamps; times are UTC unless they name another zone. Files in plain
// XML are read by PlainGpxScanner, the others by QXmlStreamReader (plainScanner false: always).
ImportResult importGpx(QIODevice& input, bool plainScanner = true);
ImportResult importGpx(const QByteArray& data, bool plainScanner = true);
// CSV: time, lat, lon and optional speed, fuel, sensors (header line names the columns), read line
// by line. Times that name no zone are read in `zone`.
ImportResult importCsv(QIODevice& input, const TrackZone& zone = TrackZone::local());
ImportResult importCsv(const QByteArray& data, const TrackZone& zone = TrackZone::local());
// By extension (.gpx, .csv); streams the file. `csvZone` applies to CSV files.
ImportResult importTrackFile(const QString& path, const TrackZone& csvZone = TrackZone::local());

// What importTrackFileInBatches did. When `streamed` is false the file keeps no time order or gives
// speeds for only some of its points: what the batches got must be thrown away, and the file read
// whole with importTrackFile. Otherwise `outcome` holds the points left out and why (its points stay
// empty) or, when no point was usable or the file cannot be read, the error.
struct BatchedImport {
    bool streamed = true;
    int points = 0;  // handed to the batches
    ImportResult outcome;
};

// Reads a .gpx or .csv file in order and hands its points, checked and completed exactly as
// importTrackFile gives them, to `batch` some thousands at a time, so that memory stays bounded
// however long the file is. `progress` hears the bytes read and the file's size after each batch.
BatchedImport importTrackFileInBatches(const QString& path, const TrackZone& csvZone,
                                       const std::function<void(const QVector<TelemetryPoint>&)>& batch,
                                       const std::function<void(qint64 done, qint64 total)>& progress = {},
                                       int batchSize = 8192);

class PointCollector;
// The readers behind the imports: every point read goes to `points`, with the reasons points were
// left out. The text is the error when the file as a whole cannot be read, else empty.
QString readGpx(QIODevice& input, PointCollector& points, bool plainScanner = true);
QString readCsv(QIODevice& input, const TrackZone& zone, PointCollector& points);

// Fills speed (where unknown) and odometer from the positions and times.
void deriveSpeedAndOdometer(QVector<TelemetryPoint>& points, bool speedKnown);

}  // namespace telvika::server::import
