#include "import/TrackImport.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

#include "compute/GeoDistance.h"
#include "compute/TelemetryCheck.h"
#include "import/PointStream.h"

namespace telvika::server::import {

namespace {

constexpr qint64 maxFileBytes = 1024LL * 1024 * 1024;

// Opens a track file of a known kind; the error otherwise.
QString openTrackFile(const QString& path, QFile& file, bool* gpx) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("gpx") && suffix != QLatin1String("csv"))
        return QStringLiteral("Неизвестный формат файла трека «%1»: ожидается .gpx или .csv").arg(QFileInfo(path).fileName());
    *gpx = suffix == QLatin1String("gpx");
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Не удалось открыть файл «%1»: %2").arg(path, file.errorString());
    if (file.size() > maxFileBytes) return QStringLiteral("Файл «%1» слишком велик для импорта").arg(path);
    return QString();
}

}  // namespace

ImportResult importTrackFile(const QString& path, const TrackZone& csvZone) {
    ImportResult result;
    QFile file;
    bool gpx = false;
    result.error = openTrackFile(path, file, &gpx);
    if (!result.error.isEmpty()) return result;
    return gpx ? importGpx(file) : importCsv(file, csvZone);
}

BatchedImport importTrackFileInBatches(const QString& path, const TrackZone& csvZone,
                                       const std::function<void(const QVector<TelemetryPoint>&)>& batch,
                                       const std::function<void(qint64, qint64)>& progress, int batchSize) {
    BatchedImport done;
    QFile file;
    bool gpx = false;
    done.outcome.error = openTrackFile(path, file, &gpx);
    if (!done.outcome.error.isEmpty()) return done;
    PointStream points([&](const QVector<TelemetryPoint>& some) {
        batch(some);
        if (progress) progress(file.pos(), file.size());
    }, batchSize);
    done.outcome.error = gpx ? readGpx(file, points) : readCsv(file, csvZone, points);
    done.streamed = points.streamable();
    if (!done.streamed || !done.outcome.error.isEmpty()) return done;
    points.finish(done.outcome);
    done.points = points.handedOut();
    return done;
}

void deriveSpeedAndOdometer(QVector<TelemetryPoint>& points, bool speedKnown) {
    const int n = static_cast<int>(points.size());
    QVector<double> step(n, 0.0);  // metres from the previous point
    double odometer = 0.0;
    for (int i = 0; i < n; ++i) {
        if (i > 0)
            step[i] = distanceMetres(points[i - 1].lat, points[i - 1].lon, points[i].lat, points[i].lon);
        odometer += step[i];
        points[i].odometerM = odometer;
    }
    for (int i = 0; i < n; ++i) {
        if (speedKnown && !std::isnan(points[i].speedKmh)) continue;
        // Central difference over the neighbours, one-sided at the ends.
        const int a = std::max(0, i - 1);
        const int b = std::min(n - 1, i + 1);
        double metres = 0.0;
        for (int k = a + 1; k <= b; ++k) metres += step[k];
        const double seconds = (points[b].time - points[a].time) * 86400.0;
        // A derived speed is no measurement: a position jump must not make the point unstorable.
        points[i].speedKmh = seconds > 0.0 ? std::min(metres / seconds * 3.6, MaxTelemetrySpeedKmh) : 0.0;
    }
}

}  // namespace telvika::server::import
