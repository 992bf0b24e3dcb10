#pragma once

#include <QString>
#include <QVector>

#include "compute/Computation.h"
#include "net/ComputationRequest.h"

namespace telvika::server {

// The result of a finished computation, shared read-only by every client.
struct ComputedResult {
    ComputationRequest request;
    QVector<Trip> trips;  // track times in the user's local dates; begin and end as instants
    QString error;        // why the computation failed (its trips are then empty); empty on success
};

}  // namespace telvika::server
