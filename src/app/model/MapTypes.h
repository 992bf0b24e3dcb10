#pragma once

#include <QString>
#include <QVector>

#include "common/Bool32.h"
#include "common/OleDate.h"

// Record and array types shared by every part of the player.

// A point: longitude (X) and latitude (Y) in degrees, except in the marker shape, where both are
// screen pixels.
struct TMapPoint {
    double X = 0.0;
    double Y = 0.0;
    friend bool operator==(const TMapPoint&, const TMapPoint&) = default;
};

using TMapPointArray = QVector<TMapPoint>;
using TMapPointArrays = QVector<TMapPointArray>;
using TMapPointArrayss = QVector<TMapPointArrays>;
using TArrayString = QVector<QString>;
using TArrayStrings = QVector<TArrayString>;

// One information-point kind, as the settings file lists it.
struct TInfoPoints {
    QString name;          // caption in the kind list and the popup menu; name of its map object set
    QString query;         // the server's entry-list selector: "parks", "tank-num1", ...
    telvika::Bool32 VisibleList;  // offered in the kind list
    telvika::Bool32 VisibleIcon;  // its entries are drawn on the map
    QString Icon;          // short icon code kept with the entry
};

// One stop of the current trip.
struct TStops {
    telvika::TDateTime Begin = 0.0;
    telvika::TDateTime End = 0.0;
    QString Text;  // the stop's duration as the server words it
};
