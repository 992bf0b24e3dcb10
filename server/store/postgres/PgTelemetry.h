#pragma once

#include <QByteArray>
#include <QSet>
#include <QVector>

#include "compute/Telemetry.h"

namespace telvika::server {

class PgConnection;

// Telemetry in a shared fleet store: monthly partitions, bulk writes through binary COPY and the
// read of one device over one period, also through binary COPY (a month at 1 Hz is millions of rows,
// and a text value per field would cost most of a computation's time).
namespace pgtelemetry {

// The month of an instant (UTC seconds since 1970) as year * 12 + month - 1.
int monthOf(double seconds);

// Makes the monthly partitions that rows of these months need, each in a short transaction of its
// own (so a long import never holds the partitioned table locked); must run outside a transaction.
void ensurePartitions(PgConnection& connection, const QSet<int>& months);

// Collects rows and streams them, in one COPY, into a staging table of the session; store() then
// moves them into the telemetry, skipping instants a device has already. Runs inside the caller's
// transaction.
class Writer {
public:
    explicit Writer(PgConnection& connection);
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
    void add(int device, const TelemetryPoint& point);
    // Returns how many rows were new; moves each device's last position to its latest stored point.
    qint64 store();

private:
    void flush(bool last);

    PgConnection& c_;
    QByteArray buffer_;
    QSet<int> devices_;
    qint64 rows_ = 0;
    bool active_ = false;  // the COPY is open
};

// Telemetry of a device with begin <= time <= end (UTC seconds since 1970), in time order.
QVector<TelemetryPoint> read(PgConnection& connection, int device, double beginSeconds, double endSeconds);

}  // namespace pgtelemetry

}  // namespace telvika::server
