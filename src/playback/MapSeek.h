#pragma once

#include "app/model/MapTypes.h"
#include "common/OleDate.h"

namespace telvika::playback {

// The track segment nearest to a clicked place and where along it the click falls.
struct TMapSeek {
    bool found = false;     // false for fewer than two points
    int segment = 0;        // the segment from point segment to point segment + 1
    double fraction = 0.0;  // 0..1 along the segment; 0 when the distance to its first point counted
};

// Distances are measured in degrees of longitude and latitude as they are (no latitude scaling).
// For each segment A-B: when the angle at the clicked place P is obtuse (|PA|^2 + |PB|^2 < |AB|^2)
// its distance is that from P to the line AB (Heron's formula), otherwise |PA|. The first segment
// is taken first; a later one only when strictly nearer (ties keep the earlier). The fraction is
// the foot of the perpendicular along AB; it is 0 outside 0..1 and when |PA| was the distance.
// Values that come out slightly negative under a square root through rounding are taken as 0.
TMapSeek nearestSegment(const TMapPointArray& points, int pointCount, double x, double y);

// The moment a seek goes to: a whole number of seconds (halves to even) after the segment's first
// point, at the fraction of the segment's duration.
TDateTime seekMoment(TDateTime segmentBegin, TDateTime segmentEnd, double fraction);

}  // namespace telvika::playback
