#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace telvika::analysis {

// The command line of telvika-player-report, checked whole before anything runs:
//   telvika-player-report [options] GROUP DEVICE BEGIN END TRIP FILE
struct TReportCommand {
    bool help = false;
    QString socketName;     // --socket: the server's socket; empty = the per-user default
    QString serverProgram;  // --server: the server started when none answers; empty = beside this tool
    QString dataFolder;     // --data: the store of a server this tool starts
    QString mapList;        // --maps: MapList.ini naming the maps; empty = the one beside this tool
    QString settings;       // --settings: TVSettings.xml with the kinds; empty = the one beside this tool
    int timeoutSeconds = 120;

    QString group;  // the group's identifier or name
    int device = 0;
    QString begin;  // "dd.mm.yyyy hh:mm:ss"
    QString end;
    int trip = 1;
    QString output;  // .pdf: the report; .gpx, .kml, .csv: the export

    // False with *error (Russian) when the command line is not valid.
    static bool parse(const QStringList& arguments, TReportCommand* command, QString* error);
    static QString usage();
};

// Runs the command: asks the server for the period, reads the trip and writes the file. Returns
// the exit code (0 done, 1 failed); messages go to out and err.
int runReport(const TReportCommand& command, QTextStream& out, QTextStream& err);

}  // namespace telvika::analysis
