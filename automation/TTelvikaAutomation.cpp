#include "TTelvikaAutomation.h"

#include "ServerConnection.h"
#include "common/Error.h"
#include "protocol/DoubleBytes.h"
#include "protocol/ProtocolConstants.h"

#include <QCborMap>
#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QRegularExpression>

#include <cmath>

using telvika::Error;
using telvika::automation::ServerConnection;
using telvika::automation::ServerStart;

namespace {

const QString NotConnectedText = QStringLiteral(
    "DefaultInterface is NULL. Component is not connected to Server. You must call \"Connect\" or "
    "\"ConnectTo\" before this operation");

QString defaultServerProgram() {
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("telvika-server.exe");
#else
    const QString name = QStringLiteral("telvika-server");
#endif
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

}  // namespace

class TTelvikaAutomationPrivate {
public:
    QString serverName;
    ServerStart start;
    bool autoConnect = true;
    ServerConnection connection;
    // Values of the records fetched whole when a cursor was written, by property name. Any write
    // and any notification clears them, and a record whose call saw a notification is not kept, so
    // a read never serves a value the server has changed.
    QHash<QString, QCborValue> cache;
    // The track's coordinate text, kept by the same rules: a track is drawn as two map sets of
    // that text, and a long trip's text is tens of megabytes.
    QByteArray keptTrackText;  // UTF-8: half the memory of the QString, and what the frame held
    bool trackTextKept = false;

    void forget() {
        cache.clear();
        keptTrackText.clear();
        trackTextKept = false;
    }

    void ensureConnected(TTelvikaAutomation* q) {
        if (connection.isOpen()) return;
        if (!autoConnect) throw Error(NotConnectedText);
        q->Connect();
    }

    QCborValue call(TTelvikaAutomation* q, const QString& op, const QCborArray& args = {},
                    QByteArray* bytes = nullptr, QByteArray* utf8 = nullptr) {
        ensureConnected(q);
        try {
            return connection.call(op, args, bytes, utf8);
        } catch (...) {
            forget();
            throw;
        }
    }

    QCborValue read(TTelvikaAutomation* q, const QString& property) {
        if (connection.isOpen()) {
            auto it = cache.constFind(property);
            if (it != cache.constEnd()) return *it;
        }
        return call(q, property);
    }

    void write(TTelvikaAutomation* q, const QString& op, const QCborValue& value) {
        forget();
        // A notification read during the call (even in the same read as the reply) may mean the
        // record was made before the change it announces: then nothing of it is kept.
        const quint64 arrivalsBefore = connection.arrivals();
        const QCborValue record = call(q, op, QCborArray{value});
        if (connection.arrivals() != arrivalsBefore) return;
        if (record.isMap()) {
            const QCborMap map = record.toMap();
            for (auto it = map.constBegin(); it != map.constEnd(); ++it)
                cache.insert(it.key().toString(), it.value());
        }
    }

    static Error badType(const QString& property) {
        return Error(QStringLiteral("Сервер Telvika вернул для «%1» значение неожиданного типа").arg(property));
    }

    QString text(TTelvikaAutomation* q, const QString& property) {
        const QCborValue v = read(q, property);
        if (!v.isString()) throw badType(property);
        return v.toString();
    }

    int integer(TTelvikaAutomation* q, const QString& property) {
        const QCborValue v = read(q, property);
        if (!v.isInteger() || v.toInteger() < INT_MIN || v.toInteger() > INT_MAX) throw badType(property);
        return static_cast<int>(v.toInteger());
    }

    double number(TTelvikaAutomation* q, const QString& property) {
        const QCborValue v = read(q, property);
        if (v.isDouble()) return v.toDouble();
        if (v.isInteger()) return static_cast<double>(v.toInteger());
        throw badType(property);
    }
};

TTelvikaAutomation::TTelvikaAutomation(QObject* parent, const QString& serverName, const QString& serverProgram)
    : QObject(parent), d(std::make_unique<TTelvikaAutomationPrivate>()) {
    d->serverName = serverName.isEmpty() ? defaultServerName() : serverName;
    d->start.program = serverProgram.isEmpty() ? defaultServerProgram() : serverProgram;
    d->connection.setArrivalHook([this](int) { d->forget(); });
    connect(&d->connection, &ServerConnection::notified, this, [this](int event) {
        switch (event) {
            case telvika::protocol::EventChangeCarsList: emit OnChangeCarsList(); break;
            case telvika::protocol::EventReceiveOnlineData: emit OnReceiveOnlineData(); break;
            case telvika::protocol::EventCloseServer: emit OnCloseServer(); break;
            case telvika::protocol::EventChangeParameters: emit OnChangeParameters(); break;
            case telvika::protocol::EventEndComputing: emit OnEndComputing(); break;
            default: break;
        }
    });
}

TTelvikaAutomation::~TTelvikaAutomation() = default;

QString TTelvikaAutomation::defaultServerName() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) user = qEnvironmentVariable("USERNAME");
    if (user.isEmpty()) user = QStringLiteral("user");
    user.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")), QStringLiteral("_"));
    return QStringLiteral("telvika-server-") + user;
}

