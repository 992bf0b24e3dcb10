#include "store/TelemetryReader.h"

#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

#include <cmath>
#include <exception>
#include <memory>
#include <thread>

#include "common/Error.h"
#include "compute/UtcTime.h"
#include "store/StoreBackend.h"

namespace telvika::server {

namespace {

using Statement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;
using Connection = std::unique_ptr<sqlite3, int (*)(sqlite3*)>;

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

Statement prepare(sqlite3* handle, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(handle, sql, -1, &raw, nullptr) != SQLITE_OK) fail(handle);
    return Statement(raw, sqlite3_finalize);
}

void exec(sqlite3* handle, const char* sql) {
    if (sqlite3_exec(handle, sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail(handle);
}

// Appends the device's rows with begin <= time < end (or <= end when `endIncluded`), in time order.
void readRows(sqlite3* handle, int device, double begin, double end, bool endIncluded, QVector<TelemetryPoint>& out) {
    static const char* closed =
        "SELECT time, lat, lon, speed, odometer, gps_valid, ext_power, tank1, tank2, sensors "
        "FROM telemetry WHERE device = ?1 AND time >= ?2 AND time <= ?3 ORDER BY time";
    static const char* open =
        "SELECT time, lat, lon, speed, odometer, gps_valid, ext_power, tank1, tank2, sensors "
        "FROM telemetry WHERE device = ?1 AND time >= ?2 AND time < ?3 ORDER BY time";
    const Statement st = prepare(handle, endIncluded ? closed : open);
    sqlite3_stmt* raw = st.get();
    sqlite3_bind_int(raw, 1, device);
    sqlite3_bind_double(raw, 2, begin);
    sqlite3_bind_double(raw, 3, end);
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
}

// A read-only connection of one thread to the store's file, its reads mapped into memory rather
// than copied page by page; null when it cannot be opened (the caller then reads alone).
Connection openReader(const char* file) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(file, &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    Connection c(raw, sqlite3_close);
    if (rc != SQLITE_OK) return Connection(nullptr, sqlite3_close);
    sqlite3_busy_timeout(raw, 10000);
    sqlite3_exec(raw, "PRAGMA mmap_size=1099511627776", nullptr, nullptr, nullptr);
    return c;
}

// Starts a read transaction on the connection; the marker of what it sees: telemetry is only ever
// added to, so two transactions that see the same last row see the same rows.
qint64 beginRead(sqlite3* handle) {
    exec(handle, "BEGIN");
    const Statement st = prepare(handle, "SELECT max(rowid) FROM telemetry");
    if (sqlite3_step(st.get()) != SQLITE_ROW) fail(handle);
    return sqlite3_column_int64(st.get(), 0);
}

// The first and last instant of the device's rows in the period; false when it has none.
bool span(sqlite3* handle, int device, double begin, double end, double* first, double* last) {
    const Statement st = prepare(handle,
                                 "SELECT (SELECT min(time) FROM telemetry WHERE device = ?1 AND time >= ?2 AND time <= ?3), "
                                 "(SELECT max(time) FROM telemetry WHERE device = ?1 AND time >= ?2 AND time <= ?3)");
    sqlite3_bind_int(st.get(), 1, device);
    sqlite3_bind_double(st.get(), 2, begin);
    sqlite3_bind_double(st.get(), 3, end);
    if (sqlite3_step(st.get()) != SQLITE_ROW) fail(handle);
    if (sqlite3_column_type(st.get(), 0) == SQLITE_NULL) return false;
    *first = sqlite3_column_double(st.get(), 0);
    *last = sqlite3_column_double(st.get(), 1);
    return true;
}

// Reads a long period on two connections of one snapshot: the later half on a second thread while
// this one reads the earlier half. False when two such connections cannot be had (nothing read).
bool readInHalves(const char* file, int device, double begin, double end, QVector<TelemetryPoint>& out) {
    Connection early = openReader(file), late = openReader(file);
    if (!early || !late) return false;
    if (beginRead(early.get()) != beginRead(late.get())) return false;  // a write came in between
    double first = 0.0, last = 0.0;
    if (!span(early.get(), device, begin, end, &first, &last)) return true;
    const double middle = first + (last - first) / 2.0;
    QVector<TelemetryPoint> later;
    std::exception_ptr laterFailure;
    std::thread worker([&] {
        try {
            readRows(late.get(), device, middle, end, true, later);
        } catch (...) {
            laterFailure = std::current_exception();
        }
    });
    try {
        readRows(early.get(), device, begin, middle, false, out);
    } catch (...) {
        worker.join();
        throw;
    }
    worker.join();
    if (laterFailure) std::rethrow_exception(laterFailure);
    out.append(later);
    return true;
}

}  // namespace

sqlite3* sqliteHandleOf(const QSqlDatabase& db) {
    const QVariant h = db.driver() ? db.driver()->handle() : QVariant();
    return h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0 ? *static_cast<sqlite3* const*>(h.data()) : nullptr;
}

QVector<TelemetryPoint> readTelemetry(const QSqlDatabase& db, int device, double beginSeconds, double endSeconds) {
    sqlite3* handle = sqliteHandleOf(db);
    if (!handle) throw Error(QStringLiteral("Не удалось прочитать телеметрию: база данных не открыта"));
    QVector<TelemetryPoint> out;
    // Inside a transaction of the store's own connection only that connection sees all it holds.
    const char* file = sqlite3_db_filename(handle, "main");
    const bool alone = !(endSeconds - beginSeconds > ReadInHalvesAfterSeconds) || !file || !*file || !sqlite3_get_autocommit(handle);
    if (!alone && readInHalves(file, device, beginSeconds, endSeconds, out)) return out;
    readRows(handle, device, beginSeconds, endSeconds, true, out);
    return out;
}

}  // namespace telvika::server
