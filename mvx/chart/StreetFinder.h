#pragma once

#include "chart/Chart.h"

#include <QString>

#include <vector>

namespace mvx {

// The nearest named street to a place, with the house number of that street nearest to the place
// when the map has one close by.
struct StreetPlace {
    QString street;  // the way's name as the map has it
    QString house;   // empty when no house of this street lies within the house radius
    double metres = 0.0;  // ground distance from the place to the street
    bool found = false;
};

// Looks the street up through the charts' spatial indexes: only the roads whose bounds reach the
// search square around the place are measured, segment by segment.
class StreetFinder {
public:
    // Houses are looked for within this distance of the place.
    static constexpr double HouseMetres = 50.0;

    // lon, lat in degrees; maxMetres: the farthest a street may lie on the ground.
    static StreetPlace nearest(const std::vector<const Chart*>& charts, double lon, double lat, double maxMetres);
};

}  // namespace mvx
