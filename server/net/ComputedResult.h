#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

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
    // Per trip, the track's coordinates as the clients read them (TrackCrdsString, ASCII), written
    // with the result so that no client waits for them.
    QVector<QByteArray> trackTexts;
    QString error;        // why the computation failed (its trips are then empty); empty on success
};

}  // namespace telvika::server
