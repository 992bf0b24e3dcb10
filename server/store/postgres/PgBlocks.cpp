#include "store/postgres/PgBlocks.h"

#include <QtEndian>

#include <cmath>
#include <cstring>

#include "compute/UtcTime.h"

namespace telvika::server::pgblocks {

namespace {

template <typename T>
void put(char*& at, T value) {
    qToBigEndian(value, at);
    at += sizeof value;
}

void putDouble(char*& at, double value) {
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    put<quint64>(at, bits);
}

double float8(const char* at) {
    const quint64 bits = qFromBigEndian<quint64>(at);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// The checks every block passes before a point of it is read.
QString malformed(qsizetype size, qint64 count) {
    if (count < 0 || size % RecordBytes != 0 || size / RecordBytes != count)
        return QStringLiteral("блок телеметрии повреждён (%1 байт вместо %2 точек по %3 байт)")
            .arg(size)
            .arg(count)
            .arg(RecordBytes);
    return {};
}

QString notRising() { return QStringLiteral("блок телеметрии повреждён (моменты точек идут не по порядку)"); }

}  // namespace

qint64 microsOf(const TelemetryPoint& p) { return std::llround(storedSeconds(p.time) * 1e6) - PgEpochMicros; }

qint64 boundMicros(double seconds) {
    if (!(seconds >= 0.0)) return NoLowerBound;
    if (seconds > 253402300799.0) return NoUpperBound;
    return std::llround(seconds * 1000.0) * 1000 - PgEpochMicros;
}

void appendRecord(QByteArray& out, qint64 micros, const TelemetryPoint& p) {
    const qsizetype start = out.size();
    out.resize(start + RecordBytes);
    char* at = out.data() + start;
    put<qint64>(at, micros);
    putDouble(at, p.lat);
    putDouble(at, p.lon);
    putDouble(at, p.speedKmh);
    putDouble(at, p.odometerM);
    *at++ = static_cast<char>((p.gpsValid ? 1 : 0) | (p.externalPower ? 2 : 0));
    putDouble(at, p.tank1);
    putDouble(at, p.tank2);
    put<qint16>(at, static_cast<qint16>(p.sensors));
}

QString decode(const char* data, qsizetype size, qint64 count, qint64 from, qint64 to, QVector<TelemetryPoint>& out) {
    if (QString why = malformed(size, count); !why.isEmpty()) return why;
    const qsizetype before = out.size();
    qint64 previous = NoLowerBound;
    for (const char* at = data; at < data + size; at += RecordBytes) {
        const qint64 micros = qFromBigEndian<qint64>(at);
        if (micros <= previous && at != data) {
            out.resize(before);
            return notRising();
        }
        previous = micros;
        if (micros < from || micros > to) continue;
        TelemetryPoint& p = out.emplace_back();
        p.time = utcFromEpochSeconds(double(micros + PgEpochMicros) / 1e6);
        p.lat = float8(at + 8);
        p.lon = float8(at + 16);
        p.speedKmh = float8(at + 24);
        p.odometerM = float8(at + 32);
        const char flags = at[40];
        p.gpsValid = (flags & 1) != 0;
        p.externalPower = (flags & 2) != 0;
        p.tank1 = float8(at + 41);
        p.tank2 = float8(at + 49);
        p.sensors = static_cast<quint8>(qFromBigEndian<qint16>(at + 57));
    }
    return {};
}

QString decodeInstants(const char* data, qsizetype size, qint64 count, QVector<qint64>& out) {
    if (QString why = malformed(size, count); !why.isEmpty()) return why;
    const qsizetype before = out.size();
    for (const char* at = data; at < data + size; at += RecordBytes) {
        const qint64 micros = qFromBigEndian<qint64>(at);
        if (out.size() > before && micros <= out.back()) {
            out.resize(before);
            return notRising();
        }
        out.push_back(micros);
    }
    return {};
}

}  // namespace telvika::server::pgblocks
