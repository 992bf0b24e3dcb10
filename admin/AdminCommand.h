#pragma once

#include <QString>
#include <QStringList>

namespace telvika::admin {

// One command line of telvika-admin, checked completely before anything runs, so that a bad
// argument never touches the store or the server.
struct AdminCommand {
    enum class Action {
        Help,
        Groups, AddGroup,
        Vehicles, AddVehicle,
        ControlPoints, AddControlPoint,
        Import, Demo,
        Compute, Online, Close,
    };

    Action action = Action::Help;
    QString dataFolder;  // empty: the server's default folder
    QString socketName;  // empty: the per-user default
    QString serverProgram;  // compute: the server to start when none answers; empty: beside this tool

    QString groupId;
    QString name;
    QString number;
    QString info;
    int device = 0;
    QString setName;
    double lat = 0.0;
    double lon = 0.0;
    double radius = 0.0;
    double speed = 0.0;
    QString note;
    QString file;
    QString zone;  // import: zone of CSV times that name none; empty: local
    QString chartPath;  // demo: where the town map goes; empty: the data folder
    int days = 14;
    double until = 0.0;  // demo: local OLE date up to which the fleet drives; 0: now
    QString begin;  // "dd.mm.yyyy hh:mm:ss"
    QString end;
    double time = 0.0;  // online: OLE date of the point; 0: now
    bool hasPoint = false;
    int timeoutSeconds = 120;

    // False with *error (Russian) when the command line is not valid.
    static bool parse(const QStringList& arguments, AdminCommand* command, QString* error);
    static QString usage();
};

}  // namespace telvika::admin
