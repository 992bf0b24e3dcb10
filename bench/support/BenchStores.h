#pragma once

// Store locations for the benchmarks that set the two stores side by side: an SQLite file in a
// temporary folder, or a new database on the PostgreSQL cluster that scripts/bench starts for them
// (tests/support/with-postgres sets the PG* variables). Header-only.

#include <QAtomicInt>
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QTemporaryDir>

namespace telvika::bench {

// Why PostgreSQL cannot be measured here; empty when it can.
inline QString postgresMissing() {
    if (qEnvironmentVariableIsEmpty("PGHOST") || qEnvironmentVariableIsEmpty("PGPORT"))
        return QStringLiteral("no PostgreSQL cluster: run through scripts/bench");
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) return QStringLiteral("no QPSQL driver");
    return {};
}

// Runs one statement on the cluster's maintenance database; the error text, empty on success.
inline QString onCluster(const QString& statement) {
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench-admin"));
        db.setDatabaseName(qEnvironmentVariable("PGDATABASE"));
        if (!db.open()) error = db.lastError().text();
        else if (QSqlQuery q(db); !q.exec(statement)) error = q.lastError().text();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-admin"));
    return error;
}

// A fresh store of the kind ("sqlite" or "postgresql"); empty with *error when none can be made.
inline QString freshStore(const QString& kind, const QTemporaryDir& dir, QString* error) {
    static QAtomicInt counter;
    const int n = counter.fetchAndAddRelaxed(1);
    if (kind == QLatin1String("sqlite")) return dir.filePath(QStringLiteral("store-%1.db").arg(n));
    *error = postgresMissing();
    if (!error->isEmpty()) return {};
    const QString name = QStringLiteral("bench_%1_%2").arg(QCoreApplication::applicationPid()).arg(n);
    *error = onCluster(QStringLiteral("CREATE DATABASE %1").arg(name));
    return error->isEmpty() ? QStringLiteral("postgresql:///") + name : QString();
}

// Drops a database made by freshStore (nothing for an SQLite file, which goes with its folder).
inline void dropStore(const QString& location) {
    if (location.startsWith(QLatin1String("postgresql:///")))
        onCluster(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(location.mid(14)));
}

}  // namespace telvika::bench
