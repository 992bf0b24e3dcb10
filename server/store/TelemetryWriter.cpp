#include "store/TelemetryWriter.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <sqlite3.h>

#include <cmath>

#include "common/Error.h"
#include "compute/UtcTime.h"
#include "store/Store.h"
#include "store/StoreFileCheck.h"
#include "store/TelemetryReader.h"

namespace telvika::server {

namespace {

const QString WriteFailed = QStringLiteral("Не удалось записать телеметрию");

[[noreturn]] void failed(sqlite3* handle) {
    const int code = sqlite3_errcode(handle) & 0xff;
    const QString reason = QString::fromUtf8(sqlite3_errmsg(handle));
    if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB)
        throw Error(QStringLiteral("%1: база данных сервера повреждена (%2)").arg(WriteFailed, reason));
    throw Error(QStringLiteral("%1: %2").arg(WriteFailed, reason));
}

void bindNullable(sqlite3_stmt* st, int index, double v) {
    if (std::isnan(v)) sqlite3_bind_null(st, index);
    else sqlite3_bind_double(st, index, v);
}

}  // namespace

TelemetryInserter::TelemetryInserter(const QSqlDatabase& db) : handle_(sqliteHandleOf(db)) {
    if (!handle_) throw Error(WriteFailed + QStringLiteral(": база данных не открыта"));
    static const char* sql =
        "INSERT OR IGNORE INTO telemetry(device, time, lat, lon, speed, odometer, gps_valid, ext_power, tank1, "
        "tank2, sensors) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)";
    if (sqlite3_prepare_v2(handle_, sql, -1, &statement_, nullptr) != SQLITE_OK) failed(handle_);
}

TelemetryInserter::~TelemetryInserter() { sqlite3_finalize(statement_); }

bool TelemetryInserter::insert(int device, const TelemetryPoint& p) {
    sqlite3_stmt* st = statement_;
    sqlite3_bind_int(st, 1, device);
    sqlite3_bind_double(st, 2, storedSeconds(p.time));
    sqlite3_bind_double(st, 3, p.lat);
    sqlite3_bind_double(st, 4, p.lon);
    sqlite3_bind_double(st, 5, p.speedKmh);
    sqlite3_bind_double(st, 6, p.odometerM);
    sqlite3_bind_int(st, 7, p.gpsValid ? 1 : 0);
    sqlite3_bind_int(st, 8, p.externalPower ? 1 : 0);
    bindNullable(st, 9, p.tank1);
    bindNullable(st, 10, p.tank2);
    sqlite3_bind_int(st, 11, static_cast<int>(p.sensors));
    const int rc = sqlite3_step(st);
    sqlite3_reset(st);
    if (rc != SQLITE_DONE) failed(handle_);
    return sqlite3_changes(handle_) > 0;
}

void updateLastPosition(const QSqlDatabase& db, int device, const TelemetryPoint& latest) {
    QSqlQuery upd(db);
    if (!upd.prepare(QStringLiteral("UPDATE vehicles SET lat = ?, lon = ?, last_time = ? WHERE device = ? AND last_time <= ?")))
        throw Error(storefile::statementFailure(QStringLiteral("Ошибка базы данных сервера"), upd.lastError()));
    const double seconds = storedSeconds(latest.time);
    upd.addBindValue(latest.lat);
    upd.addBindValue(latest.lon);
    upd.addBindValue(seconds);
    upd.addBindValue(device);
    upd.addBindValue(seconds);
    if (!upd.exec())
        throw Error(storefile::statementFailure(QStringLiteral("Не удалось обновить положение транспортного средства"),
                                                upd.lastError()));
}

TelemetryBatches::TelemetryBatches(Store& store, int device) : device_(device) {
    if (!store.vehicle(device)) throw Error(QStringLiteral("Устройства %1 нет").arg(device));
    writer_ = store.backend().beginTelemetryBatches(device);
}

TelemetryBatches::~TelemetryBatches() = default;

void TelemetryBatches::append(const QVector<TelemetryPoint>& points) {
    const double now = utcNow();
    for (const TelemetryPoint& p : points) checkTelemetryPoint(device_, p, now);
    writer_->append(points);
}

TelemetryAppend TelemetryBatches::commit() { return writer_->commit(); }

SqliteTelemetryBatches::SqliteTelemetryBatches(const QSqlDatabase& db, int device) : db_(db), device_(device) {
    if (!db_.transaction())
        throw Error(storefile::statementFailure(QStringLiteral("Не удалось начать запись в базу данных сервера"),
                                                db_.lastError()));
    open_ = true;
    try {
        inserter_ = std::make_unique<TelemetryInserter>(db_);
    } catch (...) {
        db_.rollback();
        throw;
    }
}

SqliteTelemetryBatches::~SqliteTelemetryBatches() {
    inserter_.reset();
    if (open_) db_.rollback();
}

void SqliteTelemetryBatches::append(const QVector<TelemetryPoint>& points) {
    for (const TelemetryPoint& p : points) {
        if (!inserter_->insert(device_, p)) {
            ++alreadyStored_;
            continue;
        }
        ++stored_;
        if (!haveLatest_ || p.time >= latest_.time) latest_ = p;
        haveLatest_ = true;
    }
}

TelemetryAppend SqliteTelemetryBatches::commit() {
    inserter_.reset();
    if (haveLatest_) updateLastPosition(db_, device_, latest_);
    if (!db_.commit())
        throw Error(storefile::statementFailure(QStringLiteral("Не удалось сохранить изменения в базе данных сервера"),
                                                db_.lastError()));
    open_ = false;
    return TelemetryAppend{stored_, alreadyStored_};
}

}  // namespace telvika::server
