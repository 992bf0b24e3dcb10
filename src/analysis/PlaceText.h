#pragma once

#include <QString>

#include "mvx/IMVControl.h"

namespace telvika::analysis {

// How far a named street may lie from the vehicle to name its place.
inline constexpr double PlaceRadiusMetres = 200.0;

// The place of a position: "ул. Ленина, 12" where the street has a house number close by,
// "у Восточное шоссе" beside a street without one, "—" with no named way within reach.
QString placeText(const mvx::MapPlace& place);

// The place of a position through the map control; "—" without a control.
QString placeOf(const mvx::IMVControl* control, double lon, double lat);

}  // namespace telvika::analysis
