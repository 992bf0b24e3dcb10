#pragma once

#include <memory>

#include "store/StoreBackend.h"
#include "store/postgres/PgConnection.h"

namespace telvika::server {

// A fleet store that several servers share: one PostgreSQL database (PgSchema), reached through
// one connection of this thread. Telemetry is kept in blocks of points, written and read in bulk
// through binary COPY (PgTelemetry); changes are announced to the other servers with NOTIFY (StoreListener hears them).
class PgStore : public StoreBackend {
public:
    // Connects and brings the schema up to date; throws telvika::Error naming the server and the
    // reason when the database cannot be reached or used.
    explicit PgStore(const StoreLocation& location);

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
    bool announce(StoreEvent event) override;

private:
    QVector<VehicleRecord> vehiclesWhere(const char* sql, const QByteArray& key, const QString& what);
    void insertVehicleRow(const VehicleRecord& vehicle);
    void insertControlPointRow(int device, const QString& setName, const ControlPoint& point);

    PgConnection c_;
};

}  // namespace telvika::server
