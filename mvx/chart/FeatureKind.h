#pragma once

#include <cstdint>

namespace mvx {

// What a map feature is, in drawing order: a kind listed later is drawn above the earlier ones.
enum class FeatureKind : std::uint8_t {
    // Areas.
    Residential,
    Industrial,
    Commercial,
    Farmland,
    Forest,
    Park,
    Cemetery,
    Wetland,
    Sand,
    Parking,
    Water,
    // Water lines.
    River,
    Stream,
    // Buildings.
    Building,
    // Roads, minor to major, so that major roads cross over minor ones.
    Path,
    Track,
    Service,
    MinorRoad,
    Tertiary,
    Secondary,
    Primary,
    Trunk,
    Motorway,
    // Railways.
    Rail,
    MinorRail,
    // Named places (label points).
    PlaceCity,
    PlaceSuburb,
    PlaceLocal,
    None
};

inline constexpr int FeatureKindCount = static_cast<int>(FeatureKind::None);

// The geometry a feature is stored and drawn with.
enum class FeatureShape : std::uint8_t { Point, Line, Area };

inline constexpr int kindIndex(FeatureKind k) { return static_cast<int>(k); }
inline constexpr bool isRoad(FeatureKind k) { return k >= FeatureKind::Path && k <= FeatureKind::Motorway; }
inline constexpr bool isPlace(FeatureKind k) {
    return k >= FeatureKind::PlaceCity && k <= FeatureKind::PlaceLocal;
}
inline constexpr bool isAreaKind(FeatureKind k) {
    return k <= FeatureKind::Water || k == FeatureKind::Building;
}
inline constexpr bool isLineKind(FeatureKind k) {
    return (k >= FeatureKind::River && k <= FeatureKind::Stream) ||
           (k >= FeatureKind::Path && k <= FeatureKind::MinorRail);
}

}  // namespace mvx