void TTelvikaAutomation::Connect() {
    d->forget();
    d->connection.open(d->serverName, d->start);
}

void TTelvikaAutomation::ConnectTo(const QString& serverName) {
    d->serverName = serverName;
    Connect();
}

void TTelvikaAutomation::Disconnect() {
    d->forget();
    d->connection.close();
}

bool TTelvikaAutomation::IsConnected() const { return d->connection.isOpen(); }
void TTelvikaAutomation::SetCallTimeout(int ms) { d->connection.setTimeout(ms); }
void TTelvikaAutomation::SetAutoStart(bool on) { d->start.enabled = on; }
void TTelvikaAutomation::SetAutoConnect(bool on) { d->autoConnect = on; }
void TTelvikaAutomation::SetServerArguments(const QStringList& arguments) { d->start.arguments = arguments; }
void TTelvikaAutomation::SetStartTimeout(int ms) { d->start.waitMs = ms; }
qint64 TTelvikaAutomation::RequestCount() const { return d->connection.requestCount(); }

void TTelvikaAutomation::Start() { d->call(this, QStringLiteral("Start")); }

int TTelvikaAutomation::GroupsCount() { return d->integer(this, QStringLiteral("GroupsCount")); }
void TTelvikaAutomation::SetGroupIndex(int index) { d->write(this, QStringLiteral("SetGroupIndex"), index); }
QString TTelvikaAutomation::GroupName() { return d->text(this, QStringLiteral("GroupName")); }
QString TTelvikaAutomation::GroupID() { return d->text(this, QStringLiteral("GroupID")); }
void TTelvikaAutomation::SetSelectedGroupID(const QString& groupId) {
    d->write(this, QStringLiteral("SetSelectedGroupID"), groupId);
}

int TTelvikaAutomation::CarsCount() { return d->integer(this, QStringLiteral("CarsCount")); }
void TTelvikaAutomation::SetCarIndex(int index) { d->write(this, QStringLiteral("SetCarIndex"), index); }
QString TTelvikaAutomation::CarName() { return d->text(this, QStringLiteral("CarName")); }
QString TTelvikaAutomation::CarNumber() { return d->text(this, QStringLiteral("CarNumber")); }
int TTelvikaAutomation::CarDevice() { return d->integer(this, QStringLiteral("CarDevice")); }
double TTelvikaAutomation::CarLatitude() { return d->number(this, QStringLiteral("CarLatitude")); }
double TTelvikaAutomation::CarLongitude() { return d->number(this, QStringLiteral("CarLongitude")); }
QString TTelvikaAutomation::CarInfo() { return d->text(this, QStringLiteral("CarInfo")); }

void TTelvikaAutomation::StartComputing(const QString& groupId, int device, const QString& begin,
                                        const QString& end, const QString& channel, int mode) {
    d->forget();
    d->call(this, QStringLiteral("StartComputing"), QCborArray{groupId, device, begin, end, channel, mode});
}
int TTelvikaAutomation::ComputingState() { return d->integer(this, QStringLiteral("ComputingState")); }
QString TTelvikaAutomation::ComputedGroupID() { return d->text(this, QStringLiteral("ComputedGroupID")); }
int TTelvikaAutomation::ComputedCarID() { return d->integer(this, QStringLiteral("ComputedCarID")); }
void TTelvikaAutomation::SetSelectedCarID(int device) { d->write(this, QStringLiteral("SetSelectedCarID"), device); }
void TTelvikaAutomation::SetPropertyName(const QString& name) {
    d->write(this, QStringLiteral("SetPropertyName"), name);
}
QString TTelvikaAutomation::PropertyValue() { return d->text(this, QStringLiteral("PropertyValue")); }

int TTelvikaAutomation::TripsCount() { return d->integer(this, QStringLiteral("TripsCount")); }
void TTelvikaAutomation::SetTripIndex(int index) { d->write(this, QStringLiteral("SetTripIndex"), index); }
QString TTelvikaAutomation::TripBegin() { return d->text(this, QStringLiteral("TripBegin")); }
QString TTelvikaAutomation::TripEnd() { return d->text(this, QStringLiteral("TripEnd")); }
QString TTelvikaAutomation::TripDuration() { return d->text(this, QStringLiteral("TripDuration")); }
int TTelvikaAutomation::TrackPointsCount() { return d->integer(this, QStringLiteral("TrackPointsCount")); }

