#pragma once

#include <QString>

namespace telvika::server {

class Store;

// Fills a store with the generated demo fleet and writes the demo town's map beside it. Available
// only in builds that include the demo generator.
class DemoSeeder {
public:
    static bool available();
    // Generates `days` days of the fleet up to endTime (an instant, UTC days), writes the town chart
    // to chartPath (skipped when empty) and stores the fleet in one transaction. Throws
    // telvika::Error; the store is unchanged then.
    static void seed(Store& store, const QString& chartPath, double endTime, int days = 14);
};

}  // namespace telvika::server
