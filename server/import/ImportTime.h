#pragma once

#include <QString>

namespace telvika::server::import {

// A timestamp of a track file as an OLE date in local time; NaN when the text is no timestamp.
// Accepted: ISO 8601 ("2024-05-01T10:00:00Z", fractions of a second, "+03:00" offsets; without a
// zone the time is local), "yyyy-MM-dd hh:mm:ss", "dd.MM.yyyy hh:mm:ss" and Unix seconds.
double parseTrackTime(const QString& text);

}  // namespace telvika::server::import
