// Start-up and shutdown of the main window, and the handlers of the server's notifications.
#include "app/TForm1.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTreeWidget>

#include "app/ui/UserDialogs.h"
#include "automation/TTelvikaAutomation.h"
#include "common/Error.h"
#include "mvx/IMVControl.h"

namespace {

struct FieldDef {
    const char* type;
    const char* name;
    const char* caption;
};

const QString ErrorCaption = QStringLiteral("Ошибка");

}  // namespace

void TForm1::FormShow() {
    // 1. The one connection to the tracking server, owned by the application.
    try {
        data.TrackingServer =
            new TTelvikaAutomation(qApp, env_.serverName, env_.serverProgram);
        if (!env_.serverArguments.isEmpty()) data.TrackingServer->SetServerArguments(env_.serverArguments);
        data.TrackingServer->Start();
    } catch (const std::exception&) {
        dialogs_->message(nullptr, QStringLiteral("Ошибка запуска ПО Telvika"), ErrorCaption);
    }

    // A failure in the remaining steps skips the rest; the guard around FormShow shows it.
    StartupDone = true;
    IconNum = 0;  // 2

    // 3. The server's notifications.
    if (data.TrackingServer) {
        connect(data.TrackingServer, &TTelvikaAutomation::OnEndComputing, this,
                [this] { guarded([this] { ComputingEnded(); }); });
        connect(data.TrackingServer, &TTelvikaAutomation::OnCloseServer, this,
                [this] { guarded([this] { ServerClosed(); }); });
        connect(data.TrackingServer, &TTelvikaAutomation::OnReceiveOnlineData, this,
                [this] { guarded([this] { OnlineDataReceived(); }); });
    }

    createMapTables();               // 4
    MVCtrl->SetDoubleBuffered(true);  // 5
    // 6. The map is repainted whenever the application becomes active.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive) guarded([this] { FormActivate(); });
    });

    try {  // 7. A failure to list the trips is not shown.
        LoadTrips();
    } catch (const std::exception&) {
    }
    LoadGroupList();  // 8
    LoadMapList();    // 9
    SettingsLoaded = true;  // from here on, shutdown writes the settings back
    LoadSaveSettings(0);    // 10
    FillInfoPointKinds();   // 11
    data.MarkerShape.resize(2);  // 12
    InstallStyleResources();     // 13
}

void TForm1::createMapTables() {
    mvx::IMapTable** tables[] = {&data.tblTrackBase, &data.tblTrackLine, &data.tblCheckAreas, &data.tblCheckLabels,
                                 &data.tblInfoPoints, &data.tblStopLabel, &data.tblVehicles};
    for (mvx::IMapTable** t : tables) *t = MVCtrl->CreateTable();

    const QVector<QVector<FieldDef>> fields = {
        {{"TEXT", "metr", "metr"}},
        {{"TEXT", "metr", "metr"}},
        {{"TEXT", "metr", "metr"}, {"TEXT", "Name", "Name"}},
        {{"DOUBLE", "XCOORD", "Longitude"}, {"DOUBLE", "YCOORD", "Latitude"}, {"TEXT", "style", "style"}},
        {{"DOUBLE", "XCOORD", "Longitude"}, {"DOUBLE", "YCOORD", "Latitude"}, {"TEXT", "style", "style"},
         {"TEXT", "Name", "Name"}},
        {{"DOUBLE", "XCOORD", "Longitude"}, {"DOUBLE", "YCOORD", "Latitude"}, {"TEXT", "style", "style"}},
        {{"DOUBLE", "XCOORD", "Longitude"}, {"DOUBLE", "YCOORD", "Latitude"}, {"TEXT", "style", "style"},
         {"TEXT", "Name", "Name"}},
    };
    for (int t = 0; t < 7; ++t)
        for (const FieldDef& f : fields[t])
            (*tables[t])->AddField(QLatin1String(f.type), QLatin1String(f.name), QLatin1String(f.caption));
}

void TForm1::FormActivate() {
    if (MVCtrl) MVCtrl->Redraw();
}

void TForm1::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    btnStopClick(nullptr);
    // Settings are written back only when they were read in this run: a start-up that stopped
    // before them would otherwise overwrite the stored settings with the window's defaults.
    if (SettingsLoaded) LoadSaveSettings(1);
}

void TForm1::DisplayLost() {
    TConsoleUserDialogs console;
    IUserDialogs* shown = dialogs_;
    dialogs_ = &console;
    guarded([this] { FormDestroy(); });
    dialogs_ = shown;
}

void TForm1::LoadGroupList() {
    data.GroupIDs.clear();
    cmbGroupName->clear();
    if (!data.TrackingServer) return;
    const int count = data.TrackingServer->GroupsCount();
    for (int i = 1; i <= count; ++i) {
        data.TrackingServer->SetGroupIndex(i);
        data.GroupIDs.append(data.TrackingServer->GroupID());
        cmbGroupName->addItem(data.TrackingServer->GroupName());
    }
    if (cmbGroupName->count() > 0) cmbGroupName->setCurrentIndex(0);
}

void TForm1::FillInfoPointKinds() {
    cmbInfoPoints->clear();
    cmbInfoPoints->addItem(QStringLiteral("Список рейсов"), 0);
    for (int i = 0; i < data.InfoPoints.size(); ++i)
        if (data.InfoPoints[i].VisibleList) cmbInfoPoints->addItem(data.InfoPoints[i].name, i + 1);
    cmbInfoPoints->setCurrentIndex(0);
    cmbInfoPointsChange();
}

void TForm1::InstallStyleResources() {
    const QDir resources(QDir(MVCtrl->GetControlDir()).filePath(QStringLiteral("RESOURCES")));
    const QDir app(env_.appDir);
    for (const QString& name : {QStringLiteral("TVAllTS.res"), QStringLiteral("TVIcons.res")}) {
        const QString target = resources.filePath(name);
        const QString source = app.filePath(name);
        // Copy only what is missing there; a missing resource folder is not created and a failed
        // copy is ignored (the map then lacks those icons).
        if (!QFile::exists(target) && QFile::exists(source)) QFile::copy(source, target);
    }
}

void TForm1::ServerClosed() {
    // The connection object stays with the application; the window forgets it for good.
    data.TrackingServer = nullptr;
    ListView1->setEnabled(false);
}

void TForm1::OnlineDataReceived() {
    data.SkipNextEndComputing = true;
    if (cmbCarDevice->currentIndex() < 0) ShowGroupCars();
}
