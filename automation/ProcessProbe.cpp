#include "ProcessProbe.h"

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <sys/types.h>
#endif

namespace telvika::automation {

bool processIsRunning(qint64 pid) {
    if (pid <= 0) return false;
#ifdef Q_OS_UNIX
    if (::kill(static_cast<pid_t>(pid), 0) == 0) return true;
    return errno == EPERM;  // exists but belongs to someone else
#else
    return true;
#endif
}

}  // namespace telvika::automation
