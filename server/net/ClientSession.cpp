#include "net/ClientSession.h"

#include "common/DateText.h"
#include "common/DurationText.h"
#include "common/Error.h"
#include "common/NumberText.h"
#include "common/Rounding.h"
#include "compute/UtcTime.h"
#include "net/ServerCore.h"
#include "protocol/DoubleBytes.h"
#include "store/Store.h"

#include <QHash>
#include <QSysInfo>

#include <cmath>
#include <functional>

namespace telvika::server {

namespace {

enum class Record { Group, Car, Trip, Entry, ControlPoint };

// Which record each readable value belongs to.
const QHash<QString, Record>& recordOfField() {
    static const QHash<QString, Record> map{
        {QStringLiteral("GroupName"), Record::Group},
        {QStringLiteral("GroupID"), Record::Group},
        {QStringLiteral("CarName"), Record::Car},
        {QStringLiteral("CarNumber"), Record::Car},
        {QStringLiteral("CarDevice"), Record::Car},
        {QStringLiteral("CarLatitude"), Record::Car},
        {QStringLiteral("CarLongitude"), Record::Car},
        {QStringLiteral("CarInfo"), Record::Car},
        {QStringLiteral("TripBegin"), Record::Trip},
        {QStringLiteral("TripEnd"), Record::Trip},
        {QStringLiteral("TripDuration"), Record::Trip},
        {QStringLiteral("TrackPointsCount"), Record::Trip},
        {QStringLiteral("TripEntryBegin"), Record::Entry},
        {QStringLiteral("TripEntryEnd"), Record::Entry},
        {QStringLiteral("TripEntryDuration"), Record::Entry},
        {QStringLiteral("TripEntryLongitude"), Record::Entry},
        {QStringLiteral("TripEntryLatitude"), Record::Entry},
        {QStringLiteral("TripEntrySpeed"), Record::Entry},
        {QStringLiteral("TripEntryTank1Begin"), Record::Entry},
        {QStringLiteral("TripEntryTank1End"), Record::Entry},
        {QStringLiteral("TripEntryTank2Begin"), Record::Entry},
        {QStringLiteral("TripEntryTank2End"), Record::Entry},
        {QStringLiteral("ControlPointName"), Record::ControlPoint},
        {QStringLiteral("ControlPointNote"), Record::ControlPoint},
        {QStringLiteral("ControlPointLatitude"), Record::ControlPoint},
        {QStringLiteral("ControlPointLongitude"), Record::ControlPoint},
        {QStringLiteral("ControlPointRadius"), Record::ControlPoint},
    };
    return map;
}

qint64 durationSeconds(double begin, double end) { return roundHalfEvenToInt((end - begin) * 86400.0); }

// A finite number for the wire: NaN (no reading) travels as 0.
double finite(double v) { return std::isfinite(v) ? v : 0.0; }

int intArg(const QString& op, const QCborArray& args) {
    if (args.size() != 1 || !args.at(0).isInteger())
        throw Error(QStringLiteral("Операция «%1» ожидает одно целое число").arg(op));
    const qint64 v = args.at(0).toInteger();
    if (v < INT_MIN || v > INT_MAX) throw Error(QStringLiteral("Число для «%1» слишком велико").arg(op));
    return static_cast<int>(v);
}

QString textArg(const QString& op, const QCborArray& args) {
    if (args.size() != 1 || !args.at(0).isString())
        throw Error(QStringLiteral("Операция «%1» ожидает одну строку").arg(op));
    return args.at(0).toString();
}

void checkIndex(int index, qsizetype count, const QString& what) {
    if (index < 1 || index > count)
        throw Error(count == 0 ? QStringLiteral("%1 %2 вне диапазона: список пуст").arg(what).arg(index)
                               : QStringLiteral("%1 %2 вне диапазона 1..%3").arg(what).arg(index).arg(count));
}

void checkSelected(int index, const QString& what) {
    if (index < 1) throw Error(QStringLiteral("%1 не выбран(а): сначала запишите номер").arg(what));
}

}  // namespace

ClientSession::ClientSession(ServerCore& core) : core_(core) {}

QCborValue ClientSession::handle(const QString& op, const QCborArray& args, QByteArray* bytes) {
    result_ = core_.result();
    if (op.startsWith(QStringLiteral("Set"))) {
        if (op == QStringLiteral("SetGroupIndex")) {
            const int index = intArg(op, args);
            checkIndex(index, core_.store().groups().size(), QStringLiteral("Номер группы"));
            groupIndex_ = index;
            return groupRecord();
        }
        if (op == QStringLiteral("SetSelectedGroupID")) {
            const QString id = textArg(op, args);
            if (!id.isEmpty() && !core_.store().group(id))
                throw Error(QStringLiteral("Группа с идентификатором «%1» не найдена").arg(id));
            selectedGroupId_ = id;
            carIndex_ = 0;
            return QCborValue(nullptr);
        }
        if (op == QStringLiteral("SetCarIndex")) {
            const int index = intArg(op, args);
            checkIndex(index, selectedGroupCars().size(), QStringLiteral("Номер транспортного средства"));
            carIndex_ = index;
            return carRecord();
        }
        if (op == QStringLiteral("SetSelectedCarID")) {
            const int device = intArg(op, args);
            if (device < 0 || (device > 0 && !core_.store().vehicle(device)))
                throw Error(QStringLiteral("Транспортное средство с устройством %1 не найдено").arg(device));
            selectedCarId_ = device;
            controlPointIndex_ = 0;
            return QCborValue(nullptr);
        }
        if (op == QStringLiteral("SetPropertyName")) {
            const QString name = textArg(op, args);
            if (name != QStringLiteral("Group_Name") && name != QStringLiteral("Car_Device"))
                throw Error(QStringLiteral("Неизвестное свойство «%1» (известны Group_Name и Car_Device)").arg(name));
            propertyName_ = name;
            QCborMap record;
            record.insert(QStringLiteral("PropertyValue"), propertyValue());
            return record;
        }
        if (op == QStringLiteral("SetTripIndex")) {
            const int index = intArg(op, args);
            checkIndex(index, result_->trips.size(), QStringLiteral("Номер рейса"));
            tripIndex_ = index;
            entryIndex_ = 0;
            return tripRecord();
        }
        if (op == QStringLiteral("SetTripEntriesListTypeName")) {
            entriesType_ = textArg(op, args);
            entryIndex_ = 0;
            return QCborValue(nullptr);
        }
        if (op == QStringLiteral("SetTripEntriesListKindName")) {
            entriesKind_ = textArg(op, args);
            entryIndex_ = 0;
            return QCborValue(nullptr);
        }
        if (op == QStringLiteral("SetTripEntryIndex")) {
            const int index = intArg(op, args);
            checkIndex(index, currentEntries().size(), QStringLiteral("Номер записи рейса"));
            entryIndex_ = index;
            return entryRecord();
        }
        if (op == QStringLiteral("SetControlPointsName")) {
            controlPointsName_ = textArg(op, args);
            controlPointIndex_ = 0;
            return QCborValue(nullptr);
        }
        if (op == QStringLiteral("SetControlPointIndex")) {
            const int index = intArg(op, args);
            checkIndex(index, currentControlPoints().size(), QStringLiteral("Номер контрольной точки"));
            controlPointIndex_ = index;
            return controlPointRecord();
        }
    }
    if (op == QStringLiteral("StartComputing")) {
        startComputing(args);
        return QCborValue(nullptr);
    }
    if (!args.isEmpty()) throw Error(QStringLiteral("Операция «%1» не принимает аргументов").arg(op));
    return read(op, bytes);
}

QCborValue ClientSession::read(const QString& property, QByteArray* bytes) {
    if (property == QStringLiteral("Start")) return true;
    if (property == QStringLiteral("GroupsCount")) return core_.store().groups().size();
    if (property == QStringLiteral("CarsCount")) return selectedGroupCars().size();
    if (property == QStringLiteral("ComputingState")) return core_.computingState();
    if (property == QStringLiteral("ComputedGroupID")) return result_->request.groupId;
    if (property == QStringLiteral("ComputedCarID")) return result_->request.device;
    if (property == QStringLiteral("PropertyValue")) {
        const QCborValue v = propertyValue();
        if (v.isUndefined()) throw Error(QStringLiteral("Не задано имя свойства (PropertyName)"));
        return v;
    }
    if (property == QStringLiteral("TripsCount")) {
        // A failed computation has no trips to count: saying 0 would tell the user the vehicle
        // stood still, so the reading fails with the computation's reason.
        if (!result_->error.isEmpty()) throw Error(QStringLiteral("Расчёт не выполнен: %1").arg(result_->error));
        return result_->trips.size();
    }
    if (property == QStringLiteral("TrackCrdsArray")) {
        const QVector<double>& track = currentTrip().track;
        if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
            // The track's own memory, not a copy: the frame is written before this session runs
            // another operation, and result_ keeps the track alive until then.
            *bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(track.constData()),
                                             track.size() * static_cast<qsizetype>(sizeof(double)));
        } else {
            *bytes = protocol::doublesToBytes(track);
        }
        return QCborValue(QCborValue::ByteArray);
    }
    if (property == QStringLiteral("TrackCrdsString")) {
        currentTrip();  // refuses a trip number out of range
        return QCborValue(QLatin1StringView(result_->trackText(tripIndex_ - 1)));
    }
    if (property == QStringLiteral("TripEntriesCount")) return currentEntries().size();
    if (property == QStringLiteral("CarControlPointsName")) {
        if (selectedCarId_ <= 0) return QString();
        const QVector<ControlPointSet> sets = core_.store().controlPointSets(selectedCarId_);
        return sets.isEmpty() ? QString() : sets.first().name;
    }
    if (property == QStringLiteral("ControlPointsCount")) return currentControlPoints().size();

    const auto it = recordOfField().constFind(property);
    if (it == recordOfField().constEnd()) throw Error(QStringLiteral("Неизвестная операция «%1»").arg(property));
    switch (*it) {
        case Record::Group: return groupRecord().value(property);
        case Record::Car: return carRecord().value(property);
        case Record::Trip: return tripRecord().value(property);
        case Record::Entry: return entryRecord().value(property);
        case Record::ControlPoint: return controlPointRecord().value(property);
    }
    return QCborValue();
}

