#pragma once

#include <QMainWindow>
#include <QVector>

#include <functional>
#include <memory>

#include "app/TPlayerEnvironment.h"
#include "app/model/SharedData.h"

class QComboBox;
class QDockWidget;
class QDateEdit;
class QDomDocument;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QAction;
class QSlider;
class QSplitter;
class QTimeEdit;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QWidget;
class TImageList;
class TTripAnalysisState;
class TTripPanel;
class TSymbolButton;
class TUpDown;
class IUserDialogs;
namespace mvx {
class IMVControl;
}
namespace telvika::analysis {
struct TTripRecord;
}

// The player's main window. It owns every control (each control's objectName is its name), the
// shared data model and the hosted map control. Handlers carry the names of the control and the
// event they serve; the window's own routines have plain verb names.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // Creates the window with its hosted map control; throws telvika::Error when the control
    // cannot be created.
    explicit TForm1(const TPlayerEnvironment& environment, QWidget* parent = nullptr);
    ~TForm1() override;

    // Shared state and environment.
    TSharedData data;
    const TPlayerEnvironment& environment() const { return env_; }
    IUserDialogs& dialogs() const { return *dialogs_; }

    // Fields of the window.
    int IconNum = 0;
    bool MapListEdited = false;
    QVector<int> MapLoadResults;

    // Start-up progress: true once FormShow has run; SettingsLoaded once the settings were read
    // (only then does shutdown write them back).
    bool StartupDone = false;
    bool SettingsLoaded = false;

    // --- Controls -------------------------------------------------------------------------------
    QWidget* Panel2 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QWidget* Panel1 = nullptr;
    mvx::IMVControl* MVCtrl = nullptr;

    QGroupBox* GroupBox3 = nullptr;
    QLabel* Label12 = nullptr;
    QDateEdit* DateBegin = nullptr;
    QTimeEdit* TimeBegin = nullptr;
    QLabel* Label14 = nullptr;
    QDateEdit* DateEnd = nullptr;
    QTimeEdit* TimeEnd = nullptr;
    QFrame* Bevel4 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cmbGroupName = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* cmbCarName = nullptr;
    QLabel* Label5 = nullptr;
    QComboBox* cmbCarNum = nullptr;
    QLabel* Label6 = nullptr;
    QComboBox* cmbCarDevice = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* lblTripNum = nullptr;

    QGroupBox* GroupBox2 = nullptr;
    QComboBox* cmbInfoPoints = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QLabel* Label15 = nullptr;
    QLineEdit* txtCont = nullptr;
    TUpDown* UpDown2 = nullptr;

    QGroupBox* GroupBox4 = nullptr;
    TSymbolButton* btnPlay = nullptr;
    TSymbolButton* btnStop = nullptr;
    QFrame* Bevel2 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QToolButton* ToolButton4 = nullptr;
    QToolButton* ToolButton1 = nullptr;
    QToolButton* ToolButton2 = nullptr;
    TSymbolButton* SpeedButton1 = nullptr;
    QToolButton* ToolButton3 = nullptr;
    QToolButton* btnSettings = nullptr;
    QFrame* Bevel3 = nullptr;
    QLabel* Label8 = nullptr;
    QComboBox* cmbSpeed = nullptr;
    TUpDown* UpDown1 = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* Label9 = nullptr;
    QSlider* TrackBar = nullptr;

    QGroupBox* GroupBox5 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblDate = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* lblSpeed = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* lblDistance = nullptr;

    TImageList* ImageList1 = nullptr;
    TImageList* ImageList2 = nullptr;
    TImageList* IconsList = nullptr;
    QTimer* Timer1 = nullptr;
    std::unique_ptr<QDomDocument> XMLDocument2;
    QMenu* PopupMenu1 = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QAction* MapListEdit = nullptr;

    // Menu items of PopupMenu1 by name ("mnu2".."mnu13", "N5", "N6"), or null.
    QAction* FindMenuItem(const QString& name) const;

    // --- Window events (start-up and shutdown) ------------------------------------------------------
    void FormShow();
    void FormActivate();
    void FormDestroy();
    // The connection to the display broke and the process is about to end: the same shutdown as
    // FormDestroy, with any failure written to the standard error stream (no window can show it).
    void DisplayLost();

    // --- Start-up routines ---------------------------------------------------------------------------
    void LoadGroupList();
    void FillInfoPointKinds();
    void InstallStyleResources();
    void ServerClosed();
    void OnlineDataReceived();

    // Each subsystem below defines its members in its own folder (src/<subsystem>/TForm1*.cpp);
    // the window's construction and wiring stay in src/app.

    // --- Selection, computation requests, trips and track loading (src/tracking) -----------------
    void cmbGroupNameChange();
    void cmbChange(QObject* sender);
    void DateTimeChange();
    void RequestComputing();
    void ShowGroupCars();
    void ComputingEnded();
    void LoadTrips();
    void ListView1Click();  // dispatches to the trips branch or the information-point branch
    void ListView1ClickTrip();
    void LoadTrack(int tripNumber);

    // --- Map layers and object styles (src/map) ---------------------------------------------------
    void ShowLayer(int kind);
    void ClearLayer(int kind);
    void ShowInfoPoints();
    void ToolButton4Click();
    void ToolButton1Click();
    void ToolButton2Click();

    // --- Map list (src/map) -------------------------------------------------------------------------
    void LoadMapList();
    void MapListEditClick();

    // --- Playback: clock, position, marker and map following (src/playback) -----------------------
    void btnPlayClick();
    void btnStopClick(QObject* sender);
    void cmbSpeedChange();
    void cmbSpeedKeyPress(QChar& key);
    void UpDown1ChangingEx(bool& allowChange, int newValue, int direction);
    void cmbSpeedStep(int step);
    void TrackBarChange();
    void Timer1Timer();
    void SpeedButton1Click();
    void FindSegment(telvika::TDateTime moment);
    void ShowMoment(telvika::TDateTime moment);
    void ShowStopLabel(int stopIndex);
    void BuildMarker(double x, double y, double angle, double size);
    void ShowMarkerLayer();  // ShowLayer kind 2: draws the marker and follows it
    void MVCtrlMouseAction(int action, int uMsg, int x, int y, bool& handled);
    void MVCtrlSelfDraw();
    void SeekToMapPoint(double x, double y);
    // The pose last handed to the marker (longitude, latitude, direction, size): a change of the
    // view (zoom, pan, recentring, resize) rebuilds the marker from it for the new view.
    double MarkerLon = 0.0;
    double MarkerLat = 0.0;
    double MarkerAngle = 0.0;
    double MarkerSize = 0.0;
    bool MarkerPlaced = false;
    bool MarkerViewWired = false;
    void MarkerViewChanged();
    // Puts the marker on the last point of the track (the tick that reaches the end).
    void ShowEndOfTrack();

    // --- Information-point lists, kind menu and control points (src/infopoints) ------------------
    void cmbInfoPointsChange();
    void ListView1ClickInfoPoint();
    void txtContChange();
    void txtContKeyPress(QChar& key);
    void mnuClick(QAction* item);
    void ShowControlPoints();
    // Points the server's entry list at a kind's query ("tank-num1": type and kind, "parks": type).
    void SelectEntryList(const QString& query);
    // The query of the kind the kind list shows; throws when it shows the trips or no valid kind.
    QString ShownKindQuery() const;

    // --- Trip summary, speed chart, place, export and report (src/analysis) ------------------------
    QMenu* mnuTrip = nullptr;          // "Рейс", after "Список карт"
    QAction* mnuTripPanel = nullptr;   // "Сводка и график": shows the trip panel
    QAction* mnuFollowVehicle = nullptr;  // "Следовать за ТС": the map follows the marker
    QAction* mnuExportTrip = nullptr;  // "Экспорт рейса…"
    QAction* mnuTripReport = nullptr;  // "Отчёт о рейсе (PDF)…"
    QDockWidget* TripDock = nullptr;   // under the map, closed by default
    TTripPanel* TripPanel = nullptr;
    bool FollowVehicle = true;
    void buildTripAnalysis();
    void mnuTripPanelClick();
    void mnuFollowVehicleClick();
    void mnuExportTripClick();
    void mnuTripReportClick();
    // After a track was loaded, and after each moment shown (tick, seek, map click).
    void TripTrackLoaded();
    void TripMomentShown(telvika::TDateTime moment);
    void RefreshTripPanel();
    // A click or drag on the speed chart: the seek of the track bar to that moment.
    void SpeedChartSeek(telvika::TDateTime moment);
    // The loaded trip's record (read from the server on first use after a track load).
    const telvika::analysis::TTripRecord& LoadedTripRecord();

    // --- Settings file and dialog (src/settings) --------------------------------------------------
    void LoadSaveSettings(int mode);
    void btnSettingsClick();
    // Shows the settings dialog modally and returns its result; empty = the dialog's own exec().
    // Tests set it to answer the dialog.
    std::function<int(class QDialog&)> execSettingsDialog;

    // Runs a handler; an exception that escapes it is shown by the standard error display.
    void guarded(const std::function<void()>& handler);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildPeriodBox(QWidget* panel);
    void buildInfoPointsBox(QWidget* panel);
    void buildPlayerBox(QWidget* panel);
    void buildInfoPanel(QWidget* panel);
    void buildNonVisual();
    void wireEvents();
    void createMapTables();
    void runStartupSequence();

    TPlayerEnvironment env_;
    TTripAnalysisState* tripAnalysis_ = nullptr;  // a child of the window
    std::unique_ptr<IUserDialogs> ownDialogs_;
    IUserDialogs* dialogs_ = nullptr;
    bool formShowQueued_ = false;
    bool destroyed_ = false;
};
