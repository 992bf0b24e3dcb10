#pragma once

#include <QString>
#include <QVector>

#include <functional>
#include <optional>

#include "app/model/SharedData.h"

namespace telvika::tracking {

// What loading one trip reads from the server, in this order: the number of track points, then
// (only when there is at least one) the stops and the track values.
struct TTripSource {
    std::function<int()> pointCount;
    std::function<QVector<TStops>()> stops;
    std::function<QVector<double>()> values;  // five values per point
};

// The model's side of loading a trip: TrackPointCount always takes the server's count; a trip with
// no points leaves the previous track, its stops and its range as they are and returns nothing.
// Otherwise the track, its points and the trip's stops replace the previous ones together,
// PlayRefTime becomes the first point's time, ControlPointCount 0, and the track bar maximum (the
// trip's duration in whole seconds) is returned. Every value is read before anything is replaced,
// so a failure (a track whose length does not match the count, a stop that cannot be read) throws
// Error and keeps the previous trip whole.
std::optional<int> loadTripTrack(TSharedData& data, const TTripSource& source);

// One stop from the server's texts: begin and end in the user's regional date and time format, the
// duration text as it comes. Throws Error naming the unreadable text.
TStops stopOfTexts(const QString& begin, const QString& end, const QString& duration);

}  // namespace telvika::tracking
