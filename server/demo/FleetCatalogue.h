#pragma once

#include <QString>
#include <QVector>

#include "demo/VehicleDriver.h"

namespace telvika::server::demo {

// What a vehicle of the demo fleet is and how its working day goes.
struct VehicleKind {
    QString name;
    VehicleProfile profile;
    quint8 driveSensors = 0;  // sensors on while it drives (a taximeter, a beacon, a fridge)
    quint8 stopSensors = 0;   // sensors it may switch at stops (unloading, a crane, a door)
};

struct GroupKind {
    QString name;
    bool worksWeekends = false;
    double dayStartHour = 7.0;
    double dayEndHour = 18.5;
    int depot = 0;  // index of the town's depot
    QVector<VehicleKind> vehicles;
};

// The groups of the demo fleet, their vehicles and profiles (nine groups, three to five vehicles
// each).
QVector<GroupKind> fleetCatalogue();

// A registration number in the Russian format ("А123ВС 77") for a random value.
QString registrationNumber(quint32 value);

}  // namespace telvika::server::demo
