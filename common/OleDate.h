#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <functional>

namespace telvika {

// Date-times are OLE Automation dates: days since 1899-12-30 as a double, local wall-clock time,
// the fraction being the time of day. Before the epoch the whole part counts days backwards while
// the fraction still counts forwards from midnight: -1.25 is 1899-12-29 06:00.
using TDateTime = double;

inline constexpr double SecondsPerDay = 86400.0;

QDate oleEpoch();

// Local date and time of an OLE date, to the nearest millisecond (exact for whole seconds).
QDateTime oleToDateTime(TDateTime value);
QDate oleToDate(TDateTime value);
QTime oleToTime(TDateTime value);

// OLE date of a local date and time of day.
TDateTime oleFromDateTime(const QDateTime& dt);
TDateTime oleFromDateAndTime(const QDate& date, const QTime& time);

// The whole-day part and the time-of-day part, as the date and time pickers keep them.
TDateTime oleDateOnly(TDateTime value);
TDateTime oleTimeOfDay(TDateTime value);  // fraction of a day in [0, 1)

// Track bar position of a moment: whole seconds after t0, halves to the even neighbour.
int trackBarPosition(TDateTime moment, TDateTime t0);
// The moment of a track bar position.
TDateTime trackBarMoment(int position, TDateTime t0);

// "Now" as an OLE date. Tests replace the source with setNowSource; an empty function restores the
// wall clock.
TDateTime oleNow();
void setNowSource(std::function<TDateTime()> source);

}  // namespace telvika
