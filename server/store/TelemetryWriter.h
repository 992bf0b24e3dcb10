#pragma once

#include <QSqlDatabase>
#include <QVector>

#include <memory>

#include "compute/Telemetry.h"
#include "store/StoreBackend.h"

struct sqlite3;
struct sqlite3_stmt;

namespace telvika::server {

class Store;

// Inserts telemetry rows straight through the SQLite handle behind the store's Qt SQL connection,
// inside a transaction the caller holds: a million points of a long import would otherwise cost a
// QVariant per value and most of the import's time. Throws telvika::Error on failure.
class TelemetryInserter {
public:
    explicit TelemetryInserter(const QSqlDatabase& db);
    ~TelemetryInserter();
    TelemetryInserter(const TelemetryInserter&) = delete;
    TelemetryInserter& operator=(const TelemetryInserter&) = delete;

    // True when the row is new, false when the store holds that device and instant already.
    bool insert(int device, const TelemetryPoint& p);

private:
    sqlite3* handle_ = nullptr;
    sqlite3_stmt* statement_ = nullptr;
};

// Appends one device's points batch by batch, all in one transaction, so that a file of millions of
// points is never held in memory whole (on SQLite; a shared store keeps them until commit()):
// nothing is in the store before commit(), and the points of an append that is destroyed
// uncommitted (a failure, an exception) are all left out. Every batch is checked against the
// store's ranges like Store::appendTelemetry; one bad point refuses the whole append. Meant for one
// writer at a time on the store's own thread.
class TelemetryBatches {
public:
    // Throws when the device is unknown or the transaction cannot begin.
    TelemetryBatches(Store& store, int device);
    ~TelemetryBatches();
    TelemetryBatches(const TelemetryBatches&) = delete;
    TelemetryBatches& operator=(const TelemetryBatches&) = delete;

    void append(const QVector<TelemetryPoint>& points);
    // Moves the vehicle's last position to the latest point appended and commits.
    TelemetryAppend commit();

private:
    int device_;
    std::unique_ptr<TelemetryBatchWriter> writer_;
};

// The SQLite writer behind TelemetryBatches: a transaction of the store's connection, rows written
// through TelemetryInserter as they come.
class SqliteTelemetryBatches : public TelemetryBatchWriter {
public:
    SqliteTelemetryBatches(const QSqlDatabase& db, int device);
    ~SqliteTelemetryBatches() override;

    void append(const QVector<TelemetryPoint>& points) override;
    TelemetryAppend commit() override;

private:
    QSqlDatabase db_;
    int device_;
    bool open_ = false;
    std::unique_ptr<TelemetryInserter> inserter_;
    int stored_ = 0;
    int alreadyStored_ = 0;
    bool haveLatest_ = false;
    TelemetryPoint latest_;
};

// Moves a vehicle's last known position to the point when it is not older than the one stored.
void updateLastPosition(const QSqlDatabase& db, int device, const TelemetryPoint& latest);

}  // namespace telvika::server
