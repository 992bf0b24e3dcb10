#pragma once

#include <QVector>

#include "compute/Computation.h"
#include "net/ComputationRequest.h"

namespace telvika::server {

// The result of a finished computation, shared read-only by every client.
struct ComputedResult {
    ComputationRequest request;
    QVector<Trip> trips;
};

}  // namespace telvika::server
