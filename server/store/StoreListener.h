#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

#include "store/StoreBackend.h"

class QSocketNotifier;

namespace telvika::server {

class PgConnection;

// Hears the changes that other servers of a shared store announce (Store::announce). An SQLite
// store has no other servers, and this listener stays silent. For PostgreSQL it keeps a connection
// of its own that LISTENs; a lost connection is opened again with growing pauses (1 s to 30 s), and
// once it is back, resumed() says that announcements may have been missed meanwhile.
class StoreListener : public QObject {
    Q_OBJECT
public:
    // Never throws: a database that cannot be reached now is tried again later.
    explicit StoreListener(const QString& location, QObject* parent = nullptr);
    ~StoreListener() override;

    bool listening() const { return connection_ != nullptr && notifier_ != nullptr; }

signals:
    void announced(telvika::server::StoreEvent event);
    void resumed();

private:
    void connectNow();
    void onReadable();
    void lose();

    QString location_;
    bool shared_ = false;
    bool everConnected_ = false;
    std::unique_ptr<PgConnection> connection_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer retry_;
    QTimer check_;
    int retryMs_ = 0;
};

}  // namespace telvika::server
