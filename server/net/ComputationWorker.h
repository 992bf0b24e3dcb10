#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <mutex>

#include "net/ComputationRequest.h"
#include "net/ComputedResult.h"

namespace telvika::server {

class Store;

// Runs computations one after another on its own thread with its own store connection. Requests are
// queued through compute(); each one ends with finished(), in the order they were asked.
// post() and takeFinished() hand requests and results across threads under the worker's own mutex,
// so that what crosses is never left to the event queue's internal locking alone.
class ComputationWorker : public QObject {
    Q_OBJECT
public:
    explicit ComputationWorker(const QString& storeLocation);
    ~ComputationWorker() override;

    struct Finished {
        std::shared_ptr<const ComputedResult> result;
        QString error;
    };
    // From any thread: queues a request for this worker's thread.
    void post(const ComputationRequest& request);
    // From any thread: the computations finished since the last call, in order.
    QList<Finished> takeFinished();

public slots:
    void compute(const telvika::server::ComputationRequest& request);

signals:
    // error is empty on success; on failure the result has the request and no trips.
    void finished(std::shared_ptr<const telvika::server::ComputedResult> result, const QString& error);
    // A computation finished: takeFinished() has it.
    void finishedReady();

private slots:
    void computePosted();

private:
    std::mutex mutex_;
    QList<ComputationRequest> posted_;
    QList<Finished> finished_;
    QString storeLocation_;
    std::unique_ptr<Store> store_;
};

}  // namespace telvika::server
