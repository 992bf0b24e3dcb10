#include "store/StoreSchema.h"

#include <QDeadlineTimer>
#include <QDateTime>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <sqlite3.h>

#include <memory>

#include "common/Error.h"
#include "compute/UtcTime.h"
#include "store/StoreFileCheck.h"
#include "store/TelemetryReader.h"

namespace telvika::server {

namespace {

const QStringList RequiredTables{QStringLiteral("meta"), QStringLiteral("groups"), QStringLiteral("vehicles"),
                                 QStringLiteral("telemetry"), QStringLiteral("control_point_sets"),
                                 QStringLiteral("control_points")};

QSqlQuery exec(const QSqlDatabase& db, const QString& sql, const QString& what) {
    QSqlQuery q(db);
    if (!q.exec(sql)) throw Error(QStringLiteral("%1: %2").arg(what, q.lastError().text()));
    return q;
}

void execAll(const QSqlDatabase& db, std::initializer_list<const char*> statements, const QString& what) {
    for (const char* sql : statements) exec(db, QString::fromLatin1(sql), what);
}

// Commits when commit() is called, rolls back otherwise.
class SchemaTransaction {
public:
    SchemaTransaction(QSqlDatabase db, const QString& what) : db_(std::move(db)) {
        if (!db_.transaction()) throw Error(QStringLiteral("%1: %2").arg(what, db_.lastError().text()));
    }
    ~SchemaTransaction() {
        if (!done_) db_.rollback();
    }
    void commit(const QString& what) {
        if (!db_.commit()) throw Error(QStringLiteral("%1: %2").arg(what, db_.lastError().text()));
        done_ = true;
    }

private:
    QSqlDatabase db_;
    bool done_ = false;
};

const char* const TelemetryTable =
    "(device INTEGER NOT NULL, time REAL NOT NULL, lat REAL NOT NULL, lon REAL NOT NULL, speed REAL NOT NULL, "
    "odometer REAL NOT NULL, gps_valid INTEGER NOT NULL, ext_power INTEGER NOT NULL, tank1 REAL, tank2 REAL, "
    "sensors INTEGER NOT NULL)";

// An OLE date of the local wall clock (version 1) as UTC seconds, through SQLite's own reading of
// the local zone: OLE day 0 is Julian day 2415018.5, the epoch is Julian day 2440587.5.
QString utcSecondsOfLocalOle(const QString& column) {
    return QStringLiteral("round((julianday(%1 + 2415018.5, 'utc') - 2440587.5) * 86400000.0) / 1000.0").arg(column);
}

}  // namespace

void StoreSchema::open() {
    const QString what = QStringLiteral("Файл «%1» не удаётся прочитать как базу данных сервера").arg(path_);
    int version = -1;
    QStringList tables;
    {
        // The first reads of the file: a failure here says what the file is not.
        QSqlQuery v(db_);
        if (!v.exec(QStringLiteral("PRAGMA user_version"))) throw Error(storefile::unreadableReason(path_, v.lastError()));
        if (v.next()) version = v.value(0).toInt();
        QSqlQuery t(db_);
        if (!t.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%'")))
            throw Error(storefile::unreadableReason(path_, t.lastError()));
        while (t.next()) tables << t.value(0).toString();
    }
    if (version > Version)
        throw Error(QStringLiteral("База данных «%1» создана более новой версией сервера (схема %2, "
                                   "эта версия понимает схему до %3). База оставлена без изменений.")
                        .arg(path_)
                        .arg(version)
                        .arg(Version));
    if (version == 0 && tables.isEmpty()) {
        exec(db_, QStringLiteral("PRAGMA journal_mode=WAL"), what);
        create();
        return;
    }
    if (version <= 0)
        throw Error(QStringLiteral("Файл «%1» не является базой данных сервера Telvika (нет версии схемы). "
                                   "Файл оставлен без изменений.")
                        .arg(path_));
    for (const QString& table : RequiredTables) {
        if (!tables.contains(table))
            throw Error(QStringLiteral("База данных «%1» повреждена: нет таблицы «%2». База оставлена без изменений.")
                            .arg(path_, table));
    }
    checkPages();
    exec(db_, QStringLiteral("PRAGMA journal_mode=WAL"), what);
    if (version == 1) migrateFromLocalTimes();
}

void StoreSchema::checkPages() {
    // Every connection of the server opens the store; its pages are read once per process, unless
    // the file has been replaced or changed in size meanwhile.
    static QMutex mutex;
    static QSet<QString> checked;
    const QFileInfo file(path_);
    const QString key = QStringLiteral("%1|%2|%3")
                            .arg(file.absoluteFilePath())
                            .arg(file.size())
                            .arg(file.lastModified().toMSecsSinceEpoch());
    {
        const QMutexLocker lock(&mutex);
        if (checked.contains(key)) return;
    }
    sqlite3* handle = sqliteHandleOf(db_);
    if (!handle) throw Error(QStringLiteral("База данных сервера «%1» не открыта").arg(path_));
    QDeadlineTimer deadline(CheckBudgetMs);
    sqlite3_progress_handler(
        handle, 10000, [](void* d) { return static_cast<QDeadlineTimer*>(d)->hasExpired() ? 1 : 0; }, &deadline);
    QStringList problems;
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(handle, "PRAGMA quick_check(5)", -1, &raw, nullptr);
    if (rc == SQLITE_OK) {
        const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> st(raw, sqlite3_finalize);
        while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
            const QString line = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)));
            if (line != QLatin1String("ok")) problems << line;
        }
    }
    const QString error = QString::fromUtf8(sqlite3_errmsg(handle));
    sqlite3_progress_handler(handle, 0, nullptr, nullptr);
    // Interrupted: the budget ran out on a large store, and what was read is sound.
    if (rc != SQLITE_DONE && rc != SQLITE_INTERRUPT && problems.isEmpty()) problems << error;
    if (!problems.isEmpty())
        throw Error(QStringLiteral("База данных «%1» повреждена (%2). База оставлена без изменений; "
                                   "восстановите её из резервной копии или удалите, чтобы начать с пустой.")
                        .arg(path_, problems.join(QStringLiteral("; ")).left(300)));
    const QMutexLocker lock(&mutex);
    checked.insert(key);
}

