// The trips list of a finished computation and the loading of a trip's track.
#include "app/TForm1.h"

#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QToolButton>
#include <QTreeWidget>

#include "automation/TTelvikaAutomation.h"
#include "common/Error.h"
#include "mvx/IMVControl.h"
#include "tracking/TrackLoad.h"

namespace {

// The stops of the server's current trip: the entries of the second information-point kind. With
// fewer than two kinds there is no stops kind and the trip has no stops.
QVector<TStops> readTripStops(TForm1& w, int tripNumber) {
    if (w.data.InfoPoints.size() < 2) return {};
    TTelvikaAutomation& server = *w.data.TrackingServer;
    w.SelectEntryList(w.data.InfoPoints[1].query);
    const int count = server.TripEntriesCount();
    QVector<TStops> stops;
    stops.reserve(qMax(count, 0));
    for (int i = 1; i <= count; ++i) {
        server.SetTripEntryIndex(i);
        try {
            stops.push_back(telvika::tracking::stopOfTexts(server.TripEntryBegin(), server.TripEntryEnd(),
                                                           server.TripEntryDuration()));
        } catch (const telvika::Error& e) {
            throw telvika::Error(QStringLiteral("Не удалось прочитать остановки рейса %1: %2").arg(tripNumber).arg(e.message()));
        }
    }
    return stops;
}

}  // namespace

void TForm1::LoadTrips() {
    ListView1->clear();
    if (cmbInfoPoints->count() > 0) cmbInfoPoints->setCurrentIndex(0);
    if (!data.TrackingServer) return;
    TTelvikaAutomation& server = *data.TrackingServer;
    if (server.ComputingState() != 0) return;
    const int count = server.TripsCount();
    if (count < 1) {
        lblTripNum->setText(QStringLiteral("N/A"));
        return;
    }
    for (int i = 1; i <= count; ++i) {
        server.SetTripIndex(i);
        ListView1->headerItem()->setText(3, QStringLiteral("Прод-ть"));
        auto* row = new QTreeWidgetItem(ListView1);
        row->setText(0, QString::number(i));
        row->setText(1, server.TripBegin());
        row->setText(2, server.TripEnd());
        row->setText(3, server.TripDuration());
    }
    // A trip number kept from an earlier list that this one does not have starts again at 1.
    if (data.CurTrip < 1 || data.CurTrip > count) data.CurTrip = 1;
    ListView1->setCurrentItem(ListView1->topLevelItem(data.CurTrip - 1));
    lblTripNum->setText(QString::number(data.CurTrip));
    LoadTrack(data.CurTrip);
}

void TForm1::ListView1Click() {
    // Nothing happens unless a row is selected and the kind list has a selection; its first item
    // means the trips list, every other item an information-point kind.
    if (!ListView1->currentItem() || cmbInfoPoints->currentIndex() < 0) return;
    if (cmbInfoPoints->currentIndex() == 0)
        ListView1ClickTrip();
    else
        ListView1ClickInfoPoint();
}

void TForm1::ListView1ClickTrip() {
    if (!data.TrackingServer) return;
    data.CurTrip = ListView1->indexOfTopLevelItem(ListView1->currentItem()) + 1;
    if (ToolButton1->isChecked()) ShowControlPoints();
    if (ToolButton2->isChecked()) ShowInfoPoints();
    // The trip's stops come with its track.
    LoadTrack(data.CurTrip);
    lblTripNum->setText(QString::number(data.CurTrip));
}

void TForm1::LoadTrack(int tripNumber) {
    if (!data.TrackingServer) return;
    TTelvikaAutomation& server = *data.TrackingServer;
    ClearLayer(5);
    telvika::tracking::TTripSource source;
    source.pointCount = [&] {
        server.SetTripIndex(tripNumber);
        return server.TrackPointsCount();
    };
    source.stops = [&] { return readTripStops(*this, tripNumber); };
    source.values = [&] { return server.TrackCrdsArray(); };
    const std::optional<int> maximum = telvika::tracking::loadTripTrack(data, source);
    if (!maximum) return;  // a trip without points keeps the previous track and range

    ToolButton4->setChecked(true);
    const bool seekEnabled = data.TrackBarSeekEnabled;  // the program moves the bar, not the user
    data.TrackBarSeekEnabled = false;
    TrackBar->setRange(0, *maximum);
    data.TrackBarSeekEnabled = seekEnabled;
    // The shown moment is the new track's first point, so that Play and a speed change (which
    // re-bases the clock on it) start from this trip, not from the moment of the one before.
    data.PlayTime = data.TrackData.time(0);
    btnStopClick(nullptr);
    ShowLayer(1);
    MVCtrl->SetCurScale(20000.0);
    MVCtrl->SetCenter(data.TrackData.latitude(0), data.TrackData.longitude(0));
    TripTrackLoaded();
}
