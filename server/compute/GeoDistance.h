#pragma once

namespace telvika::server {

// Great-circle distance in metres between two positions in degrees (haversine on a sphere of the
// Earth's mean radius; good to a few metres over a town).
double distanceMetres(double lat1, double lon1, double lat2, double lon2);

// Whether two positions are at most `limitM` apart: exactly distanceMetres(...) <= limitM, but
// without the cosine when a bound of the short-step formula settles it.
bool withinMetres(double lat1, double lon1, double lat2, double lon2, double limitM);

}  // namespace telvika::server
