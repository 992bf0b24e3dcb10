#pragma once

#include <QObject>

class QSocketNotifier;

namespace telvika::server {

// Turns SIGTERM and SIGINT into a Qt signal on the event loop (the handler only writes a byte into
// a socket pair). Elsewhere than on POSIX systems it does nothing.
class PosixSignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit PosixSignalWatcher(QObject* parent = nullptr);
    ~PosixSignalWatcher() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void onActivated();
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace telvika::server
