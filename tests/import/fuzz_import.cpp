// Fuzz entry point of the track readers: any bytes, read as GPX and as CSV, must give either an
// error or usable points in strict time order with finite values, and never crash.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "import/TrackImport.h"

using namespace telvika::server::import;

namespace {

void check(const ImportResult& r) {
    if (!r.error.isEmpty() && !r.points.isEmpty()) std::abort();  // an error never comes with points
    for (int i = 0; i < r.points.size(); ++i) {
        const auto& p = r.points[i];
        if (!std::isfinite(p.time) || !std::isfinite(p.lat) || !std::isfinite(p.lon) ||
            !std::isfinite(p.speedKmh) || !std::isfinite(p.odometerM) || p.speedKmh < 0.0)
            std::abort();
        if (i > 0 && !(p.time > r.points[i - 1].time)) std::abort();
        if (i > 0 && p.odometerM < r.points[i - 1].odometerM) std::abort();
    }
    if (r.skipped < 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    check(importGpx(bytes));
    check(importCsv(bytes));
    return 0;
}
