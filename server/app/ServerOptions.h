#pragma once

#include <QString>
#include <QStringList>

namespace telvika::server {

// The server's command line.
struct ServerOptions {
    QString socketName;   // empty: the per-user default
    QString dataFolder;   // empty: the per-user data folder
    QString store;        // empty: the SQLite file in the data folder; else "sqlite:PATH" or a PostgreSQL URI
    bool demo = true;     // seed the demo fleet into an empty store
    int liveSeconds = 0;  // > 0: move the demo fleet every that many seconds
    QString errorFile;    // where a failed start writes its reason (for the client that started it)
    bool help = false;

    // False with *error (Russian) on a bad command line.
    static bool parse(const QStringList& arguments, ServerOptions* options, QString* error);
    static QString usage();
    static QString defaultDataFolder();
};

}  // namespace telvika::server
