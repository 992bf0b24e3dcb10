// The map's object sets: track, information points, control points and the group's vehicles, and
// the three toolbar switches that show and hide them.
#include "app/TForm1.h"

#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>

#include "automation/TTelvikaAutomation.h"
#include "map/LayerStyles.h"
#include "mvx/IMVControl.h"

namespace layers = telvika::layers;

namespace {

void emptyTable(mvx::IMapTable* table) {
    while (table->GetRecordCount() > 0) {
        table->MoveFirst();
        table->DeleteRecord();
    }
}

// How many information-point kinds the arrays can really serve.
int kindCount(const TSharedData& d) { return std::min<int>(d.InfoPointsCount, d.InfoPoints.size()); }

// How many entries of kind i the filled arrays hold (none before they were read).
int entryCount(const TSharedData& d, int i) {
    if (i >= d.InfoPointEntryCounts.size() || i >= d.InfoPointCoords.size() || i >= d.InfoPointLabels.size())
        return 0;
    return std::min({static_cast<int>(d.InfoPointEntryCounts[i]), static_cast<int>(d.InfoPointCoords[i].size()),
                     static_cast<int>(d.InfoPointLabels[i].size())});
}

void showTrack(TForm1& w) {
    if (!w.data.TrackingServer) return;
    TTelvikaAutomation& server = *w.data.TrackingServer;
    server.SetTripIndex(w.data.CurTrip);
    emptyTable(w.data.tblTrackBase);
    emptyTable(w.data.tblTrackLine);
    // One text for both sets: a long trip's is tens of megabytes, and the map recognises the same
    // text the second time without reading it again.
    const QString geometry = layers::lineGeometryOfUtf8(server.TrackCrdsUtf8());
    w.data.tblTrackBase->AddRecord();
    w.data.tblTrackBase->SetFieldValue(geometry, 0);
    w.MVCtrl->LoadObjects(layers::trackBaseCommand(), layers::trackBaseStyle(), w.data.tblTrackBase);
    w.data.tblTrackLine->AddRecord();
    w.data.tblTrackLine->SetFieldValue(geometry, 0);
    w.MVCtrl->LoadObjects(layers::trackLineCommand(), layers::trackLineStyle(), w.data.tblTrackLine);
}

void showInfoPointKinds(TForm1& w, bool withEntries) {
    TSharedData& d = w.data;
    if (d.InfoPointsCount < 2) return;
    for (int i = 1; i < kindCount(d); ++i) {  // kind 0, the control points, has no icons
        emptyTable(d.tblInfoPoints);
        if (withEntries && d.InfoPoints[i].VisibleIcon) {
            for (int j = 0; j < entryCount(d, i); ++j) {
                const QString& label = d.InfoPointLabels[i][j];
                const TMapPoint p = d.InfoPointCoords[i][j].value(0);
                d.tblInfoPoints->AddRecord();
                d.tblInfoPoints->SetFieldValue(p.X, 0);
                d.tblInfoPoints->SetFieldValue(p.Y, 1);
                d.tblInfoPoints->SetFieldValue(layers::infoPointStyle(layers::infoPointIcon(i, label)), 2);
                d.tblInfoPoints->SetFieldValue(layers::infoPointName(label, j), 3);
            }
        }
        w.MVCtrl->LoadObjects(layers::infoPointsCommand(d.InfoPoints[i].name), QString(), d.tblInfoPoints);
    }
}

void loadControlPointSets(TForm1& w) {
    TSharedData& d = w.data;
    w.MVCtrl->LoadObjects(layers::controlAreaCommand(), layers::controlAreaStyle(), d.tblCheckAreas);
    w.MVCtrl->LoadObjects(layers::controlOutlineCommand(), layers::controlOutlineStyle(), d.tblCheckAreas);
    w.MVCtrl->LoadObjects(layers::controlCentersCommand(), QString(), d.tblCheckLabels);
}

void showControlPointsLayer(TForm1& w) {
    TSharedData& d = w.data;
    emptyTable(d.tblCheckAreas);
    emptyTable(d.tblCheckLabels);
    const int count = std::min({static_cast<int>(d.ControlPointCount), static_cast<int>(d.ControlAreaCoords.size()),
                                static_cast<int>(d.ControlPointLabels.size()),
                                static_cast<int>(d.ControlCenterCoords.size() / 2)});
    for (int i = 0; i < count; ++i) {
        d.tblCheckAreas->AddRecord();
        d.tblCheckAreas->SetFieldValue(layers::lineGeometry(d.ControlAreaCoords[i]), 0);
        d.tblCheckAreas->SetFieldValue(d.ControlPointLabels[i], 1);
        d.tblCheckLabels->AddRecord();
        d.tblCheckLabels->SetFieldValue(d.ControlCenterCoords[2 * i], 0);
        d.tblCheckLabels->SetFieldValue(d.ControlCenterCoords[2 * i + 1], 1);
        d.tblCheckLabels->SetFieldValue(layers::controlLabelStyle(d.ControlPointLabels[i]), 2);
    }
    loadControlPointSets(w);
}

void showVehicles(TForm1& w) {
    TSharedData& d = w.data;
    emptyTable(d.tblVehicles);
    // The server's count at this moment, but never more than the positions read for the group.
    int count = d.CarPositions.size();
    if (d.TrackingServer) count = std::min(count, d.TrackingServer->CarsCount());
    count = std::min(count, static_cast<int>(d.CarLabels.size()));
    for (int i = 0; i < count; ++i) {
        d.tblVehicles->AddRecord();
        d.tblVehicles->SetFieldValue(d.CarPositions[i].X, 0);
        d.tblVehicles->SetFieldValue(d.CarPositions[i].Y, 1);
        d.tblVehicles->SetFieldValue(layers::vehicleStyle(w.IconNum), 2);
        d.tblVehicles->SetFieldValue(d.CarLabels[i], 3);
    }
    w.MVCtrl->LoadObjects(layers::vehiclesCommand(), QString(), d.tblVehicles);
}


}  // namespace

