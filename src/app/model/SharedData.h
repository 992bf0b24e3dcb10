#pragma once

#include <QStringList>
#include <QVector>

#include "app/model/MapTypes.h"
#include "app/model/TrackData.h"
#include "common/Bool32.h"
#include "common/OleDate.h"

class TTelvikaAutomation;
namespace mvx {
class IMapTable;
}

// Everything the parts of the main window share: the server link and selection, the trip and its
// track, the playback clock, the information and control points, and the seven map tables. One
// instance is owned by each main window, so that several windows in one process share nothing.
struct TSharedData {
    // Server link and selection.
    TTelvikaAutomation* TrackingServer = nullptr;  // owned by the application; none after closing
    QStringList GroupIDs;                          // GroupID of each item of the group combo
    telvika::Bool32 OwnComputing;                  // the player asked for the computation under way
    telvika::Bool32 FollowingServer;               // following a computation asked for elsewhere
    telvika::Bool32 SkipNextEndComputing;          // the next end-of-computing notice is ignored
    TMapPointArray CarPositions;                   // last position of each vehicle of the group
    TArrayString CarLabels;                        // map label of each vehicle of the group

    // Trips and track.
    qint32 CurTrip = 0;  // 1-based number of the chosen trip; 0 = none
    TTrackData TrackData;
    qint32 TrackPointCount = 0;
    TMapPointArray TrackPoints;
    QVector<TStops> TripStops;
    qint32 TripStopsCount = 0;

    // Playback.
    qint32 CurPointIndex = 0;          // 0-based index of the first point of the current segment
    telvika::TDateTime PlayTime = 0.0;     // the moment of the track that is shown
    telvika::TDateTime PlayRefClock = 0.0;  // wall clock at the last start, pause, stop or step
    telvika::TDateTime PlayRefTime = 0.0;   // track moment at PlayRefClock
    qint32 SpeedFactor = 0;
    bool TrackBarSeekEnabled = true;   // false while the player itself moves the track bar
    TMapPointArrays MarkerShape;       // two polygons of five screen points

    // Information points and control points.
    QVector<TInfoPoints> InfoPoints;   // element 0: control points, element 1: stops
    qint32 InfoPointsCount = 0;
    telvika::Bool32 ControlPointsOn;
    TMapPointArrayss InfoPointCoords;  // [kind][entry]: one point
    TArrayStrings InfoPointLabels;     // [kind][entry]: value text
    QVector<qint32> InfoPointEntryCounts;
    qint32 ControlPointCount = 0;
    TArrayString ControlAreaCoords;    // circle text per control point
    TArrayString ControlCenterCoords;  // longitude, latitude text per control point
    TArrayString ControlPointLabels;

    // The seven map tables; the map control owns them.
    mvx::IMapTable* tblTrackBase = nullptr;
    mvx::IMapTable* tblTrackLine = nullptr;
    mvx::IMapTable* tblCheckAreas = nullptr;
    mvx::IMapTable* tblCheckLabels = nullptr;
    mvx::IMapTable* tblInfoPoints = nullptr;
    mvx::IMapTable* tblStopLabel = nullptr;
    mvx::IMapTable* tblVehicles = nullptr;
};
