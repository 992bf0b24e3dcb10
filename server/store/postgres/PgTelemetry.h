#pragma once

#include <QSet>
#include <QString>
#include <QVector>

#include "compute/Telemetry.h"

namespace telvika::server {

class PgConnection;

// Telemetry in a shared fleet store: blocks of points (PgBlocks) in monthly partitions, written
// through binary COPY and read back the same way. Blocks are never rewritten: points that come
// late, or online a few at a time, make more blocks, and a read merges them.
namespace pgtelemetry {

// A timestamptz literal of an instant (UTC seconds since 1970) to the millisecond; bounds past
// either end of the calendar become infinities.
QString instantLiteral(double seconds);

// The month of an instant (UTC seconds since 1970) as year * 12 + month - 1.
int monthOf(double seconds);

// Makes the monthly partitions that points of these months need, each in a short transaction of its
// own (so a long import never holds the partitioned table locked); must run outside a transaction.
void ensurePartitions(PgConnection& connection, const QSet<int>& months);

// The points of one device to store, in any order.
struct DevicePoints {
    int device = 0;
    QVector<TelemetryPoint> points;
};

// Stores the points inside the caller's transaction and returns how many were new: of an instant
// given twice the first is kept, and an instant the store holds already keeps its stored point.
// Writers of one device on any server wait for each other until their transactions end. Moves
// each device's last position to its latest new point unless it has a later one. `newDevices`:
// the store holds nothing of these devices, so it is not asked.
qint64 write(PgConnection& connection, const QVector<DevicePoints>& batch, bool newDevices = false);

// Telemetry of a device with begin <= time <= end (UTC seconds since 1970), in time order
// (PgTelemetryRead.cpp).
QVector<TelemetryPoint> read(PgConnection& connection, int device, double beginSeconds, double endSeconds);

}  // namespace pgtelemetry

}  // namespace telvika::server
