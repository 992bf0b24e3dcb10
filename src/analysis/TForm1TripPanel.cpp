// The "Рейс" menu and the trip panel: the summary, the speed chart that follows and seeks the
// replay, the place of the vehicle, and the switch of the map's following.
#include "app/TForm1.h"

#include <QAction>
#include <QDockWidget>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include "analysis/PlaceText.h"
#include "analysis/TSpeedChart.h"
#include "analysis/TTripPanel.h"
#include "analysis/TripAnalysisState.h"
#include "analysis/TripReader.h"
#include "automation/TTelvikaAutomation.h"
#include "app/ui/TImageList.h"
#include "common/Error.h"
#include "mvx/IMVControl.h"

using namespace telvika;
using namespace telvika::analysis;

namespace {

constexpr int DefaultPanelHeight = 230;

bool trackLoaded(const TForm1& w) { return w.data.TrackPointCount >= 1 && !w.data.TrackData.isEmpty(); }

}  // namespace

void TForm1::buildTripAnalysis() {
    tripAnalysis_ = new TTripAnalysisState(env_, this);
    QSettings& prefs = tripAnalysis_->preferences();

    mnuTrip = MainMenu1->addMenu(QStringLiteral("Рейс"));
    mnuTrip->setObjectName(QStringLiteral("mnuTrip"));
    auto item = [this](const QString& name, const QString& caption) {
        QAction* a = mnuTrip->addAction(caption);
        a->setObjectName(name);
        return a;
    };
    mnuTripPanel = item(QStringLiteral("mnuTripPanel"), QStringLiteral("Сводка и график"));
    mnuTripPanel->setCheckable(true);
    mnuFollowVehicle = item(QStringLiteral("mnuFollowVehicle"), QStringLiteral("Следовать за ТС"));
    mnuFollowVehicle->setCheckable(true);
    mnuTrip->addSeparator();
    mnuExportTrip = item(QStringLiteral("mnuExportTrip"), QStringLiteral("Экспорт рейса…"));
    mnuTripReport = item(QStringLiteral("mnuTripReport"), QStringLiteral("Отчёт о рейсе (PDF)…"));
    mnuExportTrip->setEnabled(false);
    mnuTripReport->setEnabled(false);

    TripDock = new QDockWidget(QStringLiteral("Сводка и график"), this);
    TripDock->setObjectName(QStringLiteral("TripDock"));
    TripDock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    TripDock->setAllowedAreas(Qt::BottomDockWidgetArea);
    TripPanel = new TTripPanel(TripDock);
    TripDock->setWidget(TripPanel);
    addDockWidget(Qt::BottomDockWidgetArea, TripDock);
    TripDock->hide();
    tripAnalysis_->watchDockHeight(TripDock);

    FollowVehicle = prefs.value(TTripAnalysisState::FollowKey, true).toBool();
    mnuFollowVehicle->setChecked(FollowVehicle);
    const bool open = prefs.value(TTripAnalysisState::OpenKey, false).toBool();
    mnuTripPanel->setChecked(open);
    if (open) mnuTripPanelClick();

    auto g = [this](auto handler) { return [this, handler] { guarded(handler); }; };
    connect(mnuTripPanel, &QAction::triggered, this, g([this] { mnuTripPanelClick(); }));
    connect(mnuFollowVehicle, &QAction::triggered, this, g([this] { mnuFollowVehicleClick(); }));
    connect(mnuExportTrip, &QAction::triggered, this, g([this] { mnuExportTripClick(); }));
    connect(mnuTripReport, &QAction::triggered, this, g([this] { mnuTripReportClick(); }));
    connect(TripPanel->chart(), &TSpeedChart::seekRequested, this,
            [this](double moment) { guarded([this, moment] { SpeedChartSeek(moment); }); });
}

