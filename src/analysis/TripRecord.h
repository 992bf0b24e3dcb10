#pragma once

#include <QString>
#include <QVector>

#include "app/model/MapTypes.h"
#include "app/model/TrackData.h"
#include "common/OleDate.h"

namespace telvika::analysis {

// Who drove the trip and when, as the server words it.
struct TTripHeader {
    QString group;
    QString vehicleName;
    QString vehicleNumber;
    int device = 0;
    int tripNumber = 0;
    QString beginText;
    QString endText;
    QString durationText;
};

// One entry of an information-point kind of the trip.
struct TTripEntry {
    int kind = 0;  // position of the kind in the settings' list, from 0
    QString kindName;
    QString query;
    QString beginText;
    QString endText;
    QString durationText;
    TDateTime begin = 0.0;
    TDateTime end = 0.0;
    double lon = 0.0;
    double lat = 0.0;
    QString label;  // its map label: the duration, the top speed or the tank's change
};

// A control point of the vehicle, for a map drawn without the player's window.
struct TControlPoint {
    QString label;
    double lon = 0.0;
    double lat = 0.0;
    int radius = 0;  // metres
};

// Everything the summary, the export and the report of one trip use.
struct TTripRecord {
    TTripHeader header;
    TTrackData track;
    QVector<TStops> stops;
    QVector<TInfoPoints> kinds;   // the settings' kinds, in their order
    // Of the listed kinds and of the kinds whose icons are shown, kind by kind in list order.
    QVector<TTripEntry> entries;
};

// The number of entries of each listed kind (VisibleList), in list order: name and count.
struct TKindCount {
    int kind = 0;
    QString name;
    int count = 0;
};
QVector<TKindCount> listedKindCounts(const TTripRecord& trip);

}  // namespace telvika::analysis