QCborMap ClientSession::groupRecord() {
    checkSelected(groupIndex_, QStringLiteral("Номер группы (GroupIndex)"));
    const QVector<GroupRecord> groups = core_.store().groups();
    checkIndex(groupIndex_, groups.size(), QStringLiteral("Номер группы"));
    const GroupRecord& g = groups[groupIndex_ - 1];
    QCborMap m;
    m.insert(QStringLiteral("GroupName"), g.name);
    m.insert(QStringLiteral("GroupID"), g.id);
    return m;
}

QVector<VehicleRecord> ClientSession::selectedGroupCars() {
    if (selectedGroupId_.isEmpty()) return {};
    return core_.store().vehicles(selectedGroupId_);
}

QCborMap ClientSession::carRecord() {
    checkSelected(carIndex_, QStringLiteral("Номер транспортного средства (CarIndex)"));
    const QVector<VehicleRecord> cars = selectedGroupCars();
    checkIndex(carIndex_, cars.size(), QStringLiteral("Номер транспортного средства"));
    const VehicleRecord& v = cars[carIndex_ - 1];
    QCborMap m;
    m.insert(QStringLiteral("CarName"), v.name);
    m.insert(QStringLiteral("CarNumber"), v.number);
    m.insert(QStringLiteral("CarDevice"), v.device);
    m.insert(QStringLiteral("CarLatitude"), v.lat);
    m.insert(QStringLiteral("CarLongitude"), v.lon);
    m.insert(QStringLiteral("CarInfo"), v.info);
    return m;
}

