#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <mutex>
#include <unordered_map>

#include "common/NumberText.h"
#include "compute/Computation.h"
#include "net/ComputationRequest.h"

namespace telvika::server {

// A track's coordinates as TrackCrdsString gives them: "lon lat" pairs joined by ",", each number
// in generalTextDot's form.
inline QByteArray trackCoordinatesWire(const QVector<double>& track) {
    QByteArray text;
    text.reserve(track.size() / 5 * 38);
    for (qsizetype i = 0; i + 4 < track.size(); i += 5) {
        if (i > 0) text += ',';
        appendGeneralTextDot(text, track[i + 1]);
        text += ' ';
        appendGeneralTextDot(text, track[i + 2]);
    }
    return text;
}

// The result of a finished computation, shared read-only by every client.
struct ComputedResult {
    ComputationRequest request;
    QVector<Trip> trips;  // track times in the user's local dates; begin and end as instants
    QString error;        // why the computation failed (its trips are then empty); empty on success

    // Trip `index`'s (from 0) coordinates as TrackCrdsString gives them, written on the first read
    // and kept with the result for every client: a track is drawn as two sets of one text, and a
    // long trip's text is tens of megabytes.
    const QByteArray& trackText(qsizetype index) const {
        const std::lock_guard<std::mutex> lock(trackTextsMutex_);
        auto it = trackTexts_.find(index);
        if (it == trackTexts_.end()) it = trackTexts_.emplace(index, trackCoordinatesWire(trips[index].track)).first;
        return it->second;
    }

private:
    mutable std::mutex trackTextsMutex_;
    mutable std::unordered_map<qsizetype, QByteArray> trackTexts_;  // references stay valid as it grows
};

}  // namespace telvika::server
