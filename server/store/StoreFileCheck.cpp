#include "store/StoreFileCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>

#include <sqlite3.h>

#include "common/Error.h"

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace telvika::server::storefile {

namespace {

// The primary SQLite result code of a Qt SQL error, or -1 when it has none.
int primaryCode(const QSqlError& error) {
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric);
    return numeric ? code & 0xff : -1;  // an extended code carries the primary one in its low byte
}

// Whether this process may create files in the folder, judged by its effective rights (access()
// alone answers for the real user, which for root means every right it could take back).
bool canCreateFilesIn(const QString& folder) {
#if defined(Q_OS_UNIX)
    return ::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK | X_OK, AT_EACCESS) == 0;
#else
    return QFileInfo(folder).isWritable();
#endif
}

}  // namespace

void checkBeforeOpening(const QString& path) {
    const QFileInfo file(path);
    if (file.exists() && file.isFile() && file.size() == 0)
        throw Error(
            QStringLiteral("Файл «%1» пуст (0 байт) и не является базой данных сервера Telvika. Файл "
                           "оставлен без изменений; восстановите базу из резервной копии или удалите файл, "
                           "чтобы начать с пустой.")
                .arg(path));
    const QFileInfo folder(file.absolutePath());
    if (folder.isDir() && !canCreateFilesIn(folder.absoluteFilePath()))
        throw Error(
            QStringLiteral("Папка данных сервера «%1» недоступна для записи: в ней сервер ведёт журнал базы "
                           "данных «%2». База оставлена без изменений; дайте права на "
                           "запись в папку или укажите другую.")
                .arg(QDir::toNativeSeparators(folder.absoluteFilePath()), path));
}

QString unreadableReason(const QString& path, const QSqlError& error) {
    const int code = primaryCode(error);
    const QString detail = error.databaseText().trimmed();
    const QString kept = QStringLiteral("Файл оставлен без изменений.");
    if (code == SQLITE_NOTADB)
        return QStringLiteral(
                   "Файл «%1» не является базой данных сервера Telvika: это не файл базы SQLite. %2")
            .arg(path, kept);
    if (code == SQLITE_CORRUPT)
        return QStringLiteral(
                   "База данных «%1» повреждена (%2). %3 Восстановите её из резервной копии или "
                   "удалите, чтобы начать с пустой.")
            .arg(path, detail, kept);
    if ((code == SQLITE_READONLY || code == SQLITE_CANTOPEN || code == SQLITE_PERM))
        return QStringLiteral(
                   "Базу данных «%1» не удаётся открыть для записи: серверу нужны права на запись в "
                   "файл и в его папку (%2). %3")
            .arg(path, detail, kept);
    return QStringLiteral("Файл «%1» не удаётся прочитать как базу данных сервера (%2). %3")
        .arg(path, error.text().trimmed(), kept);
}

QString statementFailure(const QString& what, const QSqlError& error) {
    const int code = primaryCode(error);
    if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB)
        return QStringLiteral("%1: база данных сервера повреждена (%2)")
            .arg(what, error.databaseText().trimmed());
    return QStringLiteral("%1: %2").arg(what, error.text());
}

}  // namespace telvika::server::storefile
