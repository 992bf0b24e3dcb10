#pragma once

// The two kinds of store the store tests run on: an SQLite file in a temporary folder, and a new
// database on the throwaway PostgreSQL cluster that CTest starts for these tests (pg_virtualenv,
// tests/support/with-postgres), reached through the PG* variables it sets. Run without that
// cluster, a PostgreSQL case fails and says why rather than passing unseen. Header-only.

#include <QAtomicInt>
#include <QRegularExpression>
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>

namespace telvika::testing {

inline const QString SqliteKind = QStringLiteral("sqlite");
inline const QString PostgresKind = QStringLiteral("postgresql");

// Adds the column "store" with one row per kind, for initTestCase_data().
inline void addStoreKinds() {
    QTest::addColumn<QString>("store");
    QTest::newRow("sqlite") << SqliteKind;
    QTest::newRow("postgresql") << PostgresKind;
}

// Why the test cluster cannot be used; empty when it can.
inline QString postgresUnavailable() {
    if (qEnvironmentVariableIsEmpty("PGHOST") || qEnvironmentVariableIsEmpty("PGPORT"))
        return QStringLiteral("no PostgreSQL test cluster: run this test through ctest, which starts one with "
                              "pg_virtualenv (postgresql-common)");
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return QStringLiteral("Qt's QPSQL driver is missing (libqt6sql6-psql)");
    return {};
}

// Runs statements on the cluster's maintenance database; the error text of the first that failed.
inline QString onCluster(const QStringList& statements, const QString& database = QString()) {
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("test-admin"));
        db.setDatabaseName(database.isEmpty() ? qEnvironmentVariable("PGDATABASE") : database);
        if (!db.open()) {
            error = db.lastError().text();
        } else {
            QSqlQuery q(db);
            for (const QString& s : statements)
                if (!q.exec(s)) {
                    error = s + QStringLiteral(": ") + q.lastError().text();
                    break;
                }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-admin"));
    return error;
}

// A new, empty database on the cluster; its location for Store and --store.
inline QString newPostgresStore(const QString& hint) {
    static QAtomicInt counter;
    const QString name = QStringLiteral("t%1_%2_%3")
                             .arg(QCoreApplication::applicationPid())
                             .arg(counter.fetchAndAddRelaxed(1))
                             .arg(QString(hint).remove(QRegularExpression(QStringLiteral("[^a-z0-9]"))).left(20));
    const QString error = onCluster({QStringLiteral("CREATE DATABASE %1").arg(name)});
    if (!error.isEmpty()) qWarning("cannot create the database %s: %s", qPrintable(name), qPrintable(error));
    return QStringLiteral("postgresql:///") + name;
}

// A fresh store of the kind under test: a file named `name` in `dir`, or a new database. For
// PostgreSQL the calling test fails when there is no cluster.
#define TELVIKA_FRESH_STORE(var, kind, dir, name)                                        \
    QString var;                                                                        \
    do {                                                                                \
        if ((kind) == ::telvika::testing::PostgresKind) {                               \
            const QString why = ::telvika::testing::postgresUnavailable();              \
            if (!why.isEmpty()) QFAIL(qPrintable(why));                                 \
            var = ::telvika::testing::newPostgresStore(name);                           \
        } else {                                                                        \
            var = (dir).filePath(name);                                                 \
        }                                                                               \
    } while (false)

}  // namespace telvika::testing
