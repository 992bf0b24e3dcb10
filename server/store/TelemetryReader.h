#pragma once

#include <QSqlDatabase>
#include <QVector>

#include "compute/Telemetry.h"

struct sqlite3;

namespace telvika::server {

// The SQLite handle behind a Qt SQL connection; null when the connection is not an open SQLite one.
sqlite3* sqliteHandleOf(const QSqlDatabase& db);

// Reads a device's telemetry over a period (UTC seconds since 1970, as stored), in time order, straight through the SQLite handle
// behind the store's Qt SQL connection: a month of 1 Hz data is millions of rows, and a QVariant
// per value would cost most of a computation's time. Throws telvika::Error on failure.
QVector<TelemetryPoint> readTelemetry(const QSqlDatabase& db, int device, double beginSeconds, double endSeconds);

}  // namespace telvika::server
