#pragma once

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
    explicit ServerCore(const QString& databasePath, QObject* parent = nullptr);
    ~ServerCore() override;

    Store& store() { return *store_; }
    QString databasePath() const { return databasePath_; }

    // Queues a computation; returns at once. computationFinished() follows, once per request.
    void startComputing(const ComputationRequest& request);
    // Computes the last requested choice again (after new data arrived).
    void refresh();
    // 1 while any computation is queued or running, 0 otherwise.
    int computingState() const { return pending_ > 0 ? 1 : 0; }
    // The last finished computation; never null (an empty result before the first one).
    std::shared_ptr<const ComputedResult> result() const { return result_; }

    // Waits for the computation that runs now and stops the worker thread.
    void stop();

signals:
    void computationFinished(const QString& error);

private:
    void onFinished(std::shared_ptr<const ComputedResult> result, const QString& error);

    QString databasePath_;
    std::unique_ptr<Store> store_;
    QThread thread_;
    ComputationWorker* worker_ = nullptr;
    std::shared_ptr<const ComputedResult> result_;
    ComputationRequest last_;
    int pending_ = 0;
};

}  // namespace telvika::server
