#include "compute/UtcTime.h"

#include <QDateTime>
#include <QTimeZone>

#include <cmath>

namespace telvika::server {

namespace {

int offsetAtSeconds(qint64 seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc()).toLocalTime().offsetFromUtc();
}

// The whole second an instant falls in, taken to the millisecond first: an instant on the stroke
// of a clock change computed as 00:59:59.9999999 belongs to 01:00:00.
qint64 wholeSeconds(double seconds) {
    constexpr double far = 1e15;  // some 30 million years: no zone has data there
    if (!(std::fabs(seconds) < far)) return seconds > 0 ? qint64(far) : -qint64(far);
    const qint64 ms = std::llround(seconds * 1000.0);
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}

constexpr qint64 BucketSeconds = 900;

}  // namespace

double storedSeconds(double utc) { return std::round(epochSecondsFromUtc(utc) * 1000.0) / 1000.0; }

double utcNow() { return utcFromEpochSeconds(QDateTime::currentMSecsSinceEpoch() / 1000.0); }

int localOffsetSeconds(double utc) { return offsetAtSeconds(wholeSeconds(epochSecondsFromUtc(utc))); }

double localOleFromUtc(double utc) { return utc + localOffsetSeconds(utc) / 86400.0; }

double utcFromLocalOle(double local, RepeatedHour pick) {
    // The local wall clock read as if it were UTC; the true instant is that minus the offset in
    // force at the instant. The offsets a day before and a day after are the candidates.
    const double wall = epochSecondsFromUtc(local);
    const int before = offsetAtSeconds(wholeSeconds(wall) - 86400);
    const int after = offsetAtSeconds(wholeSeconds(wall) + 86400);
    double found[2];
    int count = 0;
    for (int offset : {before, after}) {
        if (count == 1 && offset == before) continue;
        const double seconds = wall - offset;
        if (offsetAtSeconds(wholeSeconds(seconds)) == offset) found[count++] = seconds;
    }
    double seconds = wall - before;  // a skipped local time: read on the clock before the change
    if (count == 1) seconds = found[0];
    if (count == 2)
        seconds = pick == RepeatedHour::Earlier ? std::min(found[0], found[1]) : std::max(found[0], found[1]);
    return utcFromEpochSeconds(seconds);
}

double LocalTimeConverter::toLocal(double utc) {
    const qint64 seconds = wholeSeconds(epochSecondsFromUtc(utc));
    const qint64 bucket = seconds >= 0 ? seconds / BucketSeconds : -((-seconds + BucketSeconds - 1) / BucketSeconds);
    if (!valid_ || bucket != bucket_) {
        const int first = offsetAtSeconds(bucket * BucketSeconds);
        const int last = offsetAtSeconds(bucket * BucketSeconds + BucketSeconds - 1);
        if (first != last) {
            valid_ = false;  // a change inside this quarter (an odd historical zone): exact lookup
            return utc + offsetAtSeconds(seconds) / 86400.0;
        }
        bucket_ = bucket;
        offset_ = first;
        valid_ = true;
    }
    return utc + offset_ / 86400.0;
}

}  // namespace telvika::server
