#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include "compute/Telemetry.h"

namespace telvika::server::import {

struct ImportResult {
    QVector<TelemetryPoint> points;  // usable points in time order
    int skipped = 0;                 // points left out, with the reasons in problems
    QStringList problems;            // one line per kind of problem, Russian
    QString error;                   // set when the file as a whole cannot be read
    bool ok() const { return error.isEmpty() && !points.isEmpty(); }
};

// GPX 1.0 / 1.1 tracks with timestamps.
ImportResult importGpx(const QByteArray& data);
// CSV: time, lat, lon and optional speed, fuel, sensors (header line names the columns).
ImportResult importCsv(const QByteArray& data);
// By extension (.gpx, .csv); reads the file.
ImportResult importTrackFile(const QString& path);

// Fills speed (where unknown) and odometer from the positions and times.
void deriveSpeedAndOdometer(QVector<TelemetryPoint>& points, bool speedKnown);

}  // namespace telvika::server::import
