#pragma once

#include <QPoint>

#include "app/model/MapTypes.h"

namespace telvika::playback {

// Pixels of the view's edge within which the marker makes the map recentre on it.
inline constexpr double FollowingMargin = 25.0;

// The arrow marker of a vehicle at pixel (xs, ys) pointing along angle (radians, 0 = right, growing
// clockwise on the screen) with length size from the vehicle to the tip: two polygons of five
// points (rear notch, barb, tip, barb, the notch again). Polygon 0 is the outer dart (notch 0.4 of
// the size behind, barbs at the full size 135 degrees either side), polygon 1 the inner one, the
// outer scaled by 0.6 about the vehicle.
TMapPointArrays markerShape(double xs, double ys, double angle, double size);

// A marker point brought to whole pixels, halves to the even neighbour.
QPoint wholePixel(const TMapPoint& p);

// True when the point (the marker's rear notch) lies farther than the margin inside the edges of a
// width x height view whose centre is at pixel centre: then the view is to be recentred on it.
bool needsFollowing(const QPoint& point, const QPoint& centre, int width, int height,
                    double margin = FollowingMargin);

}  // namespace telvika::playback