const Trip& ClientSession::currentTrip() {
    checkSelected(tripIndex_, QStringLiteral("Номер рейса (TripIndex)"));
    checkIndex(tripIndex_, result_->trips.size(), QStringLiteral("Номер рейса"));
    return result_->trips[tripIndex_ - 1];
}

QCborMap ClientSession::tripRecord() {
    const Trip& trip = currentTrip();
    QCborMap m;
    m.insert(QStringLiteral("TripBegin"), formatRegionalDateTime(localOleFromUtc(trip.begin)));
    m.insert(QStringLiteral("TripEnd"), formatRegionalDateTime(localOleFromUtc(trip.end)));
    m.insert(QStringLiteral("TripDuration"), durationText(durationSeconds(trip.begin, trip.end)));
    m.insert(QStringLiteral("TrackPointsCount"), trip.pointCount());
    return m;
}

QString ClientSession::entryKey() const { return server::entryKey(entriesType_, entriesKind_); }

const QVector<TripEntry>& ClientSession::currentEntries() {
    static const QVector<TripEntry> none;
    const Trip& trip = currentTrip();
    const QString key = entryKey();
    if (key.isEmpty())
        throw Error(QStringLiteral("Неизвестный список записей рейса: тип «%1», вид «%2»").arg(entriesType_, entriesKind_));
    const auto it = trip.entries.constFind(key);
    return it == trip.entries.constEnd() ? none : *it;
}

