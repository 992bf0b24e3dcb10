#include "store/SqliteStore.h"
#include "store/StoreFileCheck.h"
#include "store/StoreSchema.h"
#include "store/TelemetryReader.h"
#include "store/TelemetryWriter.h"

#include "common/Error.h"
#include "compute/UtcTime.h"
#include "demo/DemoFleet.h"

#include <QAtomicInt>
#include <QHash>
#include <QSet>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cmath>

namespace telvika::server {

namespace {

QAtomicInt connectionCounter;

QSqlDatabase db(const QString& name) { return QSqlDatabase::database(name, false); }

[[noreturn]] void fail(const QString& what, const QSqlError& error) {
    throw Error(storefile::statementFailure(what, error));
}

QSqlQuery exec(const QString& connection, const QString& sql, const QString& what) {
    QSqlQuery q(db(connection));
    if (!q.exec(sql)) fail(what, q.lastError());
    return q;
}

QSqlQuery prepare(const QString& connection, const QString& sql) {
    QSqlQuery q(db(connection));
    if (!q.prepare(sql)) fail(QStringLiteral("Ошибка базы данных сервера"), q.lastError());
    return q;
}

void run(QSqlQuery& q, const QString& what) {
    if (!q.exec()) fail(what, q.lastError());
}

// A null QString would be stored as NULL; texts are never NULL in the store.
QString text(const QString& s) { return s.isNull() ? QStringLiteral("") : s; }

}  // namespace

// Commits when commit() is called, rolls back otherwise (an exception left the scope).
class SqliteStore::Transaction {
public:
    explicit Transaction(const QString& connection) : connection_(connection) {
        if (!db(connection_).transaction())
            fail(QStringLiteral("Не удалось начать запись в базу данных сервера"), db(connection_).lastError());
    }
    ~Transaction() {
        if (!done_) db(connection_).rollback();
    }
    void commit() {
        if (!db(connection_).commit())
            fail(QStringLiteral("Не удалось сохранить изменения в базе данных сервера"), db(connection_).lastError());
        done_ = true;
    }

private:
    QString connection_;
    bool done_ = false;
};

SqliteStore::SqliteStore(const QString& path)
    : path_(path), connectionName_(QStringLiteral("telvika-store-%1").arg(connectionCounter.fetchAndAddRelaxed(1))) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        throw Error(QStringLiteral("Не удалось создать папку данных сервера «%1»").arg(info.absolutePath()));
    storefile::checkBeforeOpening(path);
    QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
    d.setDatabaseName(path);
    d.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    try {
        if (!d.open()) fail(QStringLiteral("Не удалось открыть базу данных сервера «%1»").arg(path), d.lastError());
        StoreSchema(d, path_).open();
        exec(connectionName_, QStringLiteral("PRAGMA foreign_keys=ON"), QStringLiteral("Ошибка базы данных"));
    } catch (...) {
        d.close();
        d = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName_);
        throw;
    }
}

SqliteStore::~SqliteStore() {
    {
        QSqlDatabase d = db(connectionName_);
        if (d.isOpen()) d.close();
    }
    QSqlDatabase::removeDatabase(connectionName_);
}

QVector<GroupRecord> SqliteStore::groups() {
    QSqlQuery q = exec(connectionName_, QStringLiteral("SELECT id, name FROM groups ORDER BY seq"),
                       QStringLiteral("Не удалось прочитать группы"));
    QVector<GroupRecord> out;
    while (q.next()) out.push_back({q.value(0).toString(), q.value(1).toString()});
    return out;
}

std::optional<GroupRecord> SqliteStore::group(const QString& id) {
    QSqlQuery q = prepare(connectionName_, QStringLiteral("SELECT id, name FROM groups WHERE id = ?"));
    q.addBindValue(id);
    run(q, QStringLiteral("Не удалось прочитать группу"));
    if (!q.next()) return std::nullopt;
    return GroupRecord{q.value(0).toString(), q.value(1).toString()};
}

namespace {
const QString VehicleColumns = QStringLiteral("device, group_id, name, number, info, lat, lon, last_time");
VehicleRecord vehicleFrom(const QSqlQuery& q) {
    VehicleRecord v;
    v.device = q.value(0).toInt();
    v.groupId = q.value(1).toString();
    v.name = q.value(2).toString();
    v.number = q.value(3).toString();
    v.info = q.value(4).toString();
    v.lat = q.value(5).toDouble();
    v.lon = q.value(6).toDouble();
    const double lastSeconds = q.value(7).toDouble();
    v.lastTime = lastSeconds == 0.0 ? 0.0 : utcFromEpochSeconds(lastSeconds);  // 0: no position yet
    return v;
}
}  // namespace

