#pragma once

#include <QTextStream>

#include "AdminCommand.h"

namespace telvika::admin {

// Carries out one checked command: store commands on the database of the data folder (then telling
// a running server that its vehicle lists changed), server commands through the server's socket.
class AdminRunner {
public:
    // errIsTerminal: err goes to a terminal, where a long import shows its progress.
    AdminRunner(QTextStream& out, QTextStream& err, bool errIsTerminal = false)
        : out_(out), err_(err), errIsTerminal_(errIsTerminal) {}

    // The exit code: 0 done, 1 failed (the message went to err).
    int run(const AdminCommand& command);

private:
    void runStoreCommand(const AdminCommand& command);
    void compute(const AdminCommand& command);
    void online(const AdminCommand& command);
    void close(const AdminCommand& command);
    void notifyCarsChanged(const AdminCommand& command);
    QString dataFolder(const AdminCommand& command) const;
    QString socketName(const AdminCommand& command) const;

    QTextStream& out_;
    QTextStream& err_;
    bool errIsTerminal_;
};

}  // namespace telvika::admin
