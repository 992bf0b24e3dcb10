#pragma once

#include <QString>

namespace telvika::server {

// The server's data is its user's alone: the data folder gets mode 0700 (created so, or narrowed
// when it is ours and wider; never the root or the home folder) and the store's files 0600, and
// everything the process creates later is private too (umask 077). Elsewhere than on POSIX systems
// it does nothing. An empty databasePath (a store elsewhere than in a file) narrows only the folder.
class PrivateData {
public:
    // False with *error (Russian) when the folder cannot be created or made private.
    static bool secure(const QString& dataFolder, const QString& databasePath, QString* error);
};

}  // namespace telvika::server
