#include "store/postgres/PgSchema.h"

#include "common/Error.h"
#include "store/postgres/PgConnection.h"

#include <vector>

namespace telvika::server {

namespace {

// Taken by a migration for the length of its transaction: servers starting together migrate one
// after another, and the second finds nothing left to do.
constexpr const char* MigrationLock = "SELECT pg_advisory_xact_lock(7274130601)";

const std::vector<std::vector<const char*>>& migrations() {
    static const std::vector<std::vector<const char*>> steps{
        // Version 1.
        {"CREATE TABLE meta (key text PRIMARY KEY, value text NOT NULL)",
         "CREATE TABLE groups (seq bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, id text NOT NULL UNIQUE, "
         "name text NOT NULL)",
         "CREATE TABLE vehicles (seq bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, device integer NOT NULL UNIQUE, "
         "group_id text NOT NULL REFERENCES groups(id), name text NOT NULL, number text NOT NULL, info text NOT NULL, "
         "lat double precision NOT NULL DEFAULT 0, lon double precision NOT NULL DEFAULT 0, last_time timestamptz)",
         "CREATE INDEX vehicles_group ON vehicles(group_id, seq)",
         "CREATE TABLE control_point_sets (seq bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
         "device integer NOT NULL REFERENCES vehicles(device), name text NOT NULL, UNIQUE(device, name))",
         "CREATE TABLE control_points (seq bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
         "set_seq bigint NOT NULL REFERENCES control_point_sets(seq), name text NOT NULL, note text NOT NULL, "
         "lat double precision NOT NULL, lon double precision NOT NULL, radius double precision NOT NULL)",
         // Monthly partitions are made as data arrives (PgTelemetry); the key's index in each of
         // them serves "one device, one period" and refuses a second row for one instant.
         "CREATE TABLE telemetry (device integer NOT NULL, time timestamptz NOT NULL, lat double precision NOT NULL, "
         "lon double precision NOT NULL, speed double precision NOT NULL, odometer double precision NOT NULL, "
         "gps_valid boolean NOT NULL, ext_power boolean NOT NULL, tank1 double precision, tank2 double precision, "
         "sensors smallint NOT NULL, PRIMARY KEY (device, time)) PARTITION BY RANGE (time)"},
        // Version 2: telemetry in blocks of points (PgBlocks), one device within one UTC hour a
        // block; a month of one vehicle is some 700 rows instead of 2.6 million. The monthly
        // partitions keep their names; the rows of each are packed into blocks in one statement.
        {"CREATE TABLE telemetry_blocks (device integer NOT NULL, first timestamptz NOT NULL, last timestamptz NOT NULL, "
         "count integer NOT NULL, points bytea NOT NULL) PARTITION BY RANGE (first)",
         "CREATE INDEX telemetry_blocks_device ON telemetry_blocks (device, first)",
         "DO $$ DECLARE p record; BEGIN "
         "FOR p IN SELECT c.relname AS name, pg_get_expr(c.relpartbound, c.oid) AS bound FROM pg_inherits i "
         "JOIN pg_class c ON c.oid = i.inhrelid WHERE i.inhparent = 'telemetry'::regclass LOOP "
         "EXECUTE format('ALTER TABLE %I RENAME TO %I', p.name, p.name || '_rows'); "
         "EXECUTE format('CREATE TABLE %I PARTITION OF telemetry_blocks %s', p.name, p.bound); "
         "EXECUTE format('ALTER TABLE %I ALTER COLUMN points SET STORAGE EXTERNAL', p.name); "
         "END LOOP; END $$",
         "INSERT INTO telemetry_blocks (device, first, last, count, points) "
         "SELECT device, min(time), max(time), count(*), string_agg("
         "int8send(((extract(epoch FROM time) - 946684800) * 1000000)::bigint) || float8send(lat) || float8send(lon) "
         "|| float8send(speed) || float8send(odometer) "
         "|| decode(CASE WHEN gps_valid THEN CASE WHEN ext_power THEN '03' ELSE '01' END "
         "ELSE CASE WHEN ext_power THEN '02' ELSE '00' END END, 'hex') "
         "|| float8send(coalesce(tank1, 'NaN')) || float8send(coalesce(tank2, 'NaN')) || int2send(sensors), "
         "''::bytea ORDER BY time) "
         "FROM telemetry GROUP BY device, date_trunc('hour', time AT TIME ZONE 'UTC')",
         "DROP TABLE telemetry"},
    };
    return steps;
}

}  // namespace

void PgSchema::migrate(PgConnection& c) {
    static_assert(Version >= 1);
    const QString what = QStringLiteral("Не удалось подготовить базу данных сервера «%1»").arg(c.location().display());
    if (migrations().size() != static_cast<size_t>(Version)) throw Error(what);
    // A database that is up to date is only read: that works on a read-only replica too, and takes
    // no lock.
    if (c.exec("SELECT to_regclass('schema_version') IS NOT NULL", what).text(0, 0) == QLatin1String("t")) {
        const qint64 current = c.exec("SELECT coalesce(max(version), 0) FROM schema_version", what).toInt(0, 0);
        if (current == Version) return;
    }
    PgConnection::Transaction tx(c);
    c.exec(MigrationLock, what);
    c.exec("CREATE TABLE IF NOT EXISTS schema_version (version integer PRIMARY KEY, "
           "applied timestamptz NOT NULL DEFAULT now())",
           what);
    const int current = static_cast<int>(c.exec("SELECT coalesce(max(version), 0) FROM schema_version", what).toInt(0, 0));
    if (current > Version)
        throw Error(QStringLiteral("База данных «%1» подготовлена более новой версией сервера (схема %2, эта версия "
                                   "понимает схему до %3). База оставлена без изменений.")
                        .arg(c.location().display())
                        .arg(current)
                        .arg(Version));
    if (current == Version) return;  // rolled back: nothing was changed
    for (int version = current + 1; version <= Version; ++version) {
        for (const char* sql : migrations()[static_cast<size_t>(version - 1)]) c.exec(sql, what);
        c.exec("INSERT INTO schema_version(version) VALUES($1)", {pgNumber(qint64(version))}, what);
    }
    tx.commit();
}

}  // namespace telvika::server
