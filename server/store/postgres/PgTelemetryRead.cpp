#include "store/postgres/PgTelemetry.h"

#include <QScopeGuard>
#include <QtEndian>

#include <libpq-fe.h>

#include <cmath>
#include <cstring>
#include <thread>

#include "common/Error.h"
#include "compute/UtcTime.h"
#include "store/postgres/PgConnection.h"

namespace telvika::server::pgtelemetry {

namespace {

// Reads binary COPY rows from a stream of chunks. libpq hands over one row a chunk: rows are
// parsed where they lie, and only a row cut between chunks waits in the buffer for the rest.
class CopyReader {
public:
    // Takes a chunk; false when the stream is malformed.
    bool feed(const char* data, int size, QVector<TelemetryPoint>& out) {
        if (buffer_.isEmpty()) {
            const qsizetype used = parse(data, size, out);
            if (used < 0) return false;
            buffer_.append(data + used, size - used);
            return true;
        }
        buffer_.append(data, size);
        const qsizetype used = parse(buffer_.constData(), buffer_.size(), out);
        if (used < 0) return false;
        buffer_.remove(0, used);
        return true;
    }
    // Whether the trailer came, with nothing after it.
    bool ended() const { return ended_ && buffer_.isEmpty(); }

private:
    // Parses the whole rows at the start of `data`; the bytes taken, or -1 when malformed.
    qsizetype parse(const char* data, qsizetype size, QVector<TelemetryPoint>& out) {
        qsizetype at = 0;
        if (!headerDone_) {
            if (size < 19) return 0;
            if (std::memcmp(data, CopySignature, 11) != 0) return -1;
            const qint32 extension = qFromBigEndian<qint32>(data + 15);
            if (extension < 0) return -1;
            if (size < 19 + qsizetype(extension)) return 0;
            at = 19 + extension;
            headerDone_ = true;
        }
        while (!ended_) {
            const qsizetype start = at;
            if (size - at < 2) break;
            const qint16 fields = qFromBigEndian<qint16>(data + at);
            at += 2;
            if (fields == -1) {
                ended_ = true;
                break;
            }
            if (fields != 10) return -1;
            TelemetryPoint p;
            bool complete = true;
            for (int f = 0; f < 10; ++f) {
                if (size - at < 4) {
                    complete = false;
                    break;
                }
                const qint32 length = qFromBigEndian<qint32>(data + at);
                at += 4;
                if (length < -1) return -1;
                if (length > 0 && size - at < length) {
                    complete = false;
                    break;
                }
                const char* v = data + at;
                if (length > 0) at += length;
                if (!value(f, length, v, p)) return -1;
            }
            if (!complete) {
                at = start;
                break;
            }
            out.push_back(p);
        }
        return at;
    }

private:
    static double float8(const char* v) {
        const quint64 bits = qFromBigEndian<quint64>(v);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    static bool value(int field, qint32 length, const char* v, TelemetryPoint& p) {
        const bool null = length < 0;
        switch (field) {
            case 0:
                if (length != 8) return false;
                p.time = utcFromEpochSeconds(double(qFromBigEndian<qint64>(v) + PgEpochMicros) / 1e6);
                return true;
            case 1: case 2: case 3: case 4:
                if (length != 8) return false;
                (field == 1 ? p.lat : field == 2 ? p.lon : field == 3 ? p.speedKmh : p.odometerM) = float8(v);
                return true;
            case 5: case 6:
                if (length != 1) return false;
                (field == 5 ? p.gpsValid : p.externalPower) = *v != 0;
                return true;
            case 7: case 8:
                if (!null && length != 8) return false;
                (field == 7 ? p.tank1 : p.tank2) = null ? NAN : float8(v);
                return true;
            case 9:
                if (length != 2) return false;
                p.sensors = static_cast<quint8>(qFromBigEndian<qint16>(v));
                return true;
        }
        return false;
    }

    QByteArray buffer_;
    bool headerDone_ = false;
    bool ended_ = false;
};

QString readFailure() { return QStringLiteral("Не удалось прочитать телеметрию"); }

// The rows of the device from `from` (included) to `to` (included when `toIncluded`), as timestamptz
// literals, in time order through binary COPY.
QByteArray copySql(int device, const QString& from, const QString& to, bool toIncluded) {
    return QStringLiteral("COPY (SELECT time, lat, lon, speed, odometer, gps_valid, ext_power, tank1, tank2, sensors "
                          "FROM telemetry WHERE device = %1 AND time >= '%2' AND time %3 '%4' ORDER BY time) "
                          "TO STDOUT (FORMAT binary)")
        .arg(device)
        .arg(from, toIncluded ? QStringLiteral("<=") : QStringLiteral("<"), to)
        .toUtf8();
}

// What streaming a COPY came to: libpq's last answer (-1: the stream ended, -2: it failed) and
// whether every row was understood.
struct Streamed {
    int last = -1;
    bool understood = true;
};

// Takes the rows of a COPY that has started. Touches nothing but the libpq connection, so it may
// run on a thread of its own.
Streamed stream(PGconn* conn, QVector<TelemetryPoint>& out) {
    CopyReader reader;
    Streamed s;
    char* chunk = nullptr;
    while ((s.last = PQgetCopyData(conn, &chunk, 0)) > 0) {
        if (s.understood && !reader.feed(chunk, s.last, out)) s.understood = false;
        PQfreemem(chunk);
    }
    s.understood = s.understood && reader.ended();
    return s;
}

void startCopy(PgConnection& c, PGconn* conn, const QByteArray& sql) {
    PgResult copy(PQexec(conn, sql.constData()));
    if (!copy.raw() || PQresultStatus(copy.raw()) != PGRES_COPY_OUT) c.fail(readFailure(), copy.raw());
}

// Collects the COPY's completion and that of the statements sent after it in the same message.
void finishCopy(PgConnection& c, PGconn* conn, const Streamed& s) {
    if (s.last == -2) c.fail(readFailure());
    PgResult failed;
    while (PGresult* r = PQgetResult(conn)) {
        PgResult result(r);
        if (failed.raw() == nullptr && PQresultStatus(r) != PGRES_COMMAND_OK) failed = result;
    }
    if (failed.raw()) c.fail(readFailure(), failed.raw());
    if (!s.understood)
        throw Error(QStringLiteral("%1: сервер базы данных прислал строки в непонятном виде").arg(readFailure()));
}

// Rolls back whatever transaction a read left open on the connection.
void rollBackLeftover(PgConnection& c, PGconn* conn) {
    if (!c.lost() && PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) != PQTRANS_IDLE)
        PQclear(PQexec(conn, "ROLLBACK"));
}

// Reads the period on two connections in one snapshot: the helper's session takes the snapshot
// that the first one exports, then each streams one half, the later half on a second thread.
void readInHalves(PgConnection& c, PGconn* conn, PgConnection& h, PGconn* other, int device, double beginSeconds,
                  double endSeconds, QVector<TelemetryPoint>& out) {
    const QString from = instantLiteral(beginSeconds), to = instantLiteral(endSeconds);
    const auto rollBack = qScopeGuard([&] {
        rollBackLeftover(c, conn);
        rollBackLeftover(h, other);
    });
    const QString where = QStringLiteral("FROM telemetry WHERE device = %1 AND time >= '%2' AND time <= '%3'").arg(device).arg(from, to);
    const PgResult first = c.exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY; SET LOCAL enable_sort = off; "
                                                 "SELECT pg_export_snapshot(), extract(epoch FROM (SELECT min(time) %1)), "
                                                 "extract(epoch FROM (SELECT max(time) %1))")
                                      .arg(where)
                                      .toUtf8()
                                      .constData(),
                                  readFailure());
    if (first.isNull(0, 1)) {
        c.exec("COMMIT", readFailure());
        return;
    }
    h.exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY; SET TRANSACTION SNAPSHOT '%1'; "
                          "SET LOCAL enable_sort = off")
               .arg(first.text(0, 0))
               .toUtf8()
               .constData(),
           readFailure());
    const QString middle = instantLiteral((first.toDouble(0, 1) + first.toDouble(0, 2)) / 2.0);
    startCopy(c, conn, copySql(device, from, middle, false) + "; COMMIT");
    startCopy(h, other, copySql(device, middle, to, true) + "; COMMIT");
    QVector<TelemetryPoint> later;
    Streamed early, late;
    {
        const std::jthread worker([&] { late = stream(other, later); });
        early = stream(conn, out);
    }
    finishCopy(c, conn, early);
    finishCopy(h, other, late);
    out.append(later);
}

}  // namespace

