#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class IUserDialogs;

// Where the main window finds its files and its server. The shipped program uses the executable's
// folder and the per-user default socket; tests point it at temporary folders and a test server.
struct TPlayerEnvironment {
    QString appDir;          // settings (TVSettings.xml, MapList.ini), .res files, the map control
    QString controlDir;      // folder of the map control library; empty = appDir
    QString serverName;      // tracking server socket; empty = the per-user default
    QString serverProgram;   // server to start when none answers; empty = beside the executable
    QStringList serverArguments;  // extra arguments for a server the client starts
    IUserDialogs* dialogs = nullptr;  // message boxes and the file dialog; null = the real ones
    // The preferences of the trip panel (QSettings, INI); empty = the user's own configuration.
    QString preferencesFile;
    // The blocking hold after a skipped stop (milliseconds); empty = a real sleep of the GUI thread.
    std::function<void(int ms)> hold;

    // The shipped program's environment.
    static TPlayerEnvironment standard();
};
