#pragma once

#include <QString>
#include <QStringList>

#include <functional>

#include "store/Store.h"

namespace telvika::server::import {
class TrackZone;
}

namespace telvika::admin {

// What an import stored and what it left out.
struct TrackFileImport {
    server::TelemetryAppend added;
    int skipped = 0;
    QStringList problems;  // one line per reason
};

// Imports a GPX or CSV track file into a device's telemetry. The file is read once, in batches of
// some thousands of points stored through one prepared statement in one transaction, so memory
// stays bounded by a batch; a file that cannot be taken in file order (points out of time order,
// speeds for only some points) is then read whole instead. Nothing is stored unless all of it is.
// `progress` hears the share of the file read (0 to 1). Throws Error (Russian) on failure.
TrackFileImport importTrackFileIntoStore(server::Store& store, int device, const QString& path,
                                         const server::import::TrackZone& zone,
                                         const std::function<void(double)>& progress = {});

}  // namespace telvika::admin
