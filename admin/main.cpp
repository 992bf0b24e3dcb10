// telvika-admin: edits the tracking server's store and acts on the server as another user would.
#include "common/LargePages.h"
#include "AdminCommand.h"
#include "AdminRunner.h"
#include "TerminalProgress.h"
#include "common/LocaleSetup.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    telvika::useLargeMemoryPages(argv);
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    telvika::admin::AdminCommand command;
    QString error;
    if (!telvika::admin::AdminCommand::parse(app.arguments(), &command, &error)) {
        err << "telvika-admin: " << error << "\n\n" << telvika::admin::AdminCommand::usage();
        return 2;
    }
    telvika::applyUserLocale();
    telvika::admin::AdminRunner runner(out, err, telvika::admin::TerminalProgress::stderrIsTerminal());
    return runner.run(command);
}
