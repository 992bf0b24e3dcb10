#include "import/ImportProblems.h"

#include <algorithm>
#include <cmath>

#include "compute/TelemetryCheck.h"
#include "compute/UtcTime.h"
#include "import/TrackImport.h"

namespace telvika::server::import {

void ImportProblems::finish(QVector<TelemetryPoint> points, bool speedKnown, ImportResult& result) {
    // The store's own ranges (a time from 1970 to a day from now, ...) before anything is derived.
    const double now = utcNow();
    qsizetype kept = 0;
    for (const TelemetryPoint& p : std::as_const(points)) {
        TelemetryPoint probe = p;
        if (std::isnan(probe.speedKmh)) probe.speedKmh = 0.0;  // derived below
        const QString problem = telemetryProblem(probe, now);
        if (!problem.isEmpty()) {
            skip(problem);
            continue;
        }
        points[kept++] = p;
    }
    points.resize(kept);
    std::stable_sort(points.begin(), points.end(),
                     [](const TelemetryPoint& a, const TelemetryPoint& b) { return a.time < b.time; });
    QVector<TelemetryPoint> unique;
    unique.reserve(points.size());
    for (const TelemetryPoint& p : points) {
        if (!unique.isEmpty() && std::llround(unique.last().time * 86400000.0) == std::llround(p.time * 86400000.0)) {
            skip(QStringLiteral("повторяющееся время"));
            continue;
        }
        unique.push_back(p);
    }
    report(result);
    if (unique.isEmpty()) {
        result.points.clear();
        if (result.error.isEmpty()) {
            result.error = QStringLiteral("В файле нет ни одной пригодной точки трека");
            if (!result.problems.isEmpty()) result.error += QStringLiteral(": ") + result.problems.join(QStringLiteral("; "));
        }
        return;
    }
    deriveSpeedAndOdometer(unique, speedKnown);
    result.points = std::move(unique);
}

void ImportProblems::report(ImportResult& result) const {
    result.skipped = 0;
    result.problems.clear();
    for (auto it = counts_.cbegin(); it != counts_.cend(); ++it) {
        result.skipped += it.value();
        result.problems << QStringLiteral("Пропущено точек (%1): %2").arg(it.key()).arg(it.value());
    }
}

}  // namespace telvika::server::import
