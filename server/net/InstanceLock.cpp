#include "net/InstanceLock.h"

#include <QFile>
#include <QLockFile>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace telvika::server {

InstanceLock::InstanceLock() = default;

InstanceLock::~InstanceLock() {
#if defined(Q_OS_UNIX)
    if (fd_ >= 0) ::close(fd_);  // the file stays; the next server locks it again
#endif
}

bool InstanceLock::held() const { return fd_ >= 0 || (lockFile_ && lockFile_->isLocked()); }

bool InstanceLock::acquire(const QString& path, QString* error) {
    if (held()) return true;
#if defined(Q_OS_UNIX)
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        *error = QStringLiteral("Не удалось открыть файл блокировки «%1»: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        ::close(fd);
        *error = code == EWOULDBLOCK
                     ? QStringLiteral("Сервер Telvika уже работает: файл блокировки «%1» занят другим процессом").arg(path)
                     : QStringLiteral("Не удалось заблокировать файл «%1»: %2")
                           .arg(path, QString::fromLocal8Bit(std::strerror(code)));
        return false;
    }
    // The holder's process id, for whoever looks at the file.
    if (::ftruncate(fd, 0) == 0) {
        const QByteArray pid = QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
        if (::write(fd, pid.constData(), static_cast<size_t>(pid.size())) < 0) {
            // Only informative; the lock itself is held.
        }
    }
    fd_ = fd;
    return true;
#else
    lockFile_ = std::make_unique<QLockFile>(path);
    lockFile_->setStaleLockTime(0);
    if (lockFile_->tryLock(0)) return true;
    *error = lockFile_->error() == QLockFile::LockFailedError
                 ? QStringLiteral("Сервер Telvika уже работает: файл блокировки «%1» занят другим процессом").arg(path)
                 : QStringLiteral("Не удалось создать файл блокировки «%1»").arg(path);
    lockFile_.reset();
    return false;
#endif
}

}  // namespace telvika::server
