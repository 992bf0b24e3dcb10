#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVector>

#include <optional>

#include "compute/Telemetry.h"
#include "store/StoreRecords.h"

namespace telvika::server {

namespace demo {
struct DemoFleet;
}

// What an append of telemetry did.
struct TelemetryAppend {
    int stored = 0;         // new rows
    int alreadyStored = 0;  // rows the store held already (same device and instant), left as they were
};

// The tracking server's database: groups, vehicles, telemetry and control points in SQLite (WAL
// mode, so one writer and many readers work side by side). One Store is one connection and belongs
// to the thread that created it. Times are instants (UTC days, compute/UtcTime.h); the file keeps
// them as UTC seconds since 1970. Every failure throws telvika::Error with a Russian message; writes
// run in one transaction each, so a failed write changes nothing.
class Store {
public:
    static constexpr int SchemaVersion = 2;

    // Opens the database file, creating it (and its folder) when missing; a store of the previous
    // schema is migrated. A file of a newer schema, of another program or damaged (its pages are
    // checked, within a few seconds) is refused with a clear message and left as it is.
    explicit Store(const QString& path);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    QString path() const { return path_; }

    QVector<GroupRecord> groups() const;
    std::optional<GroupRecord> group(const QString& id) const;
    // Vehicles of a group in the order they were added.
    QVector<VehicleRecord> vehicles(const QString& groupId) const;
    std::optional<VehicleRecord> vehicle(int device) const;
    // Telemetry of a device with begin <= time <= end, in time order.
    QVector<TelemetryPoint> telemetry(int device, double begin, double end) const;
    qint64 telemetryCount(int device) const;
    QVector<ControlPointSet> controlPointSets(int device) const;
    bool isEmpty() const;
    // Small named values of the server itself (the demo's seed and end time); empty when unset.
    QString meta(const QString& key) const;
    void setMeta(const QString& key, const QString& value);

    void addGroup(const GroupRecord& group);
    void addVehicle(const VehicleRecord& vehicle);
    // Adds a point to the named set of a vehicle, creating the set.
    void addControlPoint(int device, const QString& setName, const ControlPoint& point);
    // Appends points of one device and moves its last position to the latest of them. Points the
    // store holds already (same device and instant) are skipped and counted. Every point must lie
    // in the ranges of compute/TelemetryCheck.h; one that does not refuses the whole batch.
    TelemetryAppend appendTelemetry(int device, const QVector<TelemetryPoint>& points);
    // Points of several devices at once, as (device, point) pairs.
    TelemetryAppend appendTelemetry(const QVector<QPair<int, TelemetryPoint>>& points);
    // Stores a whole generated fleet and the given server values (meta) in one transaction: either
    // all of it is in the store afterwards or nothing.
    void importFleet(const demo::DemoFleet& fleet, const QVector<QPair<QString, QString>>& meta = {});

private:
    friend class TelemetryBatches;
    QSqlDatabase database() const;
    class Transaction;
    TelemetryAppend insertTelemetryRows(const QVector<QPair<int, TelemetryPoint>>& points);
    void insertVehicle(const VehicleRecord& vehicle);
    void insertControlPoint(int device, const QString& setName, const ControlPoint& point);

    QString path_;
    QString connectionName_;
};

}  // namespace telvika::server
