#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include "net/ComputationRequest.h"
#include "net/ComputedResult.h"

namespace telvika::server {

class Store;

// Runs computations one after another on its own thread with its own store connection. Requests are
// queued through compute(); each one ends with finished(), in the order they were asked.
class ComputationWorker : public QObject {
    Q_OBJECT
public:
    explicit ComputationWorker(const QString& databasePath);
    ~ComputationWorker() override;

public slots:
    void compute(const telvika::server::ComputationRequest& request);

signals:
    // error is empty on success; on failure the result has the request and no trips.
    void finished(std::shared_ptr<const telvika::server::ComputedResult> result, const QString& error);

private:
    QString databasePath_;
    std::unique_ptr<Store> store_;
};

}  // namespace telvika::server
