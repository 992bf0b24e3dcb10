#pragma once

#include <QString>
#include <QVector>

#include <span>

#include "compute/TripDivider.h"

namespace telvika::server {

// The track of a trip: five values per record with a fix (instant, longitude, latitude, metres
// driven since the trip's start, km/h). Steps between two parked records add no distance.
QVector<double> buildTrack(std::span<const TelemetryPoint> points, const QVector<bool>& parked,
                           const TripRange& trip);

// The track as map object text: "lon lat" pairs joined by ",", "." as the decimal separator.
QString trackCoordinatesText(const QVector<double>& track);

}  // namespace telvika::server
