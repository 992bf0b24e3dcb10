#include "SocketLocation.h"

#include "PeerCredentials.h"

#include <QDir>
#include <QFile>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/types.h>
#endif

namespace telvika::automation {

QString checkPrivateFolder(const QString& path, qint64 userId) {
#if defined(Q_OS_UNIX)
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &st) != 0)
        return QStringLiteral("папка «%1» недоступна: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISLNK(st.st_mode)) return QStringLiteral("«%1» — символическая ссылка, а не папка").arg(path);
    if (!S_ISDIR(st.st_mode)) return QStringLiteral("«%1» — не папка").arg(path);
    if (static_cast<qint64>(st.st_uid) != userId)
        return QStringLiteral("папка «%1» принадлежит другому пользователю (uid %2, а не %3)")
            .arg(path)
            .arg(st.st_uid)
            .arg(userId);
    if ((st.st_mode & 077) != 0)
        return QStringLiteral("папка «%1» доступна другим пользователям (права %2, нужны 700)")
            .arg(path)
            .arg(st.st_mode & 0777, 3, 8, QLatin1Char('0'));
    return QString();
#else
    Q_UNUSED(path);
    Q_UNUSED(userId);
    return QString();
#endif
}

bool ensurePrivateFolder(const QString& path, qint64 userId, QString* error) {
#if defined(Q_OS_UNIX)
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        *error = QStringLiteral("Не удалось создать папку сокета «%1»: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
#endif
    const QString problem = checkPrivateFolder(path, userId);
    if (problem.isEmpty()) return true;
    *error = QStringLiteral("Папка сокета сервера Telvika небезопасна: %1").arg(problem);
    return false;
}

bool privateSocketFolder(const QString& runtimeDir, const QString& tempDir, qint64 userId, QString* folder,
                         QString* error) {
    // The runtime folder is the session's own (mode 0700); one that is not is not trusted.
    if (!runtimeDir.isEmpty() && QDir::isAbsolutePath(runtimeDir) && checkPrivateFolder(runtimeDir, userId).isEmpty()) {
        const QString candidate = QDir(runtimeDir).filePath(QStringLiteral("telvika"));
        if (ensurePrivateFolder(candidate, userId, error)) {
            *folder = candidate;
            return true;
        }
        return false;
    }
    const QString candidate = QDir(tempDir).filePath(QStringLiteral("telvika-%1").arg(userId));
    if (!ensurePrivateFolder(candidate, userId, error)) return false;
    *folder = candidate;
    return true;
}

bool resolveSocketName(const QString& name, QString* path, QString* error) {
#if defined(Q_OS_UNIX)
    if (name.contains(QLatin1Char('/'))) {
        *path = name;
        return true;
    }
    if (name.isEmpty()) {
        *error = QStringLiteral("Не задано имя сокета сервера Telvika");
        return false;
    }
    QString folder;
    if (!privateSocketFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath(), currentUserId(), &folder,
                             error))
        return false;
    *path = QDir(folder).filePath(name);
    return true;
#else
    Q_UNUSED(error);
    *path = name;
    return true;
#endif
}

QString lockFilePath(const QString& socketPath) { return socketPath + QStringLiteral(".lock"); }

}  // namespace telvika::automation
