#include "chart/FeatureClassifier.h"

#include <initializer_list>

namespace mvx {

namespace {

bool oneOf(std::string_view v, std::initializer_list<std::string_view> values) {
    for (auto x : values)
        if (v == x) return true;
    return false;
}

}  // namespace

FeatureKind FeatureClassifier::classify(const FeatureTags& tags, FeatureShape shape) {
    switch (shape) {
        case FeatureShape::Point:
            return placeKind(tags.get(FeatureTags::Place));
        case FeatureShape::Line:
            return lineKind(tags);
        case FeatureShape::Area: {
            const FeatureKind k = areaKind(tags);
            if (k != FeatureKind::None) return k;
            // A named place drawn as an area gets a label at its centre.
            return placeKind(tags.get(FeatureTags::Place));
        }
    }
    return FeatureKind::None;
}

FeatureKind FeatureClassifier::placeKind(std::string_view place) {
    if (oneOf(place, {"city", "town"})) return FeatureKind::PlaceCity;
    if (oneOf(place, {"suburb", "village", "borough"})) return FeatureKind::PlaceSuburb;
    if (oneOf(place, {"neighbourhood", "quarter", "hamlet", "locality", "isolated_dwelling"}))
        return FeatureKind::PlaceLocal;
    return FeatureKind::None;
}

FeatureKind FeatureClassifier::lineKind(const FeatureTags& tags) {
    const auto highway = tags.get(FeatureTags::Highway);
    if (!highway.empty()) {
        if (oneOf(highway, {"motorway", "motorway_link"})) return FeatureKind::Motorway;
        if (oneOf(highway, {"trunk", "trunk_link"})) return FeatureKind::Trunk;
        if (oneOf(highway, {"primary", "primary_link"})) return FeatureKind::Primary;
        if (oneOf(highway, {"secondary", "secondary_link"})) return FeatureKind::Secondary;
        if (oneOf(highway, {"tertiary", "tertiary_link"})) return FeatureKind::Tertiary;
        if (oneOf(highway, {"residential", "unclassified", "living_street", "road"})) return FeatureKind::MinorRoad;
        if (highway == "service") return FeatureKind::Service;
        if (highway == "track") return FeatureKind::Track;
        if (oneOf(highway, {"footway", "path", "cycleway", "pedestrian", "steps", "bridleway"}))
            return FeatureKind::Path;
    }
    const auto railway = tags.get(FeatureTags::Railway);
    if (railway == "rail") return FeatureKind::Rail;
    if (oneOf(railway, {"tram", "light_rail", "subway", "narrow_gauge"})) return FeatureKind::MinorRail;
    const auto waterway = tags.get(FeatureTags::Waterway);
    if (oneOf(waterway, {"river", "canal"})) return FeatureKind::River;
    if (oneOf(waterway, {"stream", "ditch", "drain"})) return FeatureKind::Stream;
    return FeatureKind::None;
}

FeatureKind FeatureClassifier::areaKind(const FeatureTags& tags) {
    const auto building = tags.get(FeatureTags::Building);
    if (!building.empty() && building != "no") return FeatureKind::Building;

    const auto natural = tags.get(FeatureTags::Natural);
    const auto landuse = tags.get(FeatureTags::Landuse);
    const auto waterway = tags.get(FeatureTags::Waterway);
    if (natural == "water" || oneOf(landuse, {"reservoir", "basin"}) || oneOf(waterway, {"riverbank", "dock"}) ||
        !tags.get(FeatureTags::Water).empty())
        return FeatureKind::Water;
    if (natural == "wetland") return FeatureKind::Wetland;
    if (landuse == "forest" || natural == "wood") return FeatureKind::Forest;
    if (oneOf(natural, {"beach", "sand"})) return FeatureKind::Sand;
    if (landuse == "cemetery" || tags.get(FeatureTags::Amenity) == "grave_yard") return FeatureKind::Cemetery;
    if (tags.get(FeatureTags::Amenity) == "parking") return FeatureKind::Parking;

    const auto leisure = tags.get(FeatureTags::Leisure);
    if (oneOf(leisure, {"park", "garden", "recreation_ground", "pitch", "playground", "sports_centre"}) ||
        oneOf(landuse, {"grass", "meadow", "village_green", "recreation_ground"}) ||
        oneOf(natural, {"grassland", "scrub", "heath"}))
        return FeatureKind::Park;
    if (landuse == "residential") return FeatureKind::Residential;
    if (oneOf(landuse, {"industrial", "railway", "garages", "construction", "brownfield"}))
        return FeatureKind::Industrial;
    if (oneOf(landuse, {"commercial", "retail"})) return FeatureKind::Commercial;
    if (oneOf(landuse, {"farmland", "farmyard", "orchard", "allotments", "vineyard"})) return FeatureKind::Farmland;
    return FeatureKind::None;
}

}  // namespace mvx
