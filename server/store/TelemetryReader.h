#pragma once

#include <QSqlDatabase>
#include <QVector>

#include "compute/Telemetry.h"

namespace telvika::server {

// Reads a device's telemetry over a period, in time order, straight through the SQLite handle
// behind the store's Qt SQL connection: a month of 1 Hz data is millions of rows, and a QVariant
// per value would cost most of a computation's time. Throws telvika::Error on failure.
QVector<TelemetryPoint> readTelemetry(const QSqlDatabase& db, int device, double begin, double end);

}  // namespace telvika::server
