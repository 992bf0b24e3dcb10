#include "TrackFileImport.h"

#include "common/Error.h"
#include "import/TrackImport.h"
#include "store/TelemetryWriter.h"

#include <memory>

namespace telvika::admin {

TrackFileImport importTrackFileIntoStore(server::Store& store, int device, const QString& path,
                                         const server::import::TrackZone& zone,
                                         const std::function<void(double)>& progress) {
    TrackFileImport done;
    {
        server::TelemetryBatches batches(store, device);
        const server::import::BatchedImport read = server::import::importTrackFileInBatches(
            path, zone, [&](const QVector<server::TelemetryPoint>& points) { batches.append(points); },
            [&](qint64 bytes, qint64 total) {
                if (progress && total > 0) progress(double(bytes) / double(total));
            });
        if (read.streamed) {
            if (!read.outcome.error.isEmpty()) throw Error(read.outcome.error);
            done.added = batches.commit();
            done.skipped = read.outcome.skipped;
            done.problems = read.outcome.problems;
            if (progress) progress(1.0);
            return done;
        }
    }  // what the batches stored so far is rolled back here
    const server::import::ImportResult whole = server::import::importTrackFile(path, zone);
    if (!whole.error.isEmpty()) throw Error(whole.error);
    done.added = store.appendTelemetry(device, whole.points);
    done.skipped = whole.skipped;
    done.problems = whole.problems;
    if (progress) progress(1.0);
    return done;
}

}  // namespace telvika::admin
