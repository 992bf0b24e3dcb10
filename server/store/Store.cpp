#include "store/Store.h"

#include "common/Error.h"
#include "compute/TelemetryCheck.h"
#include "compute/UtcTime.h"
#include "demo/DemoFleet.h"
#include "store/SqliteStore.h"
#include "store/postgres/PgStore.h"

#include <QSet>

#include <cmath>

namespace telvika::server {

namespace {

qint64 storedMilliseconds(double time) { return std::llround(storedSeconds(time) * 1000.0); }

// Keeps the points until commit(), then stores them with one insertTelemetry.
class BufferedTelemetryBatches : public TelemetryBatchWriter {
public:
    BufferedTelemetryBatches(StoreBackend& backend, int device) : backend_(backend), device_(device) {}
    void append(const QVector<TelemetryPoint>& points) override {
        for (const TelemetryPoint& p : points) {
            // An instant given twice within the append is stored once, as the store does with
            // an instant it holds already.
            if (instants_.contains(storedMilliseconds(p.time))) {
                ++repeated_;
                continue;
            }
            instants_.insert(storedMilliseconds(p.time));
            rows_.append({device_, p});
        }
    }
    TelemetryAppend commit() override {
        TelemetryAppend done;
        if (!rows_.isEmpty()) done = backend_.insertTelemetry(rows_);
        done.alreadyStored += repeated_;
        return done;
    }

private:
    StoreBackend& backend_;
    int device_;
    QVector<QPair<int, TelemetryPoint>> rows_;
    QSet<qint64> instants_;
    int repeated_ = 0;
};

}  // namespace

std::unique_ptr<TelemetryBatchWriter> StoreBackend::beginTelemetryBatches(int device) {
    return std::make_unique<BufferedTelemetryBatches>(*this, device);
}

void checkTelemetryPoint(int device, const TelemetryPoint& p, double now) {
    const QString problem = telemetryProblem(p, now);
    if (!problem.isEmpty())
        throw Error(QStringLiteral("Точка телеметрии устройства %1 отклонена: %2; не записано ни одной точки")
                        .arg(device)
                        .arg(problem));
}

Store::Store(const QString& location) : location_(location), parsed_(StoreLocation::parse(location)) {
    if (parsed_.kind == StoreLocation::Kind::Postgres) backend_ = std::make_unique<PgStore>(parsed_);
    else backend_ = std::make_unique<SqliteStore>(parsed_.path);
}

Store::~Store() = default;

QVector<GroupRecord> Store::groups() const { return backend_->groups(); }
std::optional<GroupRecord> Store::group(const QString& id) const { return backend_->group(id); }
QVector<VehicleRecord> Store::vehicles(const QString& groupId) const { return backend_->vehicles(groupId); }
std::optional<VehicleRecord> Store::vehicle(int device) const { return backend_->vehicle(device); }

QVector<TelemetryPoint> Store::telemetry(int device, double begin, double end) const {
    return backend_->telemetry(device, storedSeconds(begin), storedSeconds(end));
}

qint64 Store::telemetryCount(int device) const { return backend_->telemetryCount(device); }
QVector<ControlPointSet> Store::controlPointSets(int device) const { return backend_->controlPointSets(device); }
bool Store::isEmpty() const { return backend_->isEmpty(); }
QString Store::meta(const QString& key) const { return backend_->meta(key); }
void Store::setMeta(const QString& key, const QString& value) { backend_->setMeta(key, value); }

void Store::addGroup(const GroupRecord& group) {
    if (group.id.trimmed().isEmpty()) throw Error(QStringLiteral("Идентификатор группы не может быть пустым"));
    if (this->group(group.id)) throw Error(QStringLiteral("Группа «%1» уже есть").arg(group.id));
    backend_->insertGroup(group);
}

void Store::addVehicle(const VehicleRecord& vehicle) {
    if (vehicle.device <= 0) throw Error(QStringLiteral("Номер устройства должен быть положительным"));
    if (!group(vehicle.groupId)) throw Error(QStringLiteral("Группы «%1» нет").arg(vehicle.groupId));
    if (this->vehicle(vehicle.device)) throw Error(QStringLiteral("Устройство %1 уже есть").arg(vehicle.device));
    backend_->insertVehicle(vehicle);
}

void Store::addControlPoint(int device, const QString& setName, const ControlPoint& point) {
    if (!vehicle(device)) throw Error(QStringLiteral("Устройства %1 нет").arg(device));
    if (setName.isEmpty()) throw Error(QStringLiteral("Имя набора контрольных точек не может быть пустым"));
    if (!(point.radiusM >= 0.0) || !std::isfinite(point.lat) || !std::isfinite(point.lon))
        throw Error(QStringLiteral("Координаты и радиус контрольной точки должны быть числами, радиус не меньше 0"));
    backend_->insertControlPoint(device, setName, point);
}

TelemetryAppend Store::appendTelemetry(int device, const QVector<TelemetryPoint>& points) {
    QVector<QPair<int, TelemetryPoint>> rows;
    rows.reserve(points.size());
    for (const TelemetryPoint& p : points) rows.append({device, p});
    return appendTelemetry(rows);
}

void Store::checkDevices(const QVector<QPair<int, TelemetryPoint>>& points) const {
    QSet<int> checked;
    for (const auto& row : points) {
        if (checked.contains(row.first)) continue;
        if (!vehicle(row.first)) throw Error(QStringLiteral("Устройства %1 нет").arg(row.first));
        checked.insert(row.first);
    }
}

TelemetryAppend Store::appendTelemetry(const QVector<QPair<int, TelemetryPoint>>& points) {
    checkDevices(points);
    const double now = utcNow();
    for (const auto& [device, p] : points) checkTelemetryPoint(device, p, now);
    if (points.isEmpty()) return {};
    return backend_->insertTelemetry(points);
}

void Store::importFleet(const demo::DemoFleet& fleet, const QVector<QPair<QString, QString>>& meta) {
    QSet<QString> groupIds;
    QSet<int> devices;
    const double now = utcNow();
    for (const demo::DemoGroup& g : fleet.groups) {
        if (groupIds.contains(g.id) || group(g.id)) throw Error(QStringLiteral("Группа «%1» уже есть").arg(g.id));
        groupIds.insert(g.id);
        for (const demo::DemoVehicle& v : g.vehicles) {
            if (v.device <= 0) throw Error(QStringLiteral("Номер устройства должен быть положительным"));
            if (devices.contains(v.device) || vehicle(v.device))
                throw Error(QStringLiteral("Устройство %1 уже есть").arg(v.device));
            devices.insert(v.device);
            for (const TelemetryPoint& p : v.telemetry) checkTelemetryPoint(v.device, p, now);
        }
    }
    backend_->insertFleet(fleet, meta);
}

bool Store::announce(StoreEvent event) { return backend_->announce(event); }

}  // namespace telvika::server
