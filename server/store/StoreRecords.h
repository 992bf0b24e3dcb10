#pragma once

#include <QString>

namespace telvika::server {

struct GroupRecord {
    QString id;    // identifier text
    QString name;  // display name
};

struct VehicleRecord {
    int device = 0;  // device number, unique in the store
    QString groupId;
    QString name;
    QString number;  // registration number
    QString info;
    double lat = 0.0;  // last known position; 0, 0 before any telemetry
    double lon = 0.0;
    double lastTime = 0.0;  // OLE date of the last position; 0: none
};

}  // namespace telvika::server
