#pragma once

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QSet>
#include <QVector>

#include <functional>

#include "compute/Telemetry.h"

namespace telvika::server {

class PgConnection;

// Telemetry in a shared fleet store: monthly partitions, bulk writes through binary COPY and the
// read of one device over one period, also through binary COPY (a month at 1 Hz is millions of rows,
// and a text value per field would cost most of a computation's time).
namespace pgtelemetry {

inline constexpr qint64 PgEpochMicros = 946684800LL * 1000000LL;  // 2000-01-01, where PostgreSQL counts from
inline constexpr char CopySignature[] = "PGCOPY\n\377\r\n";  // and its terminating zero: 11 bytes

// A timestamptz literal of an instant (UTC seconds since 1970) to the millisecond; bounds past
// either end of the calendar become infinities.
QString instantLiteral(double seconds);

// The month of an instant (UTC seconds since 1970) as year * 12 + month - 1.
int monthOf(double seconds);

// Makes the monthly partitions that rows of these months need, each in a short transaction of its
// own (so a long import never holds the partitioned table locked); must run outside a transaction.
void ensurePartitions(PgConnection& connection, const QSet<int>& months);

// Streams rows in one binary COPY, inside the caller's transaction: straight into the telemetry
// (Direct), or into a staging table of the session from which store() moves them, skipping the
// instants a device has already (Staged).
class Writer {
public:
    enum class Target { Direct, Staged };
    Writer(PgConnection& connection, Target target);
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
    void add(int device, const TelemetryPoint& point);
    // Returns how many rows were new; moves each device's last position to its latest stored point.
    qint64 store();

private:
    void flush(bool last);

    PgConnection& c_;
    Target target_;
    QByteArray buffer_;
    QSet<int> devices_;
    qint64 rows_ = 0;
    bool active_ = false;  // the COPY is open
    qint64 copied_ = 0;     // rows the COPY took
};

// The first and last instant (UTC seconds) of a batch's rows, per device.
using Spans = QHash<int, QPair<double, double>>;
void extend(Spans& spans, int device, double seconds);

// Writes a batch that `feed` gives to a Writer, inside the caller's transaction; returns how many
// rows were new. A batch whose devices the store holds nothing of in its spans (always so when
// `newDevices`) goes straight in, the fast way; one that may repeat stored instants, or repeats one
// of its own, goes through the staging table.
qint64 write(PgConnection& connection, const Spans& spans, const std::function<void(Writer&)>& feed,
             bool newDevices = false);

// Telemetry of a device with begin <= time <= end (UTC seconds since 1970), in time order
// (PgTelemetryRead.cpp). The period is read in two halves side by side, both in one snapshot, when
// a second connection to the same database is given (`helper`, idle) and no transaction is open.
QVector<TelemetryPoint> read(PgConnection& connection, int device, double beginSeconds, double endSeconds,
                             PgConnection* helper = nullptr);

}  // namespace pgtelemetry

}  // namespace telvika::server
