#include "store/TelemetryReader.h"

#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

#include <cmath>
#include <memory>

#include "common/Error.h"
#include "compute/UtcTime.h"

namespace telvika::server {

namespace {

double nullableColumn(sqlite3_stmt* st, int column) {
    return sqlite3_column_type(st, column) == SQLITE_NULL ? NAN : sqlite3_column_double(st, column);
}

[[noreturn]] void fail(sqlite3* handle) {
    const int code = sqlite3_errcode(handle);
    if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB)
        throw Error(QStringLiteral("Не удалось прочитать телеметрию: база данных сервера повреждена (%1)")
                        .arg(QString::fromUtf8(sqlite3_errmsg(handle))));
    throw Error(QStringLiteral("Не удалось прочитать телеметрию: %1").arg(QString::fromUtf8(sqlite3_errmsg(handle))));
}

}  // namespace

sqlite3* sqliteHandleOf(const QSqlDatabase& db) {
    const QVariant h = db.driver() ? db.driver()->handle() : QVariant();
    return h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0 ? *static_cast<sqlite3* const*>(h.data()) : nullptr;
}

QVector<TelemetryPoint> readTelemetry(const QSqlDatabase& db, int device, double beginSeconds, double endSeconds) {
    sqlite3* handle = sqliteHandleOf(db);
    if (!handle) throw Error(QStringLiteral("Не удалось прочитать телеметрию: база данных не открыта"));

    static const char* sql =
        "SELECT time, lat, lon, speed, odometer, gps_valid, ext_power, tank1, tank2, sensors "
        "FROM telemetry WHERE device = ?1 AND time >= ?2 AND time <= ?3 ORDER BY time";
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(handle, sql, -1, &raw, nullptr) != SQLITE_OK) fail(handle);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> st(raw, sqlite3_finalize);
    sqlite3_bind_int(raw, 1, device);
    sqlite3_bind_double(raw, 2, beginSeconds);
    sqlite3_bind_double(raw, 3, endSeconds);
    QVector<TelemetryPoint> out;
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        TelemetryPoint p;
        p.time = utcFromEpochSeconds(sqlite3_column_double(raw, 0));
        p.lat = sqlite3_column_double(raw, 1);
        p.lon = sqlite3_column_double(raw, 2);
        p.speedKmh = sqlite3_column_double(raw, 3);
        p.odometerM = sqlite3_column_double(raw, 4);
        p.gpsValid = sqlite3_column_int(raw, 5) != 0;
        p.externalPower = sqlite3_column_int(raw, 6) != 0;
        p.tank1 = nullableColumn(raw, 7);
        p.tank2 = nullableColumn(raw, 8);
        p.sensors = static_cast<quint8>(sqlite3_column_int(raw, 9));
        out.push_back(p);
    }
    if (rc != SQLITE_DONE) fail(handle);
    return out;
}

}  // namespace telvika::server
