#include "store/postgres/PgAnnouncement.h"

#include <QStringList>
#include <QUuid>

namespace telvika::server::pgannouncement {

namespace {

const QString& origin() {
    static const QString id = QUuid::createUuid().toString(QUuid::Id128);
    return id;
}

const char* nameOf(StoreEvent event) {
    switch (event) {
        case StoreEvent::FleetChanged: return "fleet";
        case StoreEvent::TelemetryArrived: return "telemetry";
        case StoreEvent::ParametersChanged: return "parameters";
    }
    return "";
}

}  // namespace

QString encode(StoreEvent event) { return QStringLiteral("%1 %2").arg(QLatin1String(nameOf(event)), origin()); }

std::optional<StoreEvent> decode(const QString& payload) {
    const QStringList parts = payload.split(QLatin1Char(' '));
    if (parts.size() != 2 || parts[1] == origin()) return std::nullopt;
    for (StoreEvent e : {StoreEvent::FleetChanged, StoreEvent::TelemetryArrived, StoreEvent::ParametersChanged})
        if (parts[0] == QLatin1String(nameOf(e))) return e;
    return std::nullopt;
}

}  // namespace telvika::server::pgannouncement
