#pragma once

// Where the server's local socket lives. A short name ("telvika-server-anna", "telvika-test-1")
// becomes a socket file in a folder that only the current user can reach: the session's runtime
// folder ($XDG_RUNTIME_DIR/telvika) when there is one, else a folder of its own in the temporary
// folder ("telvika-<uid>"), created with mode 0700 and checked on every use. A name holding a "/"
// is a path chosen by the caller and is used as given.

#include <QString>
#include <QtGlobal>

namespace telvika::automation {

// Empty when `path` is a real folder (not a link) owned by `userId` that no other user can read,
// write or enter; otherwise the Russian reason it must not hold the socket.
QString checkPrivateFolder(const QString& path, qint64 userId);

// Creates `path` with mode 0700 when it does not exist and checks it; false with *error otherwise.
bool ensurePrivateFolder(const QString& path, qint64 userId, QString* error);

// The private socket folder for this user: below `runtimeDir` when that one is itself private,
// else in `tempDir`. Created when missing; false with *error when no safe folder can be had.
bool privateSocketFolder(const QString& runtimeDir, const QString& tempDir, qint64 userId, QString* folder,
                         QString* error);

// The full socket path of `name` for this process's user and environment (see above). On systems
// without socket files (named pipes) the name itself. False with *error (Russian).
bool resolveSocketName(const QString& name, QString* path, QString* error);

// The lock file that one running server holds beside its socket.
QString lockFilePath(const QString& socketPath);

}  // namespace telvika::automation
