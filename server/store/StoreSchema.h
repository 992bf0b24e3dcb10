#pragma once

#include <QSqlDatabase>
#include <QString>

namespace telvika::server {

// The layout of the store's database file and its versions.
//   1: telemetry times were local wall-clock OLE dates without a zone;
//   2: telemetry times and last positions' times are UTC seconds since 1970, one row per device
//      and instant.
class StoreSchema {
public:
    static constexpr int Version = 2;
    // Time the check of an existing file at opening may take; a store too large to be read whole
    // in that time is checked as far as it got.
    static constexpr int CheckBudgetMs = 3000;

    StoreSchema(const QSqlDatabase& db, const QString& path) : db_(db), path_(path) {}

    // Creates the schema in an empty file; checks an existing one (its version, its tables and its
    // pages, within the time budget) and migrates a store of version 1 in one transaction. A
    // foreign, newer or damaged file is refused with a Russian message and left as it is.
    void open();

private:
    void create();
    void migrateFromLocalTimes();
    void checkPages();

    QSqlDatabase db_;
    QString path_;
};

}  // namespace telvika::server