QVector<VehicleRecord> SqliteStore::vehicles(const QString& groupId) {
    QSqlQuery q = prepare(connectionName_,
                          QStringLiteral("SELECT %1 FROM vehicles WHERE group_id = ? ORDER BY seq").arg(VehicleColumns));
    q.addBindValue(groupId);
    run(q, QStringLiteral("Не удалось прочитать транспортные средства"));
    QVector<VehicleRecord> out;
    while (q.next()) out.push_back(vehicleFrom(q));
    return out;
}

std::optional<VehicleRecord> SqliteStore::vehicle(int device) {
    QSqlQuery q = prepare(connectionName_, QStringLiteral("SELECT %1 FROM vehicles WHERE device = ?").arg(VehicleColumns));
    q.addBindValue(device);
    run(q, QStringLiteral("Не удалось прочитать транспортное средство"));
    if (!q.next()) return std::nullopt;
    return vehicleFrom(q);
}

QVector<TelemetryPoint> SqliteStore::telemetry(int device, double beginSeconds, double endSeconds) {
    return readTelemetry(db(connectionName_), device, beginSeconds, endSeconds);
}

qint64 SqliteStore::telemetryCount(int device) {
    QSqlQuery q = prepare(connectionName_, QStringLiteral("SELECT COUNT(*) FROM telemetry WHERE device = ?"));
    q.addBindValue(device);
    run(q, QStringLiteral("Не удалось прочитать телеметрию"));
    return q.next() ? q.value(0).toLongLong() : 0;
}

QVector<ControlPointSet> SqliteStore::controlPointSets(int device) {
    QSqlQuery q = prepare(connectionName_,
                          QStringLiteral("SELECT s.name, p.name, p.note, p.lat, p.lon, p.radius FROM control_point_sets s "
                                         "LEFT JOIN control_points p ON p.set_seq = s.seq WHERE s.device = ? "
                                         "ORDER BY s.seq, p.seq"));
    q.addBindValue(device);
    run(q, QStringLiteral("Не удалось прочитать контрольные точки"));
    QVector<ControlPointSet> out;
    while (q.next()) {
        const QString setName = q.value(0).toString();
        if (out.isEmpty() || out.back().name != setName) out.push_back(ControlPointSet{setName, {}});
        if (q.isNull(1)) continue;
        out.back().points.push_back(ControlPoint{q.value(1).toString(), q.value(2).toString(), q.value(3).toDouble(),
                                                 q.value(4).toDouble(), q.value(5).toDouble()});
    }
    return out;
}

bool SqliteStore::isEmpty() {
    QSqlQuery q = exec(connectionName_, QStringLiteral("SELECT EXISTS(SELECT 1 FROM groups)"),
                       QStringLiteral("Не удалось прочитать группы"));
    return !(q.next() && q.value(0).toBool());
}

QString SqliteStore::meta(const QString& key) {
    QSqlQuery q = prepare(connectionName_, QStringLiteral("SELECT value FROM meta WHERE key = ?"));
    q.addBindValue(key);
    run(q, QStringLiteral("Не удалось прочитать настройки сервера"));
    return q.next() ? q.value(0).toString() : QString();
}

void SqliteStore::setMeta(const QString& key, const QString& value) {
    Transaction tx(connectionName_);
    QSqlQuery q = prepare(connectionName_, QStringLiteral("INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)"));
    q.addBindValue(key);
    q.addBindValue(value);
    run(q, QStringLiteral("Не удалось записать настройки сервера"));
    tx.commit();
}

void SqliteStore::insertGroupRow(const GroupRecord& group) {
    QSqlQuery q = prepare(connectionName_, QStringLiteral("INSERT INTO groups(id, name) VALUES(?, ?)"));
    q.addBindValue(group.id);
    q.addBindValue(text(group.name));
    run(q, QStringLiteral("Не удалось добавить группу"));
}

void SqliteStore::insertGroup(const GroupRecord& group) {
    Transaction tx(connectionName_);
    insertGroupRow(group);
    tx.commit();
}

void SqliteStore::insertVehicleRow(const VehicleRecord& v) {
    QSqlQuery q = prepare(connectionName_,
                          QStringLiteral("INSERT INTO vehicles(device, group_id, name, number, info, lat, lon, last_time) "
                                         "VALUES(?, ?, ?, ?, ?, ?, ?, ?)"));
    q.addBindValue(v.device);
    q.addBindValue(text(v.groupId));
    q.addBindValue(text(v.name));
    q.addBindValue(text(v.number));
    q.addBindValue(text(v.info));
    q.addBindValue(v.lat);
    q.addBindValue(v.lon);
    q.addBindValue(v.lastTime == 0.0 ? 0.0 : storedSeconds(v.lastTime));
    run(q, QStringLiteral("Не удалось добавить транспортное средство"));
}

