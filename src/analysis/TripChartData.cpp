#include "analysis/TripChartData.h"

namespace telvika::analysis {

void fillChartData(TSpeedChartData& data, const TTripRecord& trip, const QVector<bool>& marked,
                   const QVector<QImage>& icons) {
    data.series.assign(trip.track);
    const TDateTime t0 = data.series.t0();
    data.stops.clear();
    for (const TStops& s : trip.stops)
        data.stops.emplace_back((s.Begin - t0) * SecondsPerDay, (s.End - t0) * SecondsPerDay);
    data.marks.clear();
    for (const TTripEntry& e : trip.entries)
        if (e.kind >= 0 && e.kind < marked.size() && marked[e.kind])
            data.marks.push_back({(e.begin - t0) * SecondsPerDay, e.kind});
    data.kindIcons = icons;
}

}  // namespace telvika::analysis
