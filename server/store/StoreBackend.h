#pragma once

#include <QPair>
#include <QString>
#include <QVector>

#include <memory>
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

// A change that every server on a shared store announces to its clients.
enum class StoreEvent { FleetChanged, TelemetryArrived, ParametersChanged };

// The points of one device written batch by batch within one transaction (TelemetryBatches): the
// store holds none of them before commit(), and destroying the writer uncommitted leaves them all
// out. The points come checked.
class TelemetryBatchWriter {
public:
    virtual ~TelemetryBatchWriter() = default;
    virtual void append(const QVector<TelemetryPoint>& points) = 0;
    // Moves the device's last position to its latest stored point and commits.
    virtual TelemetryAppend commit() = 0;
};

// A period of telemetry longer than this is read in two halves side by side, where the backend can
// (a second connection of the same snapshot, the later half on a thread of its own).
inline constexpr double ReadInHalvesAfterSeconds = 86400.0;

// One kind of database behind Store. Store checks every argument and every point before it calls a
// write here, so a backend only stores; times cross this interface as UTC seconds since 1970 to
// the millisecond (storedSeconds). Every failure throws telvika::Error; each write is one
// transaction.
class StoreBackend {
public:
    virtual ~StoreBackend() = default;

    virtual QVector<GroupRecord> groups() = 0;
    virtual std::optional<GroupRecord> group(const QString& id) = 0;
    virtual QVector<VehicleRecord> vehicles(const QString& groupId) = 0;
    virtual std::optional<VehicleRecord> vehicle(int device) = 0;
    virtual QVector<TelemetryPoint> telemetry(int device, double beginSeconds, double endSeconds) = 0;
    virtual qint64 telemetryCount(int device) = 0;
    virtual QVector<ControlPointSet> controlPointSets(int device) = 0;
    virtual bool isEmpty() = 0;
    virtual QString meta(const QString& key) = 0;

    virtual void setMeta(const QString& key, const QString& value) = 0;
    virtual void insertGroup(const GroupRecord& group) = 0;
    virtual void insertVehicle(const VehicleRecord& vehicle) = 0;
    virtual void insertControlPoint(int device, const QString& setName, const ControlPoint& point) = 0;
    // Stores the points (skipping those of an instant the device has already) and moves each
    // device's last position to its latest stored point.
    virtual TelemetryAppend insertTelemetry(const QVector<QPair<int, TelemetryPoint>>& points) = 0;
    virtual void insertFleet(const demo::DemoFleet& fleet, const QVector<QPair<QString, QString>>& meta) = 0;
    // A batch writer for one device. By default the points are kept until commit() and then stored
    // by insertTelemetry; a backend that can hold a transaction open writes them as they come.
    virtual std::unique_ptr<TelemetryBatchWriter> beginTelemetryBatches(int device);

    // Tells the other servers of this store; false when the store has no other servers to tell.
    virtual bool announce(StoreEvent event) = 0;
};

}  // namespace telvika::server
