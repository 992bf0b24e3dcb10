#include "net/ComputationWorker.h"

#include "common/Error.h"
#include "store/Store.h"

namespace telvika::server {

ComputationWorker::ComputationWorker(const QString& databasePath) : databasePath_(databasePath) {}

ComputationWorker::~ComputationWorker() = default;

void ComputationWorker::compute(const ComputationRequest& request) {
    auto result = std::make_shared<ComputedResult>();
    result->request = request;
    QString error;
    try {
        if (!store_) store_ = std::make_unique<Store>(databasePath_);
        if (request.device != 0) {
            QVector<ControlPoint> controlPoints;
            for (const ControlPointSet& set : store_->controlPointSets(request.device)) controlPoints += set.points;
            ComputeResult computed = computeTrips(store_->telemetry(request.device, request.begin, request.end),
                                                  request.begin, request.end, ComputeSettings{}, controlPoints);
            convertTrackTimesToLocal(computed.trips);  // the wire carries the user's local dates
            result->trips = std::move(computed.trips);
        }
    } catch (const std::exception& e) {
        error = messageOf(e);
        result->trips.clear();
    }
    emit finished(std::move(result), error);
}

}  // namespace telvika::server
