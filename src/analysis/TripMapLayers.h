#pragma once

#include "analysis/TripRecord.h"

namespace mvx {
class IMVControl;
}

namespace telvika::analysis {

// Puts a trip on a map control outside the player's window, in the player's own object sets and
// styles: the track, the icons of the entries of the kinds whose icons are shown, and the control
// points. trackCoordinates is the server's "lon lat,lon lat" text of the track.
void showTripLayers(mvx::IMVControl& control, const TTripRecord& trip, const QString& trackCoordinates,
                    const QVector<TControlPoint>& controlPoints);

// The area of the trip's track: south, west, north, east in degrees; false for an empty track.
bool trackBounds(const TTrackData& track, double& south, double& west, double& north, double& east);

}  // namespace telvika::analysis