QVector<TelemetryPoint> read(PgConnection& c, int device, double beginSeconds, double endSeconds, PgConnection* helper) {
    PGconn* conn = c.handle();
    QVector<TelemetryPoint> out;
    // Inside a caller's transaction the read runs as it is, on the caller's connection alone.
    const bool own = PQtransactionStatus(conn) == PQTRANS_IDLE;
    PGconn* other = nullptr;
    if (own && helper) {
        try {
            other = helper->handle();
        } catch (const Error&) {
            // The helper's session is away for now: one connection reads it all.
        }
    }
    if (other && PQtransactionStatus(other) == PQTRANS_IDLE) {
        readInHalves(c, conn, *helper, other, device, beginSeconds, endSeconds, out);
        return out;
    }
    // The rows are taken in the order of the key's index, in a read-only transaction of the read's
    // own, sent with it in one message. Until a freshly loaded partition has its statistics, the
    // planner takes a period for a few hundred rows and would rather collect them by a bitmap scan
    // and sort them (a day's sort spills to disk); the index gives them in time order whatever the
    // statistics say. Inside a caller's transaction the read runs as it is.
    const QByteArray sql = copySql(device, instantLiteral(beginSeconds), instantLiteral(endSeconds), true);
    const auto rollBack = qScopeGuard([&] {
        if (own) rollBackLeftover(c, conn);
    });
    startCopy(c, conn, own ? "BEGIN READ ONLY; SET LOCAL enable_sort = off; " + sql + "; COMMIT" : sql);
    finishCopy(c, conn, stream(conn, out));
    return out;
}

}  // namespace telvika::server::pgtelemetry