void TForm1::mnuTripPanelClick() {
    const bool open = mnuTripPanel->isChecked();
    QSettings& prefs = tripAnalysis_->preferences();
    prefs.setValue(TTripAnalysisState::OpenKey, open);
    if (!open) {
        TripDock->hide();
        return;
    }
    const int height = prefs.value(TTripAnalysisState::HeightKey, DefaultPanelHeight).toInt();
    TripDock->show();
    // The height is given once the window has laid the dock out.
    QTimer::singleShot(0, this, [this, height] {
        if (TripDock->isVisible()) resizeDocks({TripDock}, {std::max(120, height)}, Qt::Vertical);
    });
    RefreshTripPanel();
}

void TForm1::mnuFollowVehicleClick() {
    FollowVehicle = mnuFollowVehicle->isChecked();
    tripAnalysis_->preferences().setValue(TTripAnalysisState::FollowKey, FollowVehicle);
}

void TForm1::TripTrackLoaded() {
    tripAnalysis_->recordFresh = false;
    mnuExportTrip->setEnabled(trackLoaded(*this));
    mnuTripReport->setEnabled(trackLoaded(*this));
    // The panel reads the trip once the handler that loaded it has returned, so that the reading
    // never stretches the handling of a server notice.
    if (TripDock->isVisible() && !tripAnalysis_->refreshQueued) {
        tripAnalysis_->refreshQueued = true;
        QTimer::singleShot(0, this, [this] {
            tripAnalysis_->refreshQueued = false;
            guarded([this] { RefreshTripPanel(); });
        });
    }
}

const TTripRecord& TForm1::LoadedTripRecord() {
    if (!trackLoaded(*this)) throw Error(QStringLiteral("Рейс не загружен"));
    if (!tripAnalysis_->recordFresh) {
        TTripRecord trip = readTrip(tripAnalysis_->connection(), data.CurTrip, data.InfoPoints, false);
        // A result computed since the track was loaded names another trip by this number.
        if (tripAnalysis_->connection().TrackPointsCount() != data.TrackPointCount)
            throw Error(QStringLiteral("Рейс %1 на сервере уже другой: выберите его в списке рейсов заново")
                            .arg(data.CurTrip));
        trip.track = data.TrackData;  // the track shown, already here
        tripAnalysis_->record = std::move(trip);
        tripAnalysis_->recordFresh = true;
    }
    return tripAnalysis_->record;
}

void TForm1::RefreshTripPanel() {
    if (!trackLoaded(*this)) {
        TripPanel->showNoTrip(QStringLiteral("Рейс не загружен"));
        return;
    }
    QVector<bool> marked(data.InfoPoints.size(), false);
    QVector<QImage> icons(data.InfoPoints.size());
    for (int i = 1; i < data.InfoPoints.size(); ++i) {
        marked[i] = ToolButton2->isChecked() && data.InfoPoints[i].VisibleIcon;
        icons[i] = ImageList2->image(i - 1);
    }
    try {
        TripPanel->showTrip(LoadedTripRecord(), marked, icons);
    } catch (const std::exception& e) {
        TripPanel->showNoTrip(messageOf(e));
        return;
    }
    TripMomentShown(data.PlayTime != 0.0 ? data.PlayTime : data.TrackData.time(0));
}

void TForm1::TripMomentShown(TDateTime moment) {
    if (!TripDock || !TripDock->isVisible()) return;
    TripPanel->chart()->setMoment(moment);
    if (MarkerPlaced) TripPanel->setPlace(placeOf(MVCtrl, MarkerLon, MarkerLat));
}

void TForm1::SpeedChartSeek(TDateTime moment) {
    if (!trackLoaded(*this)) return;
    // Exactly the track bar's seek: the moment goes to whole seconds as the bar's position, and
    // the bar's change handler shows it and re-bases the clock.
    const int position = trackBarPosition(moment, data.TrackData.element(1));
    if (TrackBar->value() != position)
        TrackBar->setValue(position);
    else
        TrackBarChange();
}
