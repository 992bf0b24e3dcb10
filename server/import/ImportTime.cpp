#include "import/ImportTime.h"

#include <QDateTime>

#include "compute/UtcTime.h"

namespace telvika::server::import {

bool TrackZone::fromName(const QString& raw, TrackZone* zone) {
    const QString name = raw.trimmed();
    if (name.compare(QLatin1String("local"), Qt::CaseInsensitive) == 0) {
        *zone = local();
        return true;
    }
    if (name.compare(QLatin1String("UTC"), Qt::CaseInsensitive) == 0 || name == QLatin1String("Z")) {
        *zone = utc();
        return true;
    }
    const QTimeZone tz(name.toUtf8());
    if (!tz.isValid()) return false;
    *zone = TrackZone(tz);
    return true;
}

int TrackZone::offsetAt(qint64 utcSeconds) const {
    const QDateTime at = QDateTime::fromSecsSinceEpoch(utcSeconds, QTimeZone::utc());
    return local_ ? at.toLocalTime().offsetFromUtc() : zone_.offsetFromUtc(at);
}

namespace {

TrackTime exact(double seconds) {
    const double utc = utcFromEpochSeconds(seconds);
    return {utc, utc};
}

// The instants a wall-clock time of `zone` stands for; the offsets a day before and a day after
// are the candidates. A time the clock skipped (spring) is read on the clock before the change.
TrackTime wallClock(const QDateTime& dt, const TrackZone& zone) {
    const double wall = QDateTime(dt.date(), dt.time(), QTimeZone::utc()).toMSecsSinceEpoch() / 1000.0;
    const auto whole = static_cast<qint64>(std::floor(wall));
    const int before = zone.offsetAt(whole - 86400);
    const int after = zone.offsetAt(whole + 86400);
    double found[2];
    int count = 0;
    for (int offset : {before, after}) {
        if (count == 1 && offset == before) continue;
        const double seconds = wall - offset;
        if (zone.offsetAt(static_cast<qint64>(std::floor(seconds))) == offset) found[count++] = seconds;
    }
    if (count == 0) return exact(wall - before);
    if (count == 1) return exact(found[0]);
    return {utcFromEpochSeconds(std::min(found[0], found[1])), utcFromEpochSeconds(std::max(found[0], found[1]))};
}

}  // namespace

TrackTime parseTrackTime(const QString& raw, const TrackZone& zone) {
    const QString text = raw.trimmed();
    if (text.isEmpty() || text.size() > 40) return {};
    bool isNumber = false;
    const qint64 unix = text.toLongLong(&isNumber);
    if (isNumber) return unix >= 0 && unix < (qint64(1) << 40) ? exact(static_cast<double>(unix)) : TrackTime{};
    // Read on UTC first, so that no local clock change shifts the wall-clock fields: text that
    // parses with a "Z" added had no zone of its own.
    QDateTime wall = QDateTime::fromString(text + QLatin1Char('Z'), Qt::ISODateWithMs);
    if (!wall.isValid()) {
        const QDateTime zoned = QDateTime::fromString(text, Qt::ISODateWithMs);
        if (zoned.isValid()) return exact(zoned.toMSecsSinceEpoch() / 1000.0);
        const QString datePart = text.section(QLatin1Char(' '), 0, 0);
        const QString timePart = text.section(QLatin1Char(' '), 1, -1, QString::SectionSkipEmpty);
        QDate date = QDate::fromString(datePart, QStringLiteral("yyyy-MM-dd"));
        if (!date.isValid()) date = QDate::fromString(datePart, QStringLiteral("dd.MM.yyyy"));
        QTime time = QTime::fromString(timePart, QStringLiteral("HH:mm:ss"));
        if (!time.isValid()) time = QTime::fromString(timePart, QStringLiteral("H:mm:ss"));
        if (!date.isValid() || !time.isValid()) return {};
        wall = QDateTime(date, time, QTimeZone::utc());
    }
    if (wall.date().year() < 1900 || wall.date().year() > 9999) return {};
    return wallClock(wall, zone);
}

}  // namespace telvika::server::import
