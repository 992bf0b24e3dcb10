#include "common/OleDate.h"

#include "common/Rounding.h"

#include <cmath>

namespace telvika {

namespace {
constexpr qint64 MsPerDay = 86400000;

std::function<TDateTime()>& nowSource() {
    static std::function<TDateTime()> source;
    return source;
}

// Splits an OLE date into a day number and the milliseconds of its time of day.
void split(TDateTime value, qint64& day, qint64& ms) {
    const double whole = std::trunc(value);
    const double frac = std::fabs(value - whole);
    day = static_cast<qint64>(whole);
    ms = static_cast<qint64>(std::llround(frac * MsPerDay));
    if (ms >= MsPerDay) {  // 23:59:59.9996 rounds to the next midnight
        ms -= MsPerDay;
        day += 1;
    }
}
}  // namespace

QDate oleEpoch() { return QDate(1899, 12, 30); }

QDate oleToDate(TDateTime value) {
    qint64 day, ms;
    split(value, day, ms);
    return oleEpoch().addDays(day);
}

QTime oleToTime(TDateTime value) {
    qint64 day, ms;
    split(value, day, ms);
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms));
}

QDateTime oleToDateTime(TDateTime value) {
    return QDateTime(oleToDate(value), oleToTime(value), Qt::LocalTime);
}

TDateTime oleFromDateAndTime(const QDate& date, const QTime& time) {
    const double days = static_cast<double>(oleEpoch().daysTo(date));
    const double frac = time.isValid() ? time.msecsSinceStartOfDay() / static_cast<double>(MsPerDay) : 0.0;
    return days >= 0 ? days + frac : days - frac;
}

TDateTime oleFromDateTime(const QDateTime& dt) {
    const QDateTime local = dt.timeSpec() == Qt::LocalTime ? dt : dt.toLocalTime();
    return oleFromDateAndTime(local.date(), local.time());
}

TDateTime oleDateOnly(TDateTime value) {
    return oleFromDateAndTime(oleToDate(value), QTime(0, 0));
}

TDateTime oleTimeOfDay(TDateTime value) {
    return oleToTime(value).msecsSinceStartOfDay() / static_cast<double>(MsPerDay);
}

int trackBarPosition(TDateTime moment, TDateTime t0) {
    return static_cast<int>(roundHalfEvenToInt((moment - t0) * SecondsPerDay));
}

TDateTime trackBarMoment(int position, TDateTime t0) { return t0 + position / SecondsPerDay; }

TDateTime oleNow() {
    if (nowSource()) return nowSource()();
    return oleFromDateTime(QDateTime::currentDateTime());
}

void setNowSource(std::function<TDateTime()> source) { nowSource() = std::move(source); }

}  // namespace telvika
