#pragma once

#include "store/StoreBackend.h"

namespace telvika::server {

// The embedded store of one user: an SQLite file in WAL mode (one writer and many readers side by
// side), times as UTC seconds since 1970.
class SqliteStore : public StoreBackend {
public:
    // Opens the file, creating it (and its folder) when missing; a store of the previous schema is
    // migrated. A file of a newer schema, of another program or damaged (its pages are checked,
    // within a few seconds) is refused with a clear message and left as it is.
    explicit SqliteStore(const QString& path);
    ~SqliteStore() override;

    QVector<GroupRecord> groups() override;
    std::optional<GroupRecord> group(const QString& id) override;
    QVector<VehicleRecord> vehicles(const QString& groupId) override;
    std::optional<VehicleRecord> vehicle(int device) override;
    QVector<TelemetryPoint> telemetry(int device, double beginSeconds, double endSeconds) override;
    qint64 telemetryCount(int device) override;
    QVector<ControlPointSet> controlPointSets(int device) override;
    bool isEmpty() override;
    QString meta(const QString& key) override;

    void setMeta(const QString& key, const QString& value) override;
    void insertGroup(const GroupRecord& group) override;
    void insertVehicle(const VehicleRecord& vehicle) override;
    void insertControlPoint(int device, const QString& setName, const ControlPoint& point) override;
    TelemetryAppend insertTelemetry(const QVector<QPair<int, TelemetryPoint>>& points) override;
    void insertFleet(const demo::DemoFleet& fleet, const QVector<QPair<QString, QString>>& meta) override;
    std::unique_ptr<TelemetryBatchWriter> beginTelemetryBatches(int device) override;
    bool announce(StoreEvent) override { return false; }  // one user's file: no other server shares it

private:
    class Transaction;
    TelemetryAppend insertTelemetryRows(const QVector<QPair<int, TelemetryPoint>>& points);
    void insertVehicleRow(const VehicleRecord& vehicle);
    void insertControlPointRow(int device, const QString& setName, const ControlPoint& point);
    void insertGroupRow(const GroupRecord& group);

    QString path_;
    QString connectionName_;
};

}  // namespace telvika::server
