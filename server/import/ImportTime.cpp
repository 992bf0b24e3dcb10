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

int digits(const QChar* p, int count) {
    int v = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = p[i].unicode();
        if (c < u'0' || c > u'9') return -1;
        v = v * 10 + (c - u'0');
    }
    return v;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
qint64 daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = static_cast<int>(y - era * 400);
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// "yyyy-MM-ddTHH:mm:ss[.f, .ff or .fff]Z", the form of nearly every GPX time, read without
// QDateTime (a million points spent most of their import there); anything else returns false and
// takes the general way, which reads this form to the same instant.
bool utcIsoTime(const QString& text, TrackTime* out) {
    const int n = static_cast<int>(text.size());
    if (n < 20 || n > 24 || text[n - 1] != QLatin1Char('Z')) return false;
    const QChar* p = text.constData();
    if (p[4] != QLatin1Char('-') || p[7] != QLatin1Char('-') || p[10] != QLatin1Char('T') ||
        p[13] != QLatin1Char(':') || p[16] != QLatin1Char(':'))
        return false;
    const int year = digits(p, 4), month = digits(p + 5, 2), day = digits(p + 8, 2);
    const int hour = digits(p + 11, 2), minute = digits(p + 14, 2), second = digits(p + 17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59 || day > QDate(year, month, 1).daysInMonth())
        return false;
    int ms = 0;
    if (n > 20) {
        const int fraction = n - 21;  // digits between the point and the "Z"
        if (p[19] != QLatin1Char('.') || fraction < 1 || fraction > 3) return false;
        ms = digits(p + 20, fraction);
        if (ms < 0) return false;
        for (int i = fraction; i < 3; ++i) ms *= 10;
    }
    const qint64 msecs = (daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second) * 1000 + ms;
    *out = exact(msecs / 1000.0);
    return true;
}

}  // namespace

TrackTime parseTrackTime(const QString& raw, const TrackZone& zone) {
    const QString text = raw.trimmed();
    if (text.isEmpty() || text.size() > 40) return {};
    TrackTime fast;
    if (utcIsoTime(text, &fast)) return fast;
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
