#pragma once

#include <QString>
#include <QTimeZone>

#include <cmath>

namespace telvika::server::import {

// The zone of a track file's times that carry none: the user's local clock, UTC, or a named zone.
class TrackZone {
public:
    static TrackZone local() { return TrackZone(); }
    static TrackZone utc() { return TrackZone(QTimeZone::utc()); }
    // "local", "UTC", an IANA name ("Europe/Lisbon") or an offset ("UTC+03:00"); false when unknown.
    static bool fromName(const QString& name, TrackZone* zone);

    // Offset from UTC, seconds east, at an instant given as seconds since 1970.
    int offsetAt(qint64 utcSeconds) const;

private:
    TrackZone() = default;
    explicit TrackZone(const QTimeZone& zone) : local_(false), zone_(zone) {}
    bool local_ = true;
    QTimeZone zone_;
};

// A timestamp of a track file as instants (UTC days). A wall-clock time in the hour its zone repeats
// in autumn may be either of two instants: `earlier` and `later` then differ; otherwise they are
// equal. NaN when the text is no timestamp.
struct TrackTime {
    double earlier = NAN;
    double later = NAN;
    bool valid() const { return !std::isnan(earlier); }
    // The instant that keeps a track in order after `previous` (NaN: none yet).
    double after(double previous) const { return !std::isnan(previous) && earlier < previous ? later : earlier; }
};

// Accepted: ISO 8601 ("2024-05-01T10:00:00Z", fractions of a second, "+03:00" offsets), then
// "yyyy-MM-dd hh:mm:ss", "dd.MM.yyyy hh:mm:ss" and Unix seconds. Times without a zone are read in
// `zone`.
TrackTime parseTrackTime(const QString& text, const TrackZone& zone);

}  // namespace telvika::server::import
