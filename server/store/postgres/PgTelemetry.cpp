#include "store/postgres/PgTelemetry.h"

#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <QTimeZone>
#include <QtEndian>

#include <libpq-fe.h>

#include <algorithm>
#include <cmath>

#include "common/Error.h"
#include "compute/UtcTime.h"
#include "store/postgres/PgBlocks.h"
#include "store/postgres/PgConnection.h"

namespace telvika::server::pgtelemetry {

using namespace pgblocks;

namespace {

constexpr int FlushBytes = 1 << 20;
constexpr char CopySignature[] = "PGCOPY\n\377\r\n";  // and its terminating zero: 11 bytes
// With the device, the key of the lock that writers of one device take for their transaction.
constexpr int DeviceWriteLock = 7274130;

QString writeFailure() { return QStringLiteral("Не удалось записать телеметрию"); }

QDate monthStart(int month) { return QDate(month / 12, month % 12 + 1, 1); }

QString partitionName(int month) {
    return QStringLiteral("telemetry_%1_%2").arg(month / 12).arg(month % 12 + 1, 2, 10, QLatin1Char('0'));
}

QString utcLiteral(const QDate& day) { return day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00+00"); }

double secondsOf(qint64 micros) { return double(micros + PgEpochMicros) / 1e6; }

template <typename T>
void put(QByteArray& out, T value) {
    const T big = qToBigEndian(value);
    out.append(reinterpret_cast<const char*>(&big), sizeof big);
}

QByteArray arrayParam(const QStringList& items) {
    return (QLatin1Char('{') + items.join(QLatin1Char(',')) + QLatin1Char('}')).toUtf8();
}

// One binary COPY of blocks into telemetry_blocks, inside the caller's transaction.
class BlockCopy {
public:
    explicit BlockCopy(PgConnection& c) : c_(c) {
        PgResult copy(PQexec(c_.handle(), "COPY telemetry_blocks (device, first, last, count, points) FROM STDIN (FORMAT binary)"));
        if (!copy.raw() || PQresultStatus(copy.raw()) != PGRES_COPY_IN) c_.fail(writeFailure(), copy.raw());
        active_ = true;
        buffer_.reserve(FlushBytes + HourMicros / 1000000 * RecordBytes + 64);
        buffer_.append(CopySignature, 11);
        put<qint32>(buffer_, 0);
        put<qint32>(buffer_, 0);
    }
    ~BlockCopy() {
        if (!active_ || c_.lost()) return;
        // Left by an exception: end the COPY with a failure, so the transaction rolls back cleanly.
        PGconn* conn = c_.handle();
        PQputCopyEnd(conn, "abandoned");
        while (PGresult* r = PQgetResult(conn)) PQclear(r);
    }
    BlockCopy(const BlockCopy&) = delete;
    BlockCopy& operator=(const BlockCopy&) = delete;

    // One block: the points at `micros` (rising, within one hour), taken from `points` by index.
    void add(int device, const QVector<QPair<qint64, int>>& entries, qsizetype from, qsizetype to,
             const QVector<TelemetryPoint>& points) {
        const qint32 count = static_cast<qint32>(to - from);
        put<qint16>(buffer_, 5);
        put<qint32>(buffer_, 4);
        put<qint32>(buffer_, device);
        put<qint32>(buffer_, 8);
        put<qint64>(buffer_, entries[from].first);
        put<qint32>(buffer_, 8);
        put<qint64>(buffer_, entries[to - 1].first);
        put<qint32>(buffer_, 4);
        put<qint32>(buffer_, count);
        put<qint32>(buffer_, count * RecordBytes);
        for (qsizetype i = from; i < to; ++i) appendRecord(buffer_, entries[i].first, points[entries[i].second]);
        if (buffer_.size() >= FlushBytes) flush(false);
    }

    void finish() { flush(true); }

private:
    void flush(bool last) {
        if (last) put<qint16>(buffer_, -1);
        if (!buffer_.isEmpty() && PQputCopyData(c_.handle(), buffer_.constData(), static_cast<int>(buffer_.size())) != 1)
            c_.fail(writeFailure());
        buffer_.clear();
        if (!last) return;
        active_ = false;
        if (PQputCopyEnd(c_.handle(), nullptr) != 1) c_.fail(writeFailure());
        PgResult end(PQgetResult(c_.handle()));
        while (PGresult* r = PQgetResult(c_.handle())) PQclear(r);
        if (!end.raw() || PQresultStatus(end.raw()) != PGRES_COMMAND_OK) c_.fail(writeFailure(), end.raw());
    }

    PgConnection& c_;
    QByteArray buffer_;
    bool active_ = false;
};

// Waits for the writers of these devices on every server to end their transactions, and keeps
// the others waiting until this one ends; in the order of device numbers, so two writers never
// wait for each other.
void lockDevices(PgConnection& c, QVector<int> devices) {
    std::sort(devices.begin(), devices.end());
    QStringList list;
    for (int d : devices) list << QString::number(d);
    c.exec("SELECT pg_advisory_xact_lock($1::integer, d) FROM unnest($2::integer[]) AS d",
           {QByteArray::number(DeviceWriteLock), arrayParam(list)}, writeFailure());
}

// The instants the store holds of each device within [first, last] of its points.
QHash<int, QVector<qint64>> heldInstants(PgConnection& c, const QHash<int, QPair<qint64, qint64>>& spans) {
    QStringList devices, first, last;
    for (auto it = spans.constBegin(); it != spans.constEnd(); ++it) {
        devices << QString::number(it.key());
        first << QLatin1Char('"') + instantLiteral(secondsOf(it->first)) + QLatin1Char('"');
        last << QLatin1Char('"') + instantLiteral(secondsOf(it->second)) + QLatin1Char('"');
    }
    // A block lies within one hour: its first instant is at most an hour before the span. The
    // blocks come in binary, as stored.
    const QString what = QStringLiteral("Не удалось прочитать телеметрию");
    const PgResult r = c.exec("SELECT b.device, b.count, b.points FROM unnest($1::integer[], $2::timestamptz[], "
                              "$3::timestamptz[]) AS s(device, lo, hi) JOIN telemetry_blocks b ON b.device = s.device "
                              "AND b.first <= s.hi AND b.first >= s.lo - interval '1 hour' AND b.last >= s.lo",
                              {arrayParam(devices), arrayParam(first), arrayParam(last)}, what, true);
    QHash<int, QVector<qint64>> held;
    for (int i = 0; i < r.rows(); ++i) {
        if (PQgetlength(r.raw(), i, 0) != 4 || PQgetlength(r.raw(), i, 1) != 4)
            throw Error(QStringLiteral("%1: сервер базы данных прислал строки в непонятном виде").arg(what));
        const int device = qFromBigEndian<qint32>(PQgetvalue(r.raw(), i, 0));
        const qint32 count = qFromBigEndian<qint32>(PQgetvalue(r.raw(), i, 1));
        QVector<qint64>& instants = held[device];
        const QString why = decodeInstants(PQgetvalue(r.raw(), i, 2), PQgetlength(r.raw(), i, 2), count, instants);
        if (!why.isEmpty()) throw Error(QStringLiteral("%1 устройства %2: %3").arg(writeFailure()).arg(device).arg(why));
    }
    for (QVector<qint64>& instants : held) std::sort(instants.begin(), instants.end());
    return held;
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
                                    {arrayParam(names)}, what);
    for (int i = 0; i < missing.rows(); ++i) {
        const QString name = missing.text(i, 0);
        const int month = list.at(names.indexOf(name));
        PgConnection::Transaction tx(c);
        c.exec("SELECT pg_advisory_xact_lock(7274130602)", what);
        if (c.exec(QStringLiteral("SELECT to_regclass('%1') IS NULL").arg(name).toUtf8().constData(), what).text(0, 0) ==
            QLatin1String("t")) {
            // Blocks are read whole and seldom compress: they are stored out of line as they are.
            c.exec(QStringLiteral("CREATE TABLE %1 PARTITION OF telemetry_blocks FOR VALUES FROM ('%2') TO ('%3')")
                       .arg(name, utcLiteral(monthStart(month)), utcLiteral(monthStart(month + 1)))
                       .toUtf8()
                       .constData(),
                   what);
            c.exec(QStringLiteral("ALTER TABLE %1 ALTER COLUMN points SET STORAGE EXTERNAL").arg(name).toUtf8().constData(),
                   what);
        }
        tx.commit();
    }
}

qint64 write(PgConnection& c, const QVector<DevicePoints>& batch, bool newDevices) {
    QHash<int, QPair<qint64, qint64>> spans;
    for (const DevicePoints& d : batch) {
        if (d.points.isEmpty()) continue;
        qint64 first = NoUpperBound, last = NoLowerBound;
        for (const TelemetryPoint& p : d.points) {
            const qint64 micros = microsOf(p);
            first = qMin(first, micros);
            last = qMax(last, micros);
        }
        auto it = spans.find(d.device);
        if (it == spans.end()) spans.insert(d.device, {first, last});
        else *it = {qMin(it->first, first), qMax(it->second, last)};
    }
    if (spans.isEmpty()) return 0;
    lockDevices(c, spans.keys());
    const QHash<int, QVector<qint64>> held = newDevices ? QHash<int, QVector<qint64>>() : heldInstants(c, spans);

    qint64 stored = 0;
    QStringList latestDevice, latestTime, latestLat, latestLon;
    {
        BlockCopy copy(c);
        QVector<QPair<qint64, int>> entries;  // instant, index of the point
        for (const DevicePoints& d : batch) {
            entries.clear();
            entries.reserve(d.points.size());
            for (int i = 0; i < d.points.size(); ++i) entries.push_back({microsOf(d.points[i]), i});
            // The first point of an instant given twice is kept: a stable order, then the first of
            // each run of one instant.
            const auto earlier = [](const QPair<qint64, int>& a, const QPair<qint64, int>& b) { return a.first < b.first; };
            if (!std::is_sorted(entries.begin(), entries.end(), earlier))
                std::stable_sort(entries.begin(), entries.end(), earlier);
            const QVector<qint64> none;
            const QVector<qint64>& heldHere = held.contains(d.device) ? *held.find(d.device) : none;
            qsizetype kept = 0;
            for (qsizetype i = 0; i < entries.size(); ++i) {
                if (kept > 0 && entries[kept - 1].first == entries[i].first) continue;
                if (!heldHere.isEmpty() && std::binary_search(heldHere.begin(), heldHere.end(), entries[i].first)) continue;
                entries[kept++] = entries[i];
            }
            entries.resize(kept);
            if (entries.isEmpty()) continue;
            for (qsizetype from = 0; from < entries.size();) {
                const qint64 hour = hourOf(entries[from].first);
                qsizetype to = from + 1;
                while (to < entries.size() && hourOf(entries[to].first) == hour) ++to;
                copy.add(d.device, entries, from, to, d.points);
                from = to;
            }
            stored += entries.size();
            const TelemetryPoint& latest = d.points[entries.back().second];
            latestDevice << QString::number(d.device);
            latestTime << QLatin1Char('"') + instantLiteral(secondsOf(entries.back().first)) + QLatin1Char('"');
            latestLat << QString::fromLatin1(pgNumber(latest.lat));
            latestLon << QString::fromLatin1(pgNumber(latest.lon));
        }
        copy.finish();
    }
    if (!latestDevice.isEmpty())
        c.exec("UPDATE vehicles v SET lat = l.lat, lon = l.lon, last_time = l.time FROM unnest($1::integer[], "
               "$2::timestamptz[], $3::double precision[], $4::double precision[]) AS l(device, time, lat, lon) "
               "WHERE v.device = l.device AND (v.last_time IS NULL OR v.last_time <= l.time)",
               {arrayParam(latestDevice), arrayParam(latestTime), arrayParam(latestLat), arrayParam(latestLon)},
               QStringLiteral("Не удалось обновить положение транспортного средства"));
    return stored;
}

}  // namespace telvika::server::pgtelemetry
