#include "net/ServerCore.h"

#include "net/ComputationWorker.h"
#include "store/Store.h"

namespace telvika::server {

ServerCore::ServerCore(const QString& databasePath, QObject* parent)
    : QObject(parent),
      databasePath_(databasePath),
      store_(std::make_unique<Store>(databasePath)),
      result_(std::make_shared<ComputedResult>()) {
    worker_ = new ComputationWorker(databasePath);
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(worker_, &ComputationWorker::finished, this, &ServerCore::onFinished, Qt::QueuedConnection);
    thread_.setObjectName(QStringLiteral("computation"));
    thread_.start();
}

ServerCore::~ServerCore() { stop(); }

void ServerCore::stop() {
    if (!thread_.isRunning()) return;
    thread_.quit();
    thread_.wait();
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
    const ComputationRequest request = queue_.takeFirst();
    ComputationWorker* worker = worker_;
    QMetaObject::invokeMethod(worker_, [worker, request] { worker->compute(request); }, Qt::QueuedConnection);
}

void ServerCore::onFinished(std::shared_ptr<const ComputedResult> result, const QString& error) {
    running_ = false;
    result_ = std::move(result);
    startNext();
    emit computationFinished(error);
}

}  // namespace telvika::server
