#pragma once

#include <QColor>
#include <QImage>

namespace resources {

// Pictures of the map icon bundles, transparent around the motif.

// TVIcons.res: icon 0 a control point pin, 1..12 the information-point kinds in the motifs of the
// kind menu (1 stops, 2 signal, 3 power, 4 speed, 5 refuelling of tank 1, 6 a drain / tank 2,
// 7..12 sensors 1 to 6), each a symbol on a white disc ringed in the kind's colour.
inline constexpr int KindIconCount = 13;
QImage kindIcon(int n, int size);

// The kind's colour (0..12 as above); the menu uses the same colours.
QColor kindColor(int n);

// TVAllTS.res: icons 1..168, the vehicle pictures.
inline constexpr int VehicleIconCount = 168;
QImage vehicleIcon(int n, int size);

}  // namespace resources