void SqliteStore::insertVehicle(const VehicleRecord& vehicle) {
    Transaction tx(connectionName_);
    insertVehicleRow(vehicle);
    tx.commit();
}

void SqliteStore::insertControlPointRow(int device, const QString& setName, const ControlPoint& point) {
    QSqlQuery find = prepare(connectionName_, QStringLiteral("SELECT seq FROM control_point_sets WHERE device = ? AND name = ?"));
    find.addBindValue(device);
    find.addBindValue(text(setName));
    run(find, QStringLiteral("Не удалось прочитать контрольные точки"));
    qint64 setSeq = 0;
    if (find.next()) {
        setSeq = find.value(0).toLongLong();
    } else {
        QSqlQuery ins = prepare(connectionName_, QStringLiteral("INSERT INTO control_point_sets(device, name) VALUES(?, ?)"));
        ins.addBindValue(device);
        ins.addBindValue(text(setName));
        run(ins, QStringLiteral("Не удалось добавить набор контрольных точек"));
        setSeq = ins.lastInsertId().toLongLong();
    }
    QSqlQuery q = prepare(connectionName_,
                          QStringLiteral("INSERT INTO control_points(set_seq, name, note, lat, lon, radius) VALUES(?, ?, ?, ?, ?, ?)"));
    q.addBindValue(setSeq);
    q.addBindValue(text(point.name));
    q.addBindValue(text(point.note));
    q.addBindValue(point.lat);
    q.addBindValue(point.lon);
    q.addBindValue(point.radiusM);
    run(q, QStringLiteral("Не удалось добавить контрольную точку"));
}

void SqliteStore::insertControlPoint(int device, const QString& setName, const ControlPoint& point) {
    Transaction tx(connectionName_);
    insertControlPointRow(device, setName, point);
    tx.commit();
}

TelemetryAppend SqliteStore::insertTelemetryRows(const QVector<QPair<int, TelemetryPoint>>& points) {
    TelemetryInserter inserter(db(connectionName_));
    TelemetryAppend result;
    QHash<int, TelemetryPoint> latest;
    for (const auto& [device, p] : points) {
        if (!inserter.insert(device, p)) {
            ++result.alreadyStored;
            continue;
        }
        ++result.stored;
        auto it = latest.find(device);
        if (it == latest.end() || p.time >= it->time) latest.insert(device, p);
    }
    for (auto it = latest.constBegin(); it != latest.constEnd(); ++it) updateLastPosition(db(connectionName_), it.key(), *it);
    return result;
}

std::unique_ptr<TelemetryBatchWriter> SqliteStore::beginTelemetryBatches(int device) {
    return std::make_unique<SqliteTelemetryBatches>(db(connectionName_), device);
}

TelemetryAppend SqliteStore::insertTelemetry(const QVector<QPair<int, TelemetryPoint>>& points) {
    Transaction tx(connectionName_);
    const TelemetryAppend result = insertTelemetryRows(points);
    tx.commit();
    return result;
}

void SqliteStore::insertFleet(const demo::DemoFleet& fleet, const QVector<QPair<QString, QString>>& meta) {
    Transaction tx(connectionName_);
    for (const demo::DemoGroup& g : fleet.groups) {
        insertGroupRow({g.id, g.name});
        for (const demo::DemoVehicle& v : g.vehicles) {
            insertVehicleRow(VehicleRecord{v.device, g.id, v.name, v.number, v.info, 0.0, 0.0, 0.0});
            QVector<QPair<int, TelemetryPoint>> rows;
            rows.reserve(v.telemetry.size());
            for (const TelemetryPoint& p : v.telemetry) rows.append({v.device, p});
            insertTelemetryRows(rows);
            for (const ControlPointSet& set : v.controlPointSets)
                for (const ControlPoint& p : set.points) insertControlPointRow(v.device, set.name, p);
        }
    }
    QSqlQuery m = prepare(connectionName_, QStringLiteral("INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)"));
    for (const auto& [key, value] : meta) {
        m.bindValue(0, key);
        m.bindValue(1, value);
        run(m, QStringLiteral("Не удалось записать настройки сервера"));
    }
    tx.commit();
}

}  // namespace telvika::server
