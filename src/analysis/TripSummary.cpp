#include "analysis/TripSummary.h"

#include <algorithm>
#include <cmath>

#include "common/DateText.h"
#include "common/DurationText.h"
#include "common/NumberText.h"

namespace telvika::analysis {

namespace {

// Seconds of [from, to] covered by the stops, each counted once where stops overlap.
double coveredSeconds(QVector<TStops> stops, TDateTime from, TDateTime to) {
    std::sort(stops.begin(), stops.end(), [](const TStops& a, const TStops& b) { return a.Begin < b.Begin; });
    double covered = 0.0;
    TDateTime reached = from;
    for (const TStops& s : stops) {
        const TDateTime b = std::max(s.Begin, reached);
        const TDateTime e = std::min(s.End, to);
        if (e > b) {
            covered += (e - b) * SecondsPerDay;
            reached = e;
        }
    }
    return covered;
}

}  // namespace

QVector<TKindCount> listedKindCounts(const TTripRecord& trip) {
    QVector<TKindCount> counts;
    for (int i = 0; i < trip.kinds.size(); ++i) {
        if (!trip.kinds[i].VisibleList) continue;
        const int n = static_cast<int>(std::count_if(trip.entries.begin(), trip.entries.end(),
                                                     [i](const TTripEntry& e) { return e.kind == i; }));
        counts.push_back({i, trip.kinds[i].name, n});
    }
    return counts;
}

TTripSummary summarizeTrip(const TTrackData& track, const QVector<TStops>& stops) {
    TTripSummary s;
    s.points = track.pointCount();
    if (s.points < 1) return s;
    const int last = s.points - 1;
    const TDateTime t0 = track.time(0), t1 = track.time(last);
    // Times are whole milliseconds; differences of day fractions are brought back to them.
    auto ms = [](double seconds) { return std::round(seconds * 1000.0) / 1000.0; };
    s.durationS = std::max(0.0, ms((t1 - t0) * SecondsPerDay));
    s.distanceM = std::max(0.0, track.distance(last) - track.distance(0));
    s.parkedS = std::min(s.durationS, ms(coveredSeconds(stops, t0, t1)));
    s.movingS = s.durationS - s.parkedS;
    s.maxSpeedAt = t0;
    for (int k = 0; k < s.points; ++k) {
        if (track.speed(k) > s.maxSpeedKmh) {
            s.maxSpeedKmh = track.speed(k);
            s.maxSpeedAt = track.time(k);
        }
    }
    if (s.durationS > 0) s.meanSpeedKmh = s.distanceM / s.durationS * 3.6;
    if (s.movingS > 0) s.meanMovingSpeedKmh = s.distanceM / s.movingS * 3.6;
    return s;
}

QVector<QPair<QString, QString>> summaryRows(const TTripSummary& s, const QVector<TKindCount>& kinds,
                                             const QLocale& locale) {
    auto seconds = [](double v) { return durationText(static_cast<qint64>(std::llround(v))); };
    QString maxSpeed = speedText(s.maxSpeedKmh, locale);
    if (s.maxSpeedKmh > 0) maxSpeed += QStringLiteral(" (%1)").arg(dateLabelText(s.maxSpeedAt, locale));
    QVector<QPair<QString, QString>> rows{
        {QStringLiteral("Пробег"), fixedText(s.distanceM / 1000.0, 1, locale) + QStringLiteral(" км")},
        {QStringLiteral("Продолжительность"), seconds(s.durationS)},
        {QStringLiteral("В движении"), seconds(s.movingS)},
        {QStringLiteral("На стоянках"), seconds(s.parkedS)},
        {QStringLiteral("Максимальная скорость"), maxSpeed},
        {QStringLiteral("Средняя скорость"), speedText(s.meanSpeedKmh, locale)},
        {QStringLiteral("Средняя скорость в движении"), speedText(s.meanMovingSpeedKmh, locale)},
    };
    for (const TKindCount& k : kinds) rows.push_back({k.name, QString::number(k.count)});
    return rows;
}

}  // namespace telvika::analysis
