#pragma once

#include <QLocale>
#include <QPair>
#include <QString>
#include <QVector>

#include "analysis/TripRecord.h"

namespace telvika::analysis {

// The figures of a trip. Distance is the track's own count (metres since the trip's start), times
// are seconds; the parked time is the part of the trip covered by its stops (overlapping stops
// counted once), the moving time the rest.
struct TTripSummary {
    int points = 0;
    double distanceM = 0.0;
    double durationS = 0.0;
    double movingS = 0.0;
    double parkedS = 0.0;
    double maxSpeedKmh = 0.0;
    TDateTime maxSpeedAt = 0.0;  // the first point at the maximum; 0 without a point
    double meanSpeedKmh = 0.0;        // distance over duration; 0 for a trip of no duration
    double meanMovingSpeedKmh = 0.0;  // distance over moving time; 0 without moving time
};

TTripSummary summarizeTrip(const TTrackData& track, const QVector<TStops>& stops);

// The summary as label and value texts, in the player's formats, followed by one row per
// listed kind with its number of entries.
QVector<QPair<QString, QString>> summaryRows(const TTripSummary& summary, const QVector<TKindCount>& kinds,
                                             const QLocale& locale = QLocale());

}  // namespace telvika::analysis