QCborMap ClientSession::entryRecord() {
    checkSelected(entryIndex_, QStringLiteral("Номер записи рейса (TripEntryIndex)"));
    const QVector<TripEntry>& entries = currentEntries();
    checkIndex(entryIndex_, entries.size(), QStringLiteral("Номер записи рейса"));
    const TripEntry& e = entries[entryIndex_ - 1];
    QCborMap m;
    m.insert(QStringLiteral("TripEntryBegin"), formatRegionalDateTime(localOleFromUtc(e.begin)));
    m.insert(QStringLiteral("TripEntryEnd"), formatRegionalDateTime(localOleFromUtc(e.end)));
    m.insert(QStringLiteral("TripEntryDuration"), durationText(durationSeconds(e.begin, e.end)));
    m.insert(QStringLiteral("TripEntryLongitude"), finite(e.lon));
    m.insert(QStringLiteral("TripEntryLatitude"), finite(e.lat));
    m.insert(QStringLiteral("TripEntrySpeed"), finite(e.maxSpeedKmh));
    m.insert(QStringLiteral("TripEntryTank1Begin"), finite(e.tank1Begin));
    m.insert(QStringLiteral("TripEntryTank1End"), finite(e.tank1End));
    m.insert(QStringLiteral("TripEntryTank2Begin"), finite(e.tank2Begin));
    m.insert(QStringLiteral("TripEntryTank2End"), finite(e.tank2End));
    return m;
}

QVector<ControlPoint> ClientSession::currentControlPoints() {
    if (selectedCarId_ <= 0) return {};
    for (const ControlPointSet& set : core_.store().controlPointSets(selectedCarId_))
        if (set.name == controlPointsName_) return set.points;
    return {};
}

QCborMap ClientSession::controlPointRecord() {
    checkSelected(controlPointIndex_, QStringLiteral("Номер контрольной точки (ControlPointIndex)"));
    const QVector<ControlPoint> points = currentControlPoints();
    checkIndex(controlPointIndex_, points.size(), QStringLiteral("Номер контрольной точки"));
    const ControlPoint& p = points[controlPointIndex_ - 1];
    QCborMap m;
    m.insert(QStringLiteral("ControlPointName"), p.name);
    m.insert(QStringLiteral("ControlPointNote"), p.note);
    m.insert(QStringLiteral("ControlPointLatitude"), p.lat);
    m.insert(QStringLiteral("ControlPointLongitude"), p.lon);
    m.insert(QStringLiteral("ControlPointRadius"), static_cast<qint64>(roundHalfEvenToInt(p.radiusM)));
    return m;
}

QCborValue ClientSession::propertyValue() {
    if (propertyName_ == QStringLiteral("Group_Name")) {
        if (selectedGroupId_.isEmpty()) return QString();
        const auto g = core_.store().group(selectedGroupId_);
        return g ? g->name : QString();
    }
    if (propertyName_ == QStringLiteral("Car_Device")) return QString::number(selectedCarId_);
    return QCborValue();
}

void ClientSession::startComputing(const QCborArray& args) {
    const bool shapeOk = args.size() == 6 && args.at(0).isString() && args.at(1).isInteger() &&
                         args.at(2).isString() && args.at(3).isString() && args.at(4).isString() &&
                         args.at(5).isInteger();
    if (!shapeOk)
        throw Error(QStringLiteral("StartComputing ожидает: группа (строка), устройство (целое), начало и конец "
                                   "(строки \"dd.mm.yyyy hh:mm:ss\"), канал (строка), режим (целое)"));
    ComputationRequest r;
    r.groupId = args.at(0).toString();
    const qint64 device = args.at(1).toInteger();
    r.channel = args.at(4).toString();
    const qint64 mode = args.at(5).toInteger();
    if (device < 0 || device > INT_MAX) throw Error(QStringLiteral("Недопустимый номер устройства %1").arg(device));
    if (mode < INT_MIN || mode > INT_MAX) throw Error(QStringLiteral("Недопустимый режим %1").arg(mode));
    r.device = static_cast<int>(device);
    r.mode = static_cast<int>(mode);
    // The period is the user's local clock; a repeated autumn hour is taken whole.
    r.begin = utcFromLocalOle(parseFixedDateTime(args.at(2).toString()), RepeatedHour::Earlier);
    r.end = utcFromLocalOle(parseFixedDateTime(args.at(3).toString()), RepeatedHour::Later);
    if (r.groupId.isEmpty()) throw Error(QStringLiteral("Не указана группа для расчёта"));
    if (!core_.store().group(r.groupId))
        throw Error(QStringLiteral("Группа с идентификатором «%1» не найдена").arg(r.groupId));
    if (r.device != 0) {
        const auto v = core_.store().vehicle(r.device);
        if (!v || v->groupId != r.groupId)
            throw Error(QStringLiteral("В группе «%1» нет транспортного средства с устройством %2").arg(r.groupId).arg(r.device));
    }
    core_.startComputing(r);
}

}  // namespace telvika::server
