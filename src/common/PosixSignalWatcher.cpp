#include "common/PosixSignalWatcher.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace telvika {

#ifdef Q_OS_UNIX
namespace {
int signalPipe[2] = {-1, -1};
volatile sig_atomic_t secondEndsProcess = 0;
volatile sig_atomic_t signalSeen = 0;

extern "C" void onPosixSignal(int number) {
    if (secondEndsProcess && signalSeen) {
        // The default action ends the process as soon as this handler returns (the signal is
        // blocked while its handler runs).
        std::signal(number, SIG_DFL);
        std::raise(number);
        return;
    }
    signalSeen = 1;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[0], &byte, 1);
}

void setHandler(int number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(number, &action, nullptr);
}
}  // namespace
#endif

PosixSignalWatcher::PosixSignalWatcher(Options options, QObject* parent) : QObject(parent), options_(options) {
#ifdef Q_OS_UNIX
    if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
    notifier_ = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &PosixSignalWatcher::onActivated);
    signalSeen = 0;
    secondEndsProcess = options_.secondEndsProcess ? 1 : 0;
    setHandler(SIGTERM, onPosixSignal);
    setHandler(SIGINT, onPosixSignal);
    if (options_.hangUp) setHandler(SIGHUP, onPosixSignal);
#endif
}

PosixSignalWatcher::~PosixSignalWatcher() {
#ifdef Q_OS_UNIX
    setHandler(SIGTERM, SIG_DFL);
    setHandler(SIGINT, SIG_DFL);
    if (options_.hangUp) setHandler(SIGHUP, SIG_DFL);
#endif
}

void PosixSignalWatcher::onActivated() {
#ifdef Q_OS_UNIX
    unsigned char byte = 0;
    if (::read(signalPipe[1], &byte, 1) == 1) emit terminationRequested(byte);
#endif
}

}  // namespace telvika
