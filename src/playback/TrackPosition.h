#pragma once

#include "app/model/MapTypes.h"
#include "app/model/TrackData.h"
#include "common/OleDate.h"

namespace telvika::playback {

// The segment in use for a moment: the one whose two points bracket it, t(k-1) < moment <= t(k),
// found as the first k from 1 with t(k) >= moment; a moment at or before the first point uses the
// first segment, one after the second-last point the last segment. With fewer than two points there
// is no segment and the current index is kept. pointCount is limited to the track's own.
int findSegment(const TTrackData& track, int pointCount, TDateTime moment, int current);

// Direction of travel from (x1, y1) to (x2, y2), longitude and latitude in degrees, as seen on a
// north-up map whose y axis points down: 0 east, pi/2 south, pi west, 3pi/2 north, in [0, 2pi).
// The longitude difference is scaled by the cosine of the mean latitude. Identical points give pi/2.
double heading(double x1, double x2, double y1, double y2);

// The mean of two directions: the direction of the sum of their unit vectors, in [0, 2pi). Two
// opposite directions (a turn back) have no mean; the second one is taken then.
double meanDirection(double a1, double a2);

// Where the vehicle is and where it points: longitude X, latitude Y, direction in radians.
struct TVehiclePose {
    double X = 0.0;
    double Y = 0.0;
    double angle = 0.0;
};

// The vehicle at a moment on the segment that starts at point i (points of the track, times from
// track, pointCount usable points, at least one):
// - in the same second as t(i) (the same date label text) it stands on P(i), pointing along the mean
//   direction of the segments before and after P(i), or along the one of them that exists;
// - otherwise it is placed by linear interpolation in time along P(i)..P(i+1) (a moment outside the
//   segment holds it at the nearer end) and points along the segment; a place with a longitude or
//   latitude of exactly 0 is taken as P(i), pointing down;
// - a segment of zero duration puts it on P(i) with the segment's direction; when P(i) is the last
//   point it stands there, pointing along the segment that ends there.
// i is limited to the usable points.
TVehiclePose vehiclePose(const TTrackData& track, const TMapPointArray& points, int pointCount, int i,
                         TDateTime moment);

// The vehicle on the last point, pointing along the last segment (pi/2 for a one-point track).
TVehiclePose lastPointPose(const TMapPointArray& points, int pointCount);

// Number of points usable together from the track count, the points array and the track values.
int usablePointCount(const TTrackData& track, const TMapPointArray& points, int pointCount);

}  // namespace telvika::playback
