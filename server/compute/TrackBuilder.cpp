#include "compute/TrackBuilder.h"

#include "compute/GeoDistance.h"

namespace telvika::server {

QVector<double> buildTrack(std::span<const TelemetryPoint> points, const QVector<bool>& parked,
                           const TripRange& trip) {
    QVector<double> track;
    track.reserve((trip.last - trip.first + 1) * 5);
    double metres = 0.0;
    int prev = -1;
    for (int k = trip.first; k <= trip.last; ++k) {
        const TelemetryPoint& p = points[k];
        if (!p.gpsValid) continue;
        if (prev >= 0 && !(parked[prev] && parked[k]))
            metres += distanceMetres(points[prev].lat, points[prev].lon, p.lat, p.lon);
        prev = k;
        track << p.time << p.lon << p.lat << metres << p.speedKmh;
    }
    return track;
}

QString trackCoordinatesText(const QVector<double>& track) {
    QString text;
    text.reserve(static_cast<int>(track.size() / 5 * 24));
    for (qsizetype k = 0; k + 4 < track.size(); k += 5) {
        if (k > 0) text += QLatin1Char(',');
        text += QString::number(track[k + 1], 'g', 15);
        text += QLatin1Char(' ');
        text += QString::number(track[k + 2], 'g', 15);
    }
    return text;
}

}  // namespace telvika::server
