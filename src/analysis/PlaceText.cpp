#include "analysis/PlaceText.h"

namespace telvika::analysis {

QString placeText(const mvx::MapPlace& place) {
    if (!place.found || place.street.isEmpty()) return QStringLiteral("—");
    if (!place.house.isEmpty()) return place.street + QStringLiteral(", ") + place.house;
    return QStringLiteral("у ") + place.street;
}

QString placeOf(const mvx::IMVControl* control, double lon, double lat) {
    if (!control) return placeText({});
    return placeText(control->NearestStreet(lat, lon, PlaceRadiusMetres));
}

}  // namespace telvika::analysis
