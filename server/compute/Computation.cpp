// The computation: clean the rows, find the stands, divide into trips, then run every entry
// detector over each trip. Fuel events are found over the whole period (a drain often happens
// while the vehicle is parked between trips) and given to the trip they overlap, else the next one.
#include "compute/Computation.h"

#include <algorithm>
#include <span>

#include "compute/BlindDetector.h"
#include "compute/FuelSmoother.h"
#include "compute/OverSpeedDetector.h"
#include "compute/ParkDetector.h"
#include "compute/PowerOffDetector.h"
#include "compute/SensorDetector.h"
#include "compute/StageDetector.h"
#include "compute/StandingFinder.h"
#include "compute/TankEventDetector.h"
#include "compute/TelemetryCleaner.h"
#include "compute/TrackBuilder.h"
#include "compute/TripDivider.h"
#include "compute/UtcTime.h"

namespace telvika::server {

QStringList entryKeys() {
    QStringList keys{QStringLiteral("parks"), QStringLiteral("blinds"), QStringLiteral("power_off"),
                     QStringLiteral("over_speed"), QStringLiteral("tank-num1"), QStringLiteral("tank-num2")};
    for (int i = 1; i <= 6; ++i) keys << QStringLiteral("sensor_on-num%1").arg(i);
    keys << QStringLiteral("checkpoints-stages");
    return keys;
}

QString entryKey(const QString& type, const QString& kind) {
    static const QStringList plain{QStringLiteral("parks"), QStringLiteral("blinds"),
                                   QStringLiteral("power_off"), QStringLiteral("over_speed")};
    if (plain.contains(type)) return type;
    const QString key = type + QLatin1Char('-') + kind;
    return entryKeys().contains(key) ? key : QString();
}

namespace {

// Refuellings and drains of one tank over the whole period.
QVector<TripEntry> tankEntries(std::span<const TelemetryPoint> points, const ComputeSettings& settings,
                               int tank) {
    // The readings' levels; their times are the records' own as long as every record has one.
    QVector<double> levels, times;
    levels.reserve(points.size());
    bool gaps = false;
    for (size_t k = 0; k < points.size(); ++k) {
        const double level = tank == 1 ? points[k].tank1 : points[k].tank2;
        if (std::isnan(level)) {
            if (!gaps) {
                gaps = true;
                times.reserve(points.size());
                for (size_t j = 0; j < k; ++j) times.push_back(points[j].time);
            }
            continue;
        }
        levels.push_back(level);
        if (gaps) times.push_back(points[k].time);
    }
    QVector<TripEntry> entries;
    if (levels.size() < 2) return entries;
    const ReadingTimes readingTimes = gaps ? ReadingTimes(times) : ReadingTimes(points.data());
    const QVector<double> smoothed = FuelSmoother(settings.tankSmoothingSec).smooth(readingTimes, std::move(levels));
    const TripRange all{0, static_cast<int>(points.size()) - 1};
    for (const TankEvent& ev : TankEventDetector(settings).detect(readingTimes, smoothed)) {
        TripEntry e;
        e.begin = readingTimes[ev.first];
        e.end = readingTimes[ev.last];
        (tank == 1 ? e.tank1Begin : e.tank2Begin) = ev.levelBefore;
        (tank == 1 ? e.tank1End : e.tank2End) = ev.levelAfter;
        // The record of the reading: times are strictly increasing once cleaned.
        const auto record = std::lower_bound(points.begin(), points.end(), e.end,
                                             [](const TelemetryPoint& p, double t) { return p.time < t; });
        placeEntry(e, points, all, static_cast<int>(record - points.begin()));
        entries.push_back(e);
    }
    return entries;
}

// The trip an entry found over the whole period belongs to: the one it overlaps, else the next.
int tripOfEntry(const QVector<Trip>& trips, const TripEntry& e) {
    for (int t = 0; t < trips.size(); ++t)
        if (e.begin <= trips[t].end && e.end >= trips[t].begin) return t;
    for (int t = 0; t < trips.size(); ++t)
        if (trips[t].begin >= e.end) return t;
    return static_cast<int>(trips.size()) - 1;
}

}  // namespace

ComputeResult computeTrips(QVector<TelemetryPoint> rows, double periodBegin, double periodEnd,
                           const ComputeSettings& settings, const QVector<ControlPoint>& controlPoints) {
    ComputeResult result;
    CleanTelemetry clean = TelemetryCleaner(settings).clean(std::move(rows), periodBegin, periodEnd);
    result.droppedPoints = clean.dropped;
    result.duplicatePoints = clean.duplicates;
    const std::span<const TelemetryPoint> points(clean.points.constData(),
                                                 static_cast<size_t>(clean.points.size()));

    const QVector<StandingRun> stands = StandingFinder(settings).find(points);
    const QVector<bool> parked = StandingFinder::parkedFlags(static_cast<int>(points.size()), stands);
    QVector<DividedTrip> divided = TripDivider(settings).divide(points, stands, parked);

    const ParkDetector parks(settings);
    const BlindDetector blinds(settings);
    const PowerOffDetector powerOff(settings);
    const OverSpeedDetector overSpeed(settings);
    const SensorDetector sensors(settings);
    const StageDetector stages(settings);
    const QStringList keys = entryKeys();

    result.trips.reserve(divided.size());
    for (DividedTrip& d : divided) {
        const TripRange& range = d.range;
        Trip trip;
        trip.begin = points[range.first].time;
        trip.end = points[range.last].time;
        trip.track = std::move(d.track);
        for (const QString& key : keys) trip.entries.insert(key, {});
        trip.entries[QStringLiteral("parks")] = parks.detect(points, range, stands);
        trip.entries[QStringLiteral("blinds")] = blinds.detect(points, range);
        trip.entries[QStringLiteral("power_off")] = powerOff.detect(points, range);
        trip.entries[QStringLiteral("over_speed")] = overSpeed.detect(points, range);
        for (int s = 1; s <= 6; ++s)
            trip.entries[QStringLiteral("sensor_on-num%1").arg(s)] = sensors.detect(points, range, s);
        trip.entries[QStringLiteral("checkpoints-stages")] = stages.detect(points, range, controlPoints);
        result.trips.push_back(std::move(trip));
    }
    if (result.trips.isEmpty()) return result;

    for (int tank = 1; tank <= 2; ++tank) {
        const QString key = QStringLiteral("tank-num%1").arg(tank);
        for (const TripEntry& e : tankEntries(points, settings, tank))
            result.trips[tripOfEntry(result.trips, e)].entries[key].push_back(e);
    }
    return result;
}

void convertTrackTimesToLocal(QVector<Trip>& trips) {
    LocalTimeConverter converter;
    for (Trip& trip : trips) {
        double* values = trip.track.data();
        for (qsizetype i = 0; i + 4 < trip.track.size(); i += 5) values[i] = converter.toLocal(values[i]);
    }
}

}  // namespace telvika::server
