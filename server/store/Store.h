#pragma once

#include <QString>
#include <QVector>

#include <memory>
#include <optional>

#include "compute/Telemetry.h"
#include "store/StoreBackend.h"
#include "store/StoreLocation.h"
#include "store/StoreRecords.h"

namespace telvika::server {

// The tracking server's database: groups, vehicles, telemetry and control points. The location
// chooses the database (StoreLocation): an SQLite file of one user (WAL mode, one writer and many
// readers side by side) or a PostgreSQL database that several servers share. One Store is one
// connection and belongs to the thread that created it. Times are instants (UTC days,
// compute/UtcTime.h); the database keeps them as UTC instants to the millisecond. Every failure
// throws telvika::Error with a Russian message; writes are checked completely first and then run in
// one transaction each, so a refused or failed write changes nothing.
// Throws telvika::Error when the point lies outside the ranges of compute/TelemetryCheck.h at `now`
// (an instant): the whole write it belongs to is refused.
void checkTelemetryPoint(int device, const TelemetryPoint& p, double now);

class Store {
public:
    static constexpr int SchemaVersion = 2;  // of the SQLite file

    // Opens the store at `location` (a path, "sqlite:PATH" or a PostgreSQL URI). An SQLite file is
    // created (with its folder) when missing and a store of the previous schema is migrated; a file
    // of a newer schema, of another program or damaged is refused with a clear message and left as
    // it is. A PostgreSQL database gets the schema's missing versions at opening, in one transaction.
    explicit Store(const QString& location);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // The location as given; for an SQLite store, the file.
    QString path() const { return location_; }
    const StoreLocation& location() const { return parsed_; }

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

    // Tells the other servers of a shared store about a change made through this one, so that they
    // pass it on to their clients. False when no other server can share this store (SQLite): then
    // only the server of this user's socket needs telling.
    bool announce(StoreEvent event);

private:
    friend class TelemetryBatches;
    StoreBackend& backend() { return *backend_; }
    void checkDevices(const QVector<QPair<int, TelemetryPoint>>& points) const;

    QString location_;
    StoreLocation parsed_;
    std::unique_ptr<StoreBackend> backend_;
};

}  // namespace telvika::server
