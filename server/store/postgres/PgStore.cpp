#include "store/postgres/PgStore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include "common/Error.h"
#include "compute/UtcTime.h"
#include "demo/DemoFleet.h"
#include "store/postgres/PgAnnouncement.h"
#include "store/postgres/PgSchema.h"
#include "store/postgres/PgTelemetry.h"

namespace telvika::server {

namespace {

QByteArray textParam(const QString& s) { return s.toUtf8().isNull() ? QByteArray("") : s.toUtf8(); }
QByteArray intParam(qint64 v) { return pgNumber(v); }

QString applicationName() {
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return program.isEmpty() ? QStringLiteral("telvika") : program;
}

// Seconds since 1970 of a nullable timestamptz column read as "extract(epoch ...)"; 0 for none.
double epochColumn(const PgResult& r, int row, int column) { return r.isNull(row, column) ? 0.0 : r.toDouble(row, column); }

}  // namespace

PgStore::PgStore(const StoreLocation& location) : c_(location, applicationName()) {
    PgSchema::migrate(c_);
    // The months that online data fills are there before the first point of them arrives.
    const double now = epochSecondsFromUtc(utcNow());
    const int month = pgtelemetry::monthOf(now);
    try {
        pgtelemetry::ensurePartitions(c_, {month, month + 1});
    } catch (const Error&) {
        // A read-only replica cannot make them; a store that takes writes makes them as data arrives.
    }
}

QVector<GroupRecord> PgStore::groups() {
    const PgResult r = c_.exec("SELECT id, name FROM groups ORDER BY seq", QStringLiteral("Не удалось прочитать группы"));
    QVector<GroupRecord> out;
    for (int i = 0; i < r.rows(); ++i) out.push_back({r.text(i, 0), r.text(i, 1)});
    return out;
}

std::optional<GroupRecord> PgStore::group(const QString& id) {
    const PgResult r = c_.exec("SELECT id, name FROM groups WHERE id = $1", {textParam(id)},
                               QStringLiteral("Не удалось прочитать группу"));
    if (r.rows() == 0) return std::nullopt;
    return GroupRecord{r.text(0, 0), r.text(0, 1)};
}

QVector<VehicleRecord> PgStore::vehiclesWhere(const char* condition, const QByteArray& key, const QString& what) {
    const QByteArray sql = QByteArray("SELECT device, group_id, name, number, info, lat, lon, extract(epoch FROM last_time) "
                                      "FROM vehicles WHERE ") + condition + " ORDER BY seq";
    const PgResult r = c_.exec(sql.constData(), {key}, what);
    QVector<VehicleRecord> out;
    for (int i = 0; i < r.rows(); ++i) {
        VehicleRecord v;
        v.device = static_cast<int>(r.toInt(i, 0));
        v.groupId = r.text(i, 1);
        v.name = r.text(i, 2);
        v.number = r.text(i, 3);
        v.info = r.text(i, 4);
        v.lat = r.toDouble(i, 5);
        v.lon = r.toDouble(i, 6);
        const double lastSeconds = epochColumn(r, i, 7);
        v.lastTime = lastSeconds == 0.0 ? 0.0 : utcFromEpochSeconds(lastSeconds);  // 0: no position yet
        out.push_back(v);
    }
    return out;
}

QVector<VehicleRecord> PgStore::vehicles(const QString& groupId) {
    return vehiclesWhere("group_id = $1", textParam(groupId), QStringLiteral("Не удалось прочитать транспортные средства"));
}

std::optional<VehicleRecord> PgStore::vehicle(int device) {
    const QVector<VehicleRecord> found =
        vehiclesWhere("device = $1", intParam(device), QStringLiteral("Не удалось прочитать транспортное средство"));
    if (found.isEmpty()) return std::nullopt;
    return found.first();
}

QVector<TelemetryPoint> PgStore::telemetry(int device, double beginSeconds, double endSeconds) {
    return pgtelemetry::read(c_, device, beginSeconds, endSeconds);
}

qint64 PgStore::telemetryCount(int device) {
    return c_.exec("SELECT coalesce(sum(count), 0) FROM telemetry_blocks WHERE device = $1", {intParam(device)},
                   QStringLiteral("Не удалось прочитать телеметрию"))
        .toInt(0, 0);
}

QVector<ControlPointSet> PgStore::controlPointSets(int device) {
    const PgResult r = c_.exec("SELECT s.name, p.name, p.note, p.lat, p.lon, p.radius FROM control_point_sets s "
                               "LEFT JOIN control_points p ON p.set_seq = s.seq WHERE s.device = $1 ORDER BY s.seq, p.seq",
                               {intParam(device)}, QStringLiteral("Не удалось прочитать контрольные точки"));
    QVector<ControlPointSet> out;
    for (int i = 0; i < r.rows(); ++i) {
        const QString setName = r.text(i, 0);
        if (out.isEmpty() || out.back().name != setName) out.push_back(ControlPointSet{setName, {}});
        if (r.isNull(i, 1)) continue;
        out.back().points.push_back(
            ControlPoint{r.text(i, 1), r.text(i, 2), r.toDouble(i, 3), r.toDouble(i, 4), r.toDouble(i, 5)});
    }
    return out;
}

bool PgStore::isEmpty() {
    return c_.exec("SELECT EXISTS(SELECT 1 FROM groups)", QStringLiteral("Не удалось прочитать группы")).text(0, 0) !=
           QLatin1String("t");
}

QString PgStore::meta(const QString& key) {
    const PgResult r = c_.exec("SELECT value FROM meta WHERE key = $1", {textParam(key)},
                               QStringLiteral("Не удалось прочитать настройки сервера"));
    return r.rows() > 0 ? r.text(0, 0) : QString();
}

void PgStore::setMeta(const QString& key, const QString& value) {
    c_.exec("INSERT INTO meta(key, value) VALUES($1, $2) ON CONFLICT (key) DO UPDATE SET value = excluded.value",
            {textParam(key), textParam(value)}, QStringLiteral("Не удалось записать настройки сервера"));
}

void PgStore::insertGroup(const GroupRecord& group) {
    c_.exec("INSERT INTO groups(id, name) VALUES($1, $2)", {textParam(group.id), textParam(group.name)},
            QStringLiteral("Не удалось добавить группу"));
}

void PgStore::insertVehicleRow(const VehicleRecord& v) {
    c_.exec("INSERT INTO vehicles(device, group_id, name, number, info, lat, lon, last_time) "
            "VALUES($1, $2, $3, $4, $5, $6, $7, to_timestamp($8::double precision))",
            {intParam(v.device), textParam(v.groupId), textParam(v.name), textParam(v.number), textParam(v.info),
             pgNumber(v.lat), pgNumber(v.lon), v.lastTime == 0.0 ? QByteArray() : pgNumber(storedSeconds(v.lastTime))},
            QStringLiteral("Не удалось добавить транспортное средство"));
}

void PgStore::insertVehicle(const VehicleRecord& vehicle) { insertVehicleRow(vehicle); }

void PgStore::insertControlPointRow(int device, const QString& setName, const ControlPoint& p) {
    const QString what = QStringLiteral("Не удалось добавить контрольную точку");
    c_.exec("INSERT INTO control_point_sets(device, name) VALUES($1, $2) ON CONFLICT (device, name) DO NOTHING",
            {intParam(device), textParam(setName)}, what);
    c_.exec("INSERT INTO control_points(set_seq, name, note, lat, lon, radius) SELECT seq, $3, $4, $5, $6, $7 "
            "FROM control_point_sets WHERE device = $1 AND name = $2",
            {intParam(device), textParam(setName), textParam(p.name), textParam(p.note), pgNumber(p.lat), pgNumber(p.lon),
             pgNumber(p.radiusM)},
            what);
}

void PgStore::insertControlPoint(int device, const QString& setName, const ControlPoint& point) {
    PgConnection::Transaction tx(c_);
    insertControlPointRow(device, setName, point);
    tx.commit();
}

TelemetryAppend PgStore::insertTelemetry(const QVector<QPair<int, TelemetryPoint>>& points) {
    QSet<int> months;
    QVector<pgtelemetry::DevicePoints> batch;
    QHash<int, qsizetype> index;  // device -> its place in batch
    for (const auto& [device, p] : points) {
        months.insert(pgtelemetry::monthOf(storedSeconds(p.time)));
        auto it = index.constFind(device);
        if (it == index.constEnd()) {
            it = index.insert(device, batch.size());
            batch.push_back({device, {}});
        }
        batch[*it].points.push_back(p);
    }
    pgtelemetry::ensurePartitions(c_, months);
    PgConnection::Transaction tx(c_);
    const qint64 stored = pgtelemetry::write(c_, batch);
    tx.commit();
    return TelemetryAppend{static_cast<int>(stored), static_cast<int>(points.size() - stored)};
}

void PgStore::insertFleet(const demo::DemoFleet& fleet, const QVector<QPair<QString, QString>>& meta) {
    QSet<int> months;
    QVector<pgtelemetry::DevicePoints> batch;
    for (const demo::DemoGroup& g : fleet.groups)
        for (const demo::DemoVehicle& v : g.vehicles) {
            for (const TelemetryPoint& p : v.telemetry) months.insert(pgtelemetry::monthOf(storedSeconds(p.time)));
            batch.push_back({v.device, v.telemetry});  // shared, not copied
        }
    pgtelemetry::ensurePartitions(c_, months);
    PgConnection::Transaction tx(c_);
    for (const demo::DemoGroup& g : fleet.groups) {
        insertGroup({g.id, g.name});
        for (const demo::DemoVehicle& v : g.vehicles) {
            insertVehicleRow(VehicleRecord{v.device, g.id, v.name, v.number, v.info, 0.0, 0.0, 0.0});
            for (const ControlPointSet& set : v.controlPointSets)
                for (const ControlPoint& p : set.points) insertControlPointRow(v.device, set.name, p);
        }
    }
    pgtelemetry::write(c_, batch, true);
    for (const auto& [key, value] : meta) setMeta(key, value);
    tx.commit();
}

bool PgStore::announce(StoreEvent event) {
    // After the change is committed; a server that misses it while the database is away hears of
    // everything again when it is back (StoreListener::resumed).
    try {
        c_.exec("SELECT pg_notify($1, $2)", {QByteArray(pgannouncement::Channel), pgannouncement::encode(event).toUtf8()},
                QStringLiteral("Не удалось оповестить другие серверы"));
    } catch (const Error&) {
    }
    return true;
}

}  // namespace telvika::server
