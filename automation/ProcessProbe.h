#pragma once

#include <QtGlobal>

namespace telvika::automation {

// Whether a process with this id still runs. Where the platform gives no cheap answer it says yes,
// so the caller simply waits out its timeout.
bool processIsRunning(qint64 pid);

}  // namespace telvika::automation
