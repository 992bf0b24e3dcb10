#include "common/FileReplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <io.h>
#endif

namespace telvika {

namespace {

bool fail(QString* error, const QString& text) {
    if (error) *error = text;
    return false;
}

// A new file beside target with a name nobody else uses, created for writing only.
bool openTemporary(const QString& target, QFile& file) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString suffix = QString::number(QRandomGenerator::global()->generate() & 0xffffff, 16);
        file.setFileName(target + QLatin1Char('.') + suffix + QStringLiteral(".tmp"));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return true;
        if (file.exists()) continue;  // taken: another name
        return false;
    }
    return false;
}

// Forces the written data of an open file to the disk; false (with the system's text) on failure.
bool syncToDisk(QFile& file, QString* reason) {
#ifdef Q_OS_UNIX
    if (::fsync(file.handle()) == 0) return true;
    *reason = QString::fromLocal8Bit(std::strerror(errno));
    return false;
#elif defined(Q_OS_WIN)
    if (::_commit(file.handle()) == 0) return true;
    *reason = QStringLiteral("_commit");
    return false;
#else
    Q_UNUSED(file);
    Q_UNUSED(reason);
    return true;
#endif
}

// The rename of the complete new file over the old one, in one step where the system allows it.
bool renameOver(const QString& from, const QString& to, QString* reason) {
    std::error_code ec;
#ifdef Q_OS_WIN
    std::filesystem::rename(std::filesystem::path(from.toStdWString()), std::filesystem::path(to.toStdWString()), ec);
#else
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(from).toStdString()),
                            std::filesystem::path(QFile::encodeName(to).toStdString()), ec);
#endif
    if (!ec) return true;
    *reason = QString::fromLocal8Bit(ec.message().c_str());
    return false;
}

// After the rename the folder's entry is forced to the disk too, so that a power loss right after
// a save finds the new file. Failures here lose nothing already reported, so they are ignored.
void syncFolder([[maybe_unused]] const QString& folder) {
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
#endif
}

// The last steps of every replacement: the old file's permissions, the rename, the folder's entry.
bool putInPlace(const QString& temporary, const QString& target, QString* error) {
    const QFileInfo old(target);
    if (old.exists()) QFile::setPermissions(temporary, old.permissions());
    QString reason;
    if (!renameOver(temporary, target, &reason))
        return fail(error, QStringLiteral("не удалось заменить файл (%1)").arg(reason));
    syncFolder(old.absolutePath());
    return true;
}

}  // namespace

QString replacedFile(const QString& path) {
    const QFileInfo link(path);
    return link.isSymLink() ? link.symLinkTarget() : path;
}

bool replaceFileContents(const QString& path, const QByteArray& bytes, QString* error) {
    const QString target = replacedFile(path);
    const QFileInfo old(target);

    QFile file;
    if (!openTemporary(target, file))
        return fail(error, QStringLiteral("не удалось создать временный файл в папке %1 (%2)")
                               .arg(QDir::toNativeSeparators(old.absolutePath()), file.errorString()));
    const QString temporary = file.fileName();
    auto discard = [&](const QString& text) {
        file.close();
        QFile::remove(temporary);
        return fail(error, text);
    };

    // Each step is checked: a write that took fewer bytes, a flush that could not hand the buffer
    // to the system (where a full disk or a size limit is met for a small file), the sync to the
    // disk, and the close.
    const qint64 written = file.write(bytes);
    if (written != bytes.size() || !file.flush())
        return discard(QStringLiteral("запись прервана (%1)").arg(file.errorString()));
    QString reason;
    if (!syncToDisk(file, &reason)) return discard(QStringLiteral("данные не записаны на диск (%1)").arg(reason));
    file.close();
    if (file.error() != QFileDevice::NoError)
        return discard(QStringLiteral("файл не закрыт (%1)").arg(file.errorString()));

    if (!putInPlace(temporary, target, error)) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}

bool replaceFileWith(const QString& written, const QString& path, QString* error) {
    QFile file(written);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("файл не был записан (%1)").arg(file.errorString()));
    QString reason;
    if (!syncToDisk(file, &reason)) return fail(error, QStringLiteral("данные не записаны на диск (%1)").arg(reason));
    file.close();
    return putInPlace(written, replacedFile(path), error);
}

}  // namespace telvika
