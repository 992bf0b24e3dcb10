#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QThread>

#include <memory>

#include "net/ComputationRequest.h"
#include "net/ComputedResult.h"

namespace telvika::server {

class ComputationWorker;
class Store;

// The state the clients share: the store (used on this thread), the result of the last finished
// computation and the queue of computations running on the worker thread.
class ServerCore : public QObject {
    Q_OBJECT
public:
    // storeLocation: as Store takes it (a path, "sqlite:PATH" or a PostgreSQL URI).
    explicit ServerCore(const QString& storeLocation, QObject* parent = nullptr);
    ~ServerCore() override;

    Store& store() { return *store_; }
    QString storeLocation() const { return storeLocation_; }

    // Queues a computation; returns at once. computationFinished() follows, once per request.
    void startComputing(const ComputationRequest& request);
    // Computes the last requested choice again (after new data arrived). A computation that waits
    // to start will read the new data anyway, so then nothing is added: at most one refresh ever
    // waits. True when a computation was queued.
    bool refresh();
    // 1 while any computation is queued or running, 0 otherwise.
    int computingState() const { return running_ || !queue_.isEmpty() ? 1 : 0; }
    // Computations asked for and not yet started.
    int waitingCount() const { return static_cast<int>(queue_.size()); }
    // The last finished computation; never null (an empty result before the first one).
    std::shared_ptr<const ComputedResult> result() const { return result_; }

    // Waits for the computation that runs now and stops the worker thread.
    void stop();

signals:
    void computationFinished(const QString& error);

private:
    void onFinished(std::shared_ptr<const ComputedResult> result, const QString& error);
    void startNext();

    QString storeLocation_;
    std::unique_ptr<Store> store_;
    QThread thread_;
    ComputationWorker* worker_ = nullptr;
    std::shared_ptr<const ComputedResult> result_;
    ComputationRequest last_;
    // The worker gets one computation at a time; the rest wait here, in the order they were asked.
    QList<ComputationRequest> queue_;
    bool running_ = false;
};

}  // namespace telvika::server
