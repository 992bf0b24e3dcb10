#include "TerminalProgress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace telvika::admin {

void TerminalProgress::show(double share) {
    if (!enabled_) return;
    const int percent = std::clamp(static_cast<int>(std::floor(share * 100.0)), 0, 100);
    if (percent == shown_) return;
    shown_ = percent;
    err_ << "\rИмпорт: " << percent << " %" << Qt::flush;
}

void TerminalProgress::finish() {
    if (!enabled_ || shown_ < 0) return;
    err_ << '\n' << Qt::flush;
    shown_ = -1;
}

bool TerminalProgress::stderrIsTerminal() {
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

}  // namespace telvika::admin
