#include "store/postgres/PgTelemetry.h"

#include <QDateTime>
#include <QScopeGuard>
#include <QStringList>
#include <QTimeZone>
#include <QtEndian>

#include <libpq-fe.h>

#include <cmath>
#include <cstring>

#include "common/Error.h"
#include "compute/UtcTime.h"
#include "store/postgres/PgConnection.h"

namespace telvika::server::pgtelemetry {

namespace {

constexpr qint64 PgEpochMicros = 946684800LL * 1000000LL;  // 2000-01-01, where PostgreSQL counts from
constexpr int FlushBytes = 1 << 20;
const char CopySignature[] = "PGCOPY\n\377\r\n";  // and its terminating zero: 11 bytes

QDate monthStart(int month) { return QDate(month / 12, month % 12 + 1, 1); }

QString partitionName(int month) {
    return QStringLiteral("telemetry_%1_%2").arg(month / 12).arg(month % 12 + 1, 2, 10, QLatin1Char('0'));
}

QString utcLiteral(const QDate& day) { return day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00+00"); }

// A timestamptz literal of an instant to the millisecond; bounds past either end of the calendar
// become infinities.
QString instantLiteral(double seconds) {
    if (!(seconds >= 0.0)) return QStringLiteral("-infinity");
    if (seconds > 253402300799.0) return QStringLiteral("infinity");
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(std::llround(seconds * 1000.0), QTimeZone::utc());
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QStringLiteral("+00");
}

template <typename T>
void put(QByteArray& out, T value) {
    const T big = qToBigEndian(value);
    out.append(reinterpret_cast<const char*>(&big), sizeof big);
}

void putDouble(QByteArray& out, double value) {
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    put<qint32>(out, 8);
    put<quint64>(out, bits);
}

void putNullable(QByteArray& out, double value) {
    if (std::isnan(value)) put<qint32>(out, -1);
    else putDouble(out, value);
}

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

}  // namespace

int monthOf(double seconds) {
    const QDate d = QDateTime::fromMSecsSinceEpoch(std::llround(seconds * 1000.0), QTimeZone::utc()).date();
    return d.year() * 12 + d.month() - 1;
}

void ensurePartitions(PgConnection& c, const QSet<int>& months) {
    if (months.isEmpty()) return;
    const QString what = QStringLiteral("Не удалось подготовить место для телеметрии");
    const QList<int> list = months.values();
    QStringList names;
    for (int m : list) names << partitionName(m);
    const PgResult missing = c.exec("SELECT name FROM unnest($1::text[]) AS n(name) WHERE to_regclass(name) IS NULL",
                                    {(QLatin1Char('{') + names.join(QLatin1Char(',')) + QLatin1Char('}')).toUtf8()}, what);
    for (int i = 0; i < missing.rows(); ++i) {
        const QString name = missing.text(i, 0);
        const int month = list.at(names.indexOf(name));
        PgConnection::Transaction tx(c);
        c.exec("SELECT pg_advisory_xact_lock(7274130602)", what);
        const QByteArray sql = QStringLiteral("CREATE TABLE IF NOT EXISTS %1 PARTITION OF telemetry FOR VALUES FROM ('%2') TO ('%3')")
                                   .arg(name, utcLiteral(monthStart(month)), utcLiteral(monthStart(month + 1)))
                                   .toUtf8();
        c.exec(sql.constData(), what);
        tx.commit();
    }
}

Writer::Writer(PgConnection& c, Target target) : c_(c), target_(target) {
    const QString what = QStringLiteral("Не удалось записать телеметрию");
    if (target_ == Target::Staged) {
        c_.exec("CREATE TEMP TABLE IF NOT EXISTS telemetry_incoming (LIKE telemetry)", what);
        c_.exec("TRUNCATE telemetry_incoming", what);
    }
    PgResult copy(PQexec(c_.handle(), target_ == Target::Staged
                                          ? "COPY telemetry_incoming FROM STDIN (FORMAT binary)"
                                          : "COPY telemetry FROM STDIN (FORMAT binary)"));
    if (!copy.raw() || PQresultStatus(copy.raw()) != PGRES_COPY_IN) c_.fail(what, copy.raw());
    active_ = true;
    buffer_.reserve(FlushBytes + 4096);
    buffer_.append(CopySignature, 11);
    put<qint32>(buffer_, 0);
    put<qint32>(buffer_, 0);
}

Writer::~Writer() {
    if (!active_) return;
    // Left by an exception: end the COPY with a failure, so the transaction rolls back cleanly.
    PGconn* conn = c_.lost() ? nullptr : c_.handle();
    if (!conn) return;
    PQputCopyEnd(conn, "abandoned");
    while (PGresult* r = PQgetResult(conn)) PQclear(r);
}

void Writer::add(int device, const TelemetryPoint& p) {
    put<qint16>(buffer_, 11);
    put<qint32>(buffer_, 4);
    put<qint32>(buffer_, device);
    put<qint32>(buffer_, 8);
    put<qint64>(buffer_, std::llround(storedSeconds(p.time) * 1e6) - PgEpochMicros);
    putDouble(buffer_, p.lat);
    putDouble(buffer_, p.lon);
    putDouble(buffer_, p.speedKmh);
    putDouble(buffer_, p.odometerM);
    put<qint32>(buffer_, 1);
    buffer_.append(p.gpsValid ? '\1' : '\0');
    put<qint32>(buffer_, 1);
    buffer_.append(p.externalPower ? '\1' : '\0');
    putNullable(buffer_, p.tank1);
    putNullable(buffer_, p.tank2);
    put<qint32>(buffer_, 2);
    put<qint16>(buffer_, static_cast<qint16>(p.sensors));
    devices_.insert(device);
    ++rows_;
    if (buffer_.size() >= FlushBytes) flush(false);
}

void Writer::flush(bool last) {
    const QString what = QStringLiteral("Не удалось записать телеметрию");
    if (last) put<qint16>(buffer_, -1);
    if (!buffer_.isEmpty() && PQputCopyData(c_.handle(), buffer_.constData(), static_cast<int>(buffer_.size())) != 1)
        c_.fail(what);
    buffer_.clear();
    if (!last) return;
    active_ = false;
    if (PQputCopyEnd(c_.handle(), nullptr) != 1) c_.fail(what);
    PgResult end(PQgetResult(c_.handle()));
    while (PGresult* r = PQgetResult(c_.handle())) PQclear(r);
    if (!end.raw() || PQresultStatus(end.raw()) != PGRES_COMMAND_OK) c_.fail(what, end.raw());
    copied_ = end.affected();
}

qint64 Writer::store() {
    const QString what = QStringLiteral("Не удалось записать телеметрию");
    flush(true);
    qint64 stored = copied_;
    if (target_ == Target::Staged) {
        stored = c_.exec("INSERT INTO telemetry SELECT * FROM telemetry_incoming ON CONFLICT DO NOTHING", what).affected();
        c_.exec("TRUNCATE telemetry_incoming", what);
    }
    QStringList devices;
    for (int d : devices_) devices << QString::number(d);
    c_.exec("UPDATE vehicles v SET lat = l.lat, lon = l.lon, last_time = l.time FROM unnest($1::integer[]) AS d(device) "
            "CROSS JOIN LATERAL (SELECT t.time, t.lat, t.lon FROM telemetry t WHERE t.device = d.device "
            "ORDER BY t.time DESC LIMIT 1) l WHERE v.device = d.device AND (v.last_time IS NULL OR v.last_time <= l.time)",
            {(QLatin1Char('{') + devices.join(QLatin1Char(',')) + QLatin1Char('}')).toUtf8()},
            QStringLiteral("Не удалось обновить положение транспортного средства"));
    return stored;
}

void extend(Spans& spans, int device, double seconds) {
    auto it = spans.find(device);
    if (it == spans.end()) spans.insert(device, {seconds, seconds});
    else *it = {qMin(it->first, seconds), qMax(it->second, seconds)};
}

namespace {

// Whether the store holds any row of these devices within their spans.
bool holdsAny(PgConnection& c, const Spans& spans) {
    QStringList devices, first, last;
    for (auto it = spans.constBegin(); it != spans.constEnd(); ++it) {
        devices << QString::number(it.key());
        first << QLatin1Char('"') + instantLiteral(it->first) + QLatin1Char('"');
        last << QLatin1Char('"') + instantLiteral(it->second) + QLatin1Char('"');
    }
    const auto array = [](const QStringList& items) { return (QLatin1Char('{') + items.join(QLatin1Char(',')) + QLatin1Char('}')).toUtf8(); };
    return c.exec("SELECT EXISTS (SELECT 1 FROM unnest($1::integer[], $2::timestamptz[], $3::timestamptz[]) AS s(device, first, last) "
                  "WHERE EXISTS (SELECT 1 FROM telemetry t WHERE t.device = s.device AND t.time >= s.first AND t.time <= s.last))",
                  {array(devices), array(first), array(last)}, QStringLiteral("Не удалось прочитать телеметрию"))
               .text(0, 0) == QLatin1String("t");
}

}  // namespace

qint64 write(PgConnection& c, const Spans& spans, const std::function<void(Writer&)>& feed, bool newDevices) {
    const QString what = QStringLiteral("Не удалось записать телеметрию");
    if (newDevices || !holdsAny(c, spans)) {
        c.exec("SAVEPOINT telemetry_direct", what);
        try {
            Writer writer(c, Writer::Target::Direct);
            feed(writer);
            const qint64 stored = writer.store();
            c.exec("RELEASE SAVEPOINT telemetry_direct", what);
            return stored;
        } catch (const Error&) {
            // An instant given twice in the batch, or stored meanwhile by another server: the slow
            // way skips them. Anything else is a failure of the write.
            if (c.lost() || c.lastSqlState() != "23505") throw;
        }
        c.exec("ROLLBACK TO SAVEPOINT telemetry_direct", what);
    }
    Writer writer(c, Writer::Target::Staged);
    feed(writer);
    return writer.store();
}

QVector<TelemetryPoint> read(PgConnection& c, int device, double beginSeconds, double endSeconds) {
    const QString what = QStringLiteral("Не удалось прочитать телеметрию");
    const QByteArray copySql =
        QStringLiteral("COPY (SELECT time, lat, lon, speed, odometer, gps_valid, ext_power, tank1, tank2, sensors "
                       "FROM telemetry WHERE device = %1 AND time >= '%2' AND time <= '%3' ORDER BY time) "
                       "TO STDOUT (FORMAT binary)")
            .arg(device)
            .arg(instantLiteral(beginSeconds), instantLiteral(endSeconds))
            .toUtf8();
    PGconn* conn = c.handle();
    // The rows are taken in the order of the key's index, in a read-only transaction of the read's
    // own, sent with it in one message. Until a freshly loaded partition has its statistics, the
    // planner takes a period for a few hundred rows and would rather collect them by a bitmap scan
    // and sort them (a day's sort spills to disk); the index gives them in time order whatever the
    // statistics say. Inside a caller's transaction the read runs as it is.
    const bool own = PQtransactionStatus(conn) == PQTRANS_IDLE;
    const QByteArray sql = own ? "BEGIN READ ONLY; SET LOCAL enable_sort = off; " + copySql + "; COMMIT" : copySql;
    // Whatever ends the read early, the transaction of its own does not outlive it.
    const auto rollBack = qScopeGuard([&] {
        if (own && !c.lost() && PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) != PQTRANS_IDLE)
            PQclear(PQexec(conn, "ROLLBACK"));
    });
    PgResult copy(PQexec(conn, sql.constData()));
    if (!copy.raw() || PQresultStatus(copy.raw()) != PGRES_COPY_OUT) c.fail(what, copy.raw());
    QVector<TelemetryPoint> out;
    CopyReader reader;
    bool malformed = false;
    char* chunk = nullptr;
    int size;
    while ((size = PQgetCopyData(conn, &chunk, 0)) > 0) {
        if (!malformed && !reader.feed(chunk, size, out)) malformed = true;
        PQfreemem(chunk);
    }
    if (size == -2) c.fail(what);
    // The COPY's completion, then the COMMIT's.
    PgResult failed;
    while (PGresult* r = PQgetResult(conn)) {
        PgResult result(r);
        if (failed.raw() == nullptr && PQresultStatus(r) != PGRES_COMMAND_OK) failed = result;
    }
    if (failed.raw()) c.fail(what, failed.raw());
    if (malformed || !reader.ended())
        throw Error(QStringLiteral("%1: сервер базы данных прислал строки в непонятном виде").arg(what));
    return out;
}

}  // namespace telvika::server::pgtelemetry
