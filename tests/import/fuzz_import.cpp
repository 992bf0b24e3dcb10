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

bool same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// The fast reader of plain XML reads what it accepts exactly as QXmlStreamReader does.
void compareReaders(const QByteArray& bytes) {
    const ImportResult fast = importGpx(bytes), qt = importGpx(bytes, false);
    if (fast.error != qt.error || fast.skipped != qt.skipped || fast.problems != qt.problems ||
        fast.points.size() != qt.points.size())
        std::abort();
    for (int i = 0; i < fast.points.size(); ++i) {
        const auto &a = fast.points[i], &b = qt.points[i];
        if (!same(a.time, b.time) || !same(a.lat, b.lat) || !same(a.lon, b.lon) || !same(a.speedKmh, b.speedKmh) ||
            !same(a.odometerM, b.odometerM))
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    check(importGpx(bytes));
    compareReaders(bytes);
    check(importCsv(bytes));
    return 0;
}