void TForm1::ShowLayer(int kind) {
    if (!data.tblTrackBase && kind != 2) return;  // the map tables are made at start-up
    switch (kind) {
        case 1: showTrack(*this); break;
        case 2: ShowMarkerLayer(); break;
        case 3: showInfoPointKinds(*this, true); break;
        case 4: showControlPointsLayer(*this); break;
        case 5: showVehicles(*this); break;
        default: break;
    }
}

void TForm1::ClearLayer(int kind) {
    if (!data.tblTrackBase) return;
    switch (kind) {
        case 1:
            emptyTable(data.tblTrackBase);
            emptyTable(data.tblTrackLine);
            MVCtrl->LoadObjects(layers::trackBaseCommand(), layers::trackBaseStyle(), data.tblTrackBase);
            MVCtrl->LoadObjects(layers::trackLineCommand(), layers::trackLineStyle(), data.tblTrackLine);
            break;
        case 3: showInfoPointKinds(*this, false); break;
        case 4:
            emptyTable(data.tblCheckAreas);
            emptyTable(data.tblCheckLabels);
            loadControlPointSets(*this);
            break;
        case 5:
            emptyTable(data.tblVehicles);
            MVCtrl->LoadObjects(layers::vehiclesCommand(), QString(), data.tblVehicles);
            break;
        default: break;
    }
}

void TForm1::ShowInfoPoints() {
    if (!data.TrackingServer || !ToolButton2->isChecked()) return;
    TTelvikaAutomation& server = *data.TrackingServer;
    // No trip listed (the computation changed while the list was made): nothing to ask for. A
    // computation that ended meanwhile is listed by its own notice.
    if (server.ComputingState() == 1 || data.CurTrip < 1 || data.CurTrip > server.TripsCount()) return;

    const int kinds = std::max(0, static_cast<int>(data.InfoPointsCount));
    data.InfoPointCoords.resize(kinds);
    data.InfoPointLabels.resize(kinds);
    data.InfoPointEntryCounts.resize(kinds);
    server.SetTripIndex(data.CurTrip);
    for (int i = 1; i < std::min<int>(kinds, data.InfoPoints.size()); ++i) {
        const TInfoPoints& kind = data.InfoPoints[i];
        if (!kind.VisibleIcon) continue;
        SelectEntryList(kind.query);
        const int n = std::max(0, server.TripEntriesCount());
        TMapPointArrays coords(n);
        TArrayString labels(n);
        for (int j = 0; j < n; ++j) {
            server.SetTripEntryIndex(j + 1);
            coords[j] = TMapPointArray{TMapPoint{server.TripEntryLongitude(), server.TripEntryLatitude()}};
            labels[j] = layers::entryLabel(server, kind.query);
        }
        data.InfoPointCoords[i] = std::move(coords);
        data.InfoPointLabels[i] = std::move(labels);
        data.InfoPointEntryCounts[i] = n;
    }
    ShowLayer(3);
}

void TForm1::ToolButton4Click() {
    if (ListView1->topLevelItemCount() == 0) return;
    if (ToolButton4->isChecked())
        LoadTrack(data.CurTrip);
    else
        ClearLayer(1);
}

void TForm1::ToolButton1Click() {
    if (ToolButton1->isChecked()) {
        data.ControlPointsOn = true;
        ShowControlPoints();
    } else {
        data.ControlPointsOn = false;
        ClearLayer(4);
    }
}

void TForm1::ToolButton2Click() {
    if (ListView1->topLevelItemCount() == 0) return;
    if (ToolButton2->isChecked())
        ShowInfoPoints();
    else
        ClearLayer(3);
}
