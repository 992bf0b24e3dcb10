#include "net/ComputationWorker.h"

#include "common/Error.h"
#include "store/Store.h"

#include <utility>

namespace telvika::server {

ComputationWorker::ComputationWorker(const QString& storeLocation) : storeLocation_(storeLocation) {
    connect(this, &ComputationWorker::finished, this,
            [this](std::shared_ptr<const ComputedResult> result, const QString& error) {
                {
                    const std::lock_guard<std::mutex> lock(mutex_);
                    finished_.append({std::move(result), error});
                }
                emit finishedReady();
            },
            Qt::DirectConnection);
}

void ComputationWorker::post(const ComputationRequest& request) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        posted_.append(request);
    }
    QMetaObject::invokeMethod(this, "computePosted", Qt::QueuedConnection);
}

QList<ComputationWorker::Finished> ComputationWorker::takeFinished() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(finished_, {});
}

void ComputationWorker::computePosted() {
    ComputationRequest request;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (posted_.isEmpty()) return;
        request = posted_.takeFirst();
    }
    compute(request);
}

ComputationWorker::~ComputationWorker() {
    // Taken under the lock, like every other use of the hand-off lists: the owner's last take
    // happens before this destruction on the worker's thread.
    const std::lock_guard<std::mutex> lock(mutex_);
    posted_.clear();
    finished_.clear();
}

void ComputationWorker::compute(const ComputationRequest& request) {
    auto result = std::make_shared<ComputedResult>();
    result->request = request;
    QString error;
    try {
        if (!store_) store_ = std::make_unique<Store>(storeLocation_);
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
        result->error = error;
    }
    emit finished(std::move(result), error);
}

}  // namespace telvika::server
