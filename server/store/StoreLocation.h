#pragma once

#include <QString>
#include <QStringList>

namespace telvika::server {

// Where the server's store lives, as given on a command line: "sqlite:PATH" (or a bare path) for
// the embedded file of one user, or a PostgreSQL URI "postgresql://[user@]host[:port]/database"
// ("postgres://" too) for a fleet store that several servers share. A password is never taken from
// the URI: anyone can read a command line in the process list; libpq finds it in PGPASSWORD or
// ~/.pgpass.
struct StoreLocation {
    enum class Kind { Sqlite, Postgres };
    Kind kind = Kind::Sqlite;
    QString path;  // SQLite: the database file

    // PostgreSQL: empty parts are left to libpq's defaults (PGHOST, PGPORT, PGUSER, PGDATABASE).
    QString host;
    int port = 0;
    QString database;
    QString user;
    QStringList options;  // further "key=value" connection parameters from the URI's query

    // Parses a location; throws telvika::Error (Russian) when it cannot be used.
    static StoreLocation parse(const QString& text);
    static bool isPostgresUri(const QString& text);

    // "host:port" (or what libpq will use) for messages.
    QString serverName() const;
    // The location as the user would write it again (never with a password).
    QString display() const;
};

}  // namespace telvika::server
