#pragma once

#include <QObject>

class QSocketNotifier;

namespace telvika {

// Turns the termination signals SIGTERM and SIGINT (and SIGHUP when asked) into a Qt signal on the
// event loop: the handler only writes a byte into a socket pair, which a socket notifier reads.
// With secondEndsProcess, any such signal after the first ends the process at once, as if no
// handler were installed (the program's orderly end is under way and the sender insists). One
// watcher at a time; elsewhere than on POSIX systems it does nothing.
class PosixSignalWatcher : public QObject {
    Q_OBJECT
public:
    struct Options {
        bool hangUp = false;             // SIGHUP too (the terminal or the session went away)
        bool secondEndsProcess = false;  // a repeated signal is not delivered but ends the process
    };

    explicit PosixSignalWatcher(QObject* parent = nullptr) : PosixSignalWatcher(Options(), parent) {}
    PosixSignalWatcher(Options options, QObject* parent = nullptr);
    ~PosixSignalWatcher() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void onActivated();
    Options options_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace telvika
