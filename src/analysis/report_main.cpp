// telvika-player-report: the trip's PDF report or export for scripts and scheduled reports.
#include <QApplication>
#include <QTextStream>

#include <cstdio>

#include "analysis/ReportCommand.h"
#include "app/PlayerApplication.h"

int main(int argc, char** argv) {
    // The map is drawn off screen: no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    telvika::setUpPlayerApplication();
    QTextStream out(stdout);
    QTextStream err(stderr);
    telvika::analysis::TReportCommand command;
    QString error;
    if (!telvika::analysis::TReportCommand::parse(QCoreApplication::arguments(), &command, &error)) {
        err << error << '\n' << telvika::analysis::TReportCommand::usage();
        return 2;
    }
    if (command.help) {
        out << telvika::analysis::TReportCommand::usage();
        return 0;
    }
    return telvika::analysis::runReport(command, out, err);
}
