#include "app/PrivateData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace telvika::server {

namespace {

#if defined(Q_OS_UNIX)
QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

// Narrows `path` to `mode` when it exists, belongs to this user and allows more; true otherwise.
bool narrow(const QString& path, mode_t mode, QString* error) {
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &st) != 0) return errno == ENOENT;
    if (S_ISLNK(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 0777 & ~mode) == 0) return true;
    if (::chmod(native.constData(), st.st_mode & mode) == 0) return true;
    *error = QStringLiteral("Не удалось закрыть доступ другим пользователям к «%1»: %2").arg(path, systemError());
    return false;
}
#endif

}  // namespace

bool PrivateData::secure(const QString& dataFolder, const QString& databasePath, QString* error) {
#if defined(Q_OS_UNIX)
    ::umask(077);
    const QString folder = QDir::cleanPath(QDir(dataFolder).absolutePath());
    if (!QFileInfo::exists(folder)) {
        // Parents as usual, the data folder itself private from the start.
        const QString parent = QFileInfo(folder).absolutePath();
        if (!QDir().mkpath(parent) || (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)) {
            *error = QStringLiteral("Не удалось создать папку данных «%1»: %2").arg(folder, systemError());
            return false;
        }
    }
    // The folder is narrowed unless it is the root or the home folder itself (a --data pointing
    // there): those keep their modes and the store's files alone are closed.
    const bool sharedFolder = folder == QDir::rootPath() || folder == QDir::cleanPath(QDir::homePath());
    if (!sharedFolder && !narrow(folder, 0700, error)) return false;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        if (!databasePath.isEmpty() && !narrow(databasePath + QLatin1String(suffix), 0600, error)) return false;
#else
    Q_UNUSED(dataFolder);
    Q_UNUSED(databasePath);
    Q_UNUSED(error);
#endif
    return true;
}

}  // namespace telvika::server
