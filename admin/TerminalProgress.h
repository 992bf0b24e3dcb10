#pragma once

#include <QTextStream>

namespace telvika::admin {

// A progress line on a terminal ("Импорт: 42 %"), rewritten in place as the share grows; nothing at
// all when the stream does not go to a terminal (a pipe, a file, a test), so logs stay clean.
class TerminalProgress {
public:
    TerminalProgress(QTextStream& err, bool onTerminal) : err_(err), enabled_(onTerminal) {}
    ~TerminalProgress() { finish(); }

    void show(double share);
    // Ends the line (once).
    void finish();

    // Whether the standard error stream is a terminal.
    static bool stderrIsTerminal();

private:
    QTextStream& err_;
    bool enabled_;
    int shown_ = -1;
};

}  // namespace telvika::admin
