#pragma once

#include <QString>

namespace telvika::server {

// What a client asked to compute: one device of a group over a period.
struct ComputationRequest {
    QString groupId;
    int device = 0;       // 0: the group without a chosen vehicle
    double begin = 0.0;   // instants (UTC days, compute/UtcTime.h)
    double end = 0.0;
    QString channel;
    int mode = 0;
};

}  // namespace telvika::server
