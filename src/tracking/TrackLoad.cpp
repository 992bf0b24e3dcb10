#include "tracking/TrackLoad.h"

#include "common/DateText.h"
#include "common/Error.h"

namespace telvika::tracking {

std::optional<int> loadTripTrack(TSharedData& data, const TTripSource& source) {
    const int count = source.pointCount();
    if (count < 1) {
        data.TrackPointCount = count;
        return std::nullopt;
    }

    QVector<TStops> stops = source.stops();
    TTrackData track(source.values());
    if (track.pointCount() != count)
        throw Error(QStringLiteral("Сервер передал трек из %1 точек вместо %2").arg(track.pointCount()).arg(count));
    TMapPointArray points(count);
    for (int k = 0; k < count; ++k) points[k] = TMapPoint{track.longitude(k), track.latitude(k)};

    data.TrackPointCount = count;
    data.TrackData = std::move(track);
    data.TrackPoints = std::move(points);
    data.ControlPointCount = 0;
    data.TripStops = std::move(stops);
    data.TripStopsCount = static_cast<qint32>(data.TripStops.size());
    data.PlayRefTime = data.TrackData.time(0);
    return trackBarPosition(data.TrackData.time(count - 1), data.TrackData.time(0));
}

TStops stopOfTexts(const QString& begin, const QString& end, const QString& duration) {
    TStops stop;
    stop.Begin = parseRegionalDateTime(begin);
    stop.End = parseRegionalDateTime(end);
    stop.Text = duration;
    return stop;
}

}  // namespace telvika::tracking
