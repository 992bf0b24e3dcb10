#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <limits>

#include "compute/Telemetry.h"

namespace telvika::server::pgblocks {

// Telemetry is kept in blocks: the points of one device within one UTC hour, sorted by instant,
// each instant once, packed one after another as fixed records of big-endian fields that SQL can
// build too (int8send, float8send, int2send):
//   int8    instant, microseconds since 2000-01-01 UTC (PostgreSQL's own count)
//   float8  lat, lon, speed (km/h), odometer (m)
//   int1    flags: bit 0 the fix is valid, bit 1 external power
//   float8  tank1, tank2 (NaN: no reading)
//   int2    sensors
inline constexpr int RecordBytes = 8 + 4 * 8 + 1 + 2 * 8 + 2;
inline constexpr qint64 PgEpochMicros = 946684800LL * 1000000LL;  // 2000-01-01 since 1970
inline constexpr qint64 HourMicros = 3600LL * 1000000LL;
inline constexpr qint64 NoLowerBound = std::numeric_limits<qint64>::min();
inline constexpr qint64 NoUpperBound = std::numeric_limits<qint64>::max();

// The instant of a point as stored: microseconds since 2000-01-01 UTC, to the millisecond.
qint64 microsOf(const TelemetryPoint& point);
// The bound of a period given in UTC seconds since 1970, as stored instants; bounds past either
// end of the calendar become NoLowerBound or NoUpperBound.
qint64 boundMicros(double seconds);
// The UTC hour of a stored instant, counted from 2000-01-01.
inline qint64 hourOf(qint64 micros) { return micros >= 0 ? micros / HourMicros : -((-micros - 1) / HourMicros) - 1; }

void appendRecord(QByteArray& out, qint64 micros, const TelemetryPoint& point);

// Decodes a block that claims `count` points and appends those with from <= instant <= to. A
// block that is not `count` whole records, or whose instants do not rise, is refused: returns
// the reason in Russian, empty when the block was read, and appends nothing of a refused block.
QString decode(const char* data, qsizetype size, qint64 count, qint64 from, qint64 to, QVector<TelemetryPoint>& out);
// The instants of a block alone, with the same checks.
QString decodeInstants(const char* data, qsizetype size, qint64 count, QVector<qint64>& out);

}  // namespace telvika::server::pgblocks
