#include "store/postgres/PgTelemetry.h"

#include <QDateTime>
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

constexpr int FlushBytes = 1 << 20;

QDate monthStart(int month) { return QDate(month / 12, month % 12 + 1, 1); }

QString partitionName(int month) {
    return QStringLiteral("telemetry_%1_%2").arg(month / 12).arg(month % 12 + 1, 2, 10, QLatin1Char('0'));
}

QString utcLiteral(const QDate& day) { return day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00+00"); }

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

}  // namespace

QString instantLiteral(double seconds) {
    if (!(seconds >= 0.0)) return QStringLiteral("-infinity");
    if (seconds > 253402300799.0) return QStringLiteral("infinity");
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(std::llround(seconds * 1000.0), QTimeZone::utc());
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QStringLiteral("+00");
}

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

}  // namespace telvika::server::pgtelemetry
