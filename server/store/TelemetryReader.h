#pragma once

#include <QSqlDatabase>
#include <QVector>

#include "compute/Telemetry.h"

namespace telvika::server {

// Reads a device's telemetry over a period straight through the SQLite handle behind a Qt SQL
// connection: a month of 1 Hz data is millions of rows, and a QVariant per value would cost most
// of a computation's time. Returns false (and leaves `out` empty) when the connection is not a
// SQLite one, so the caller can fall back to Qt SQL; throws telvika::Error on an SQLite error.
bool readTelemetryDirect(const QSqlDatabase& db, int device, double begin, double end,
                         QVector<TelemetryPoint>& out);

}  // namespace telvika::server