QVector<double> TTelvikaAutomation::TrackCrdsArray() {
    QByteArray bytes;
    const QCborValue v = d->call(this, QStringLiteral("TrackCrdsArray"), {}, &bytes);
    if (!v.isByteArray()) throw TTelvikaAutomationPrivate::badType(QStringLiteral("TrackCrdsArray"));
    QVector<double> values;
    QString error;
    if (!telvika::protocol::bytesToDoubles(bytes, &values, &error) || values.size() % 5 != 0)
        throw Error(QStringLiteral("Сервер Telvika прислал повреждённый массив трека: %1")
                        .arg(error.isEmpty() ? QStringLiteral("число значений не кратно 5") : error));
    return values;
}

QString TTelvikaAutomation::TrackCrdsString() { return QString::fromUtf8(TrackCrdsUtf8()); }

QByteArray TTelvikaAutomation::TrackCrdsUtf8() {
    if (d->trackTextKept && d->connection.isOpen()) return d->keptTrackText;
    const quint64 arrivalsBefore = d->connection.arrivals();
    const QString property = QStringLiteral("TrackCrdsString");
    QByteArray text;
    if (d->connection.isOpen() && d->cache.contains(property)) {
        text = d->text(this, property).toUtf8();
    } else {
        // A long text comes from the frame as it is.
        const QCborValue v = d->call(this, property, {}, nullptr, &text);
        if (!v.isString()) throw TTelvikaAutomationPrivate::badType(property);
        if (text.isNull()) text = v.toString().toUtf8();
    }
    if (d->connection.arrivals() == arrivalsBefore) {
        d->keptTrackText = text;
        d->trackTextKept = true;
    }
    return text;
}

void TTelvikaAutomation::SetTripEntriesListTypeName(const QString& type) {
    d->write(this, QStringLiteral("SetTripEntriesListTypeName"), type);
}
void TTelvikaAutomation::SetTripEntriesListKindName(const QString& kind) {
    d->write(this, QStringLiteral("SetTripEntriesListKindName"), kind);
}
int TTelvikaAutomation::TripEntriesCount() { return d->integer(this, QStringLiteral("TripEntriesCount")); }
void TTelvikaAutomation::SetTripEntryIndex(int index) { d->write(this, QStringLiteral("SetTripEntryIndex"), index); }
QString TTelvikaAutomation::TripEntryBegin() { return d->text(this, QStringLiteral("TripEntryBegin")); }
QString TTelvikaAutomation::TripEntryEnd() { return d->text(this, QStringLiteral("TripEntryEnd")); }
QString TTelvikaAutomation::TripEntryDuration() { return d->text(this, QStringLiteral("TripEntryDuration")); }
double TTelvikaAutomation::TripEntryLongitude() { return d->number(this, QStringLiteral("TripEntryLongitude")); }
double TTelvikaAutomation::TripEntryLatitude() { return d->number(this, QStringLiteral("TripEntryLatitude")); }
double TTelvikaAutomation::TripEntrySpeed() { return d->number(this, QStringLiteral("TripEntrySpeed")); }
double TTelvikaAutomation::TripEntryTank1Begin() { return d->number(this, QStringLiteral("TripEntryTank1Begin")); }
double TTelvikaAutomation::TripEntryTank1End() { return d->number(this, QStringLiteral("TripEntryTank1End")); }
double TTelvikaAutomation::TripEntryTank2Begin() { return d->number(this, QStringLiteral("TripEntryTank2Begin")); }
double TTelvikaAutomation::TripEntryTank2End() { return d->number(this, QStringLiteral("TripEntryTank2End")); }

QString TTelvikaAutomation::CarControlPointsName() { return d->text(this, QStringLiteral("CarControlPointsName")); }
void TTelvikaAutomation::SetControlPointsName(const QString& name) {
    d->write(this, QStringLiteral("SetControlPointsName"), name);
}
int TTelvikaAutomation::ControlPointsCount() { return d->integer(this, QStringLiteral("ControlPointsCount")); }
void TTelvikaAutomation::SetControlPointIndex(int index) {
    d->write(this, QStringLiteral("SetControlPointIndex"), index);
}
QString TTelvikaAutomation::ControlPointName() { return d->text(this, QStringLiteral("ControlPointName")); }
QString TTelvikaAutomation::ControlPointNote() { return d->text(this, QStringLiteral("ControlPointNote")); }
double TTelvikaAutomation::ControlPointLatitude() { return d->number(this, QStringLiteral("ControlPointLatitude")); }
double TTelvikaAutomation::ControlPointLongitude() { return d->number(this, QStringLiteral("ControlPointLongitude")); }
int TTelvikaAutomation::ControlPointRadius() { return d->integer(this, QStringLiteral("ControlPointRadius")); }
