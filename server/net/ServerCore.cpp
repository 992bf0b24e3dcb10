#include "net/ServerCore.h"

#include "net/ComputationWorker.h"
#include "store/Store.h"

namespace telvika::server {

ServerCore::ServerCore(const QString& storeLocation, QObject* parent)
    : QObject(parent),
      storeLocation_(storeLocation),
      store_(std::make_unique<Store>(storeLocation)),
      result_(std::make_shared<ComputedResult>()) {
    worker_ = new ComputationWorker(storeLocation);
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(worker_, &ComputationWorker::finishedReady, this, [this] {
        if (!worker_) return;  // stopped: the worker is gone
        for (ComputationWorker::Finished& f : worker_->takeFinished()) onFinished(std::move(f.result), f.error);
    }, Qt::QueuedConnection);
    thread_.setObjectName(QStringLiteral("computation"));
    thread_.start();
}

ServerCore::~ServerCore() { stop(); }

void ServerCore::stop() {
    if (!thread_.isRunning()) return;
    // Results not yet taken are of no use any more; taking them (under the worker's lock) also
    // orders everything this thread did with the worker before the worker's end on its thread.
    worker_->takeFinished();
    thread_.quit();
    thread_.wait();
    worker_ = nullptr;  // deleted on its thread as it finished
}

void ServerCore::startComputing(const ComputationRequest& request) {
    last_ = request;
    queue_.append(request);
    startNext();
}

bool ServerCore::refresh() {
    if (!queue_.isEmpty()) return false;
    queue_.append(last_);
    startNext();
    return true;
}

void ServerCore::startNext() {
    if (running_ || queue_.isEmpty()) return;
    running_ = true;
    worker_->post(queue_.takeFirst());
}

void ServerCore::onFinished(std::shared_ptr<const ComputedResult> result, const QString& error) {
    running_ = false;
    result_ = std::move(result);
    startNext();
    emit computationFinished(error);
}

}  // namespace telvika::server
