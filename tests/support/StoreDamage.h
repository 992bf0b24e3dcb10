#pragma once

// Real store files made bad for the fault tests: their bytes, damaged pages, and, for root, a way
// to make its child processes respect a folder's mode. Header-only.

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#if defined(Q_OS_LINUX)
#include <linux/capability.h>
#include <sys/prctl.h>
#endif

namespace telvika::testing {

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QByteArray hashOf(const QString& path) {
    return QCryptographicHash::hash(fileBytes(path), QCryptographicHash::Sha256);
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// The pages of the file that hold the telemetry rows and their index, read from SQLite's own page
// statistics on the store at rest.
inline QList<qint64> telemetryPages(const QString& path) {
    QList<qint64> pages;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("pages"));
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral(
                    "SELECT pageno FROM dbstat WHERE name IN ('telemetry', 'telemetry_instant')")))
                while (q.next()) pages << q.value(0).toLongLong();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pages"));
    return pages;
}

// Overwrites the given pages with a fixed pattern.
inline bool damagePages(const QString& path, const QList<qint64>& pages) {
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite) || pages.isEmpty()) return false;
    QByteArray garbage(4096, '\0');
    for (int i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 7919 + 13) % 251);
    for (qint64 page : pages)
        if (!f.seek((page - 1) * 4096) || f.write(garbage) != garbage.size()) return false;
    return true;
}

// Eight pages in the middle of the file, as a failing disk would damage them.
inline bool damageMiddlePages(const QString& path) {
    const qint64 pages = QFileInfo(path).size() / 4096;
    QList<qint64> middle;
    for (qint64 i = 1; i <= 8 && pages >= 100; ++i) middle << pages / 2 + i;
    return damagePages(path, middle);
}

#if defined(Q_OS_LINUX)
// Root writes into any folder. Taking the override out of the bounding set makes the servers this
// process starts from now on respect the folder's mode (the test process keeps its own rights).
inline bool dropPermissionOverrideForChildren() {
    return ::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) == 0 &&
           ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) == 0;
}
#endif

}  // namespace telvika::testing