void StoreSchema::create() {
    const QString what = QStringLiteral("Не удалось создать базу данных сервера «%1»").arg(path_);
    SchemaTransaction tx(db_, what);
    execAll(db_,
            {"CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
             "CREATE TABLE groups (seq INTEGER PRIMARY KEY AUTOINCREMENT, id TEXT NOT NULL UNIQUE, name TEXT NOT NULL)",
             "CREATE TABLE vehicles (seq INTEGER PRIMARY KEY AUTOINCREMENT, device INTEGER NOT NULL UNIQUE, "
             "group_id TEXT NOT NULL REFERENCES groups(id), name TEXT NOT NULL, number TEXT NOT NULL, "
             "info TEXT NOT NULL, lat REAL NOT NULL DEFAULT 0, lon REAL NOT NULL DEFAULT 0, "
             "last_time REAL NOT NULL DEFAULT 0)",
             "CREATE INDEX vehicles_group ON vehicles(group_id, seq)",
             "CREATE TABLE control_point_sets (seq INTEGER PRIMARY KEY AUTOINCREMENT, device INTEGER NOT NULL "
             "REFERENCES vehicles(device), name TEXT NOT NULL, UNIQUE(device, name))",
             "CREATE TABLE control_points (seq INTEGER PRIMARY KEY AUTOINCREMENT, set_seq INTEGER NOT NULL "
             "REFERENCES control_point_sets(seq), name TEXT NOT NULL, note TEXT NOT NULL, lat REAL NOT NULL, "
             "lon REAL NOT NULL, radius REAL NOT NULL)"},
            what);
    exec(db_, QStringLiteral("CREATE TABLE telemetry %1").arg(QLatin1String(TelemetryTable)), what);
    exec(db_, QStringLiteral("CREATE UNIQUE INDEX telemetry_instant ON telemetry(device, time)"), what);
    exec(db_, QStringLiteral("PRAGMA user_version=%1").arg(Version), what);
    tx.commit(what);
}

void StoreSchema::migrateFromLocalTimes() {
    // Version 1 kept the local wall clock of the machine that wrote it, which is this user's: read
    // in this zone, every time becomes its instant. Rows that the old layout kept twice for one
    // instant (the repeated autumn hour, a file imported twice) keep their first copy.
    const QString what = QStringLiteral("Не удалось перевести базу данных сервера «%1» на время UTC").arg(path_);
    SchemaTransaction tx(db_, what);
    // Another program may have migrated the file since its version was read: read it again inside
    // the transaction (a write after that reading fails rather than converting twice).
    QSqlQuery version = exec(db_, QStringLiteral("PRAGMA user_version"), what);
    if (!version.next() || version.value(0).toInt() != 1) return;
    version.finish();
    exec(db_, QStringLiteral("CREATE TABLE telemetry_utc %1").arg(QLatin1String(TelemetryTable)), what);
    exec(db_, QStringLiteral("CREATE UNIQUE INDEX telemetry_instant ON telemetry_utc(device, time)"), what);
    exec(db_,
         QStringLiteral("INSERT OR IGNORE INTO telemetry_utc SELECT device, %1, lat, lon, speed, odometer, gps_valid, "
                        "ext_power, tank1, tank2, sensors FROM telemetry ORDER BY rowid")
             .arg(utcSecondsOfLocalOle(QStringLiteral("time"))),
         what);
    exec(db_, QStringLiteral("DROP TABLE telemetry"), what);
    exec(db_, QStringLiteral("ALTER TABLE telemetry_utc RENAME TO telemetry"), what);
    exec(db_,
         QStringLiteral("UPDATE vehicles SET last_time = %1 WHERE last_time <> 0").arg(utcSecondsOfLocalOle(QStringLiteral("last_time"))),
         what);
    // A demo fleet planned on the local clock: the live continuation regenerates the same fleet from
    // its end instant and the town's offset.
    QSqlQuery end = exec(db_, QStringLiteral("SELECT value FROM meta WHERE key = 'demo_end'"), what);
    bool ok = false;
    const double localEnd = end.next() ? end.value(0).toString().toDouble(&ok) : 0.0;
    end.finish();
    if (ok) {
        const double utcEnd = utcFromLocalOle(localEnd);
        const QString offset = QString::number(qRound((localEnd - utcEnd) * 86400.0));
        exec(db_, QStringLiteral("INSERT OR REPLACE INTO meta(key, value) VALUES('demo_end', '%1'), ('demo_utc_offset', '%2')")
                      .arg(QString::number(utcEnd, 'g', 17), offset),
             what);
    }
    exec(db_, QStringLiteral("PRAGMA user_version=%1").arg(Version), what);
    tx.commit(what);
}

}  // namespace telvika::server
