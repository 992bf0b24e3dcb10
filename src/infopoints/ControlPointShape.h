#pragma once

// The texts that put a control point on the map: its circle as 31 coordinate pairs, its centre and
// its label. Every number is written with a point as decimal separator, whatever the locale, as
// the map control reads them.

#include <QString>

namespace infopoints {

// Metres on the earth's surface in degrees of a great circle: one degree is about 111 195 m
// (the divisor is pi times a mean earth radius of 6 371 023 m).
double radiusToDegrees(double metres);

// "lon lat,lon lat,..." of 31 points at 12 degree steps round the centre, the first and the last
// the same point exactly; only the east-west offset is widened by 1 / cos(latitude).
QString circleText(double longitude, double latitude, double radiusMetres);

// A coordinate as the map reads it: shortest general form, "." as decimal separator.
QString coordinateText(double degrees);

// "Name(Note)", no blank before the parenthesis.
QString controlPointLabel(const QString& name, const QString& note);

}  // namespace infopoints
