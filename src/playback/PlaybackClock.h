#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <QVector>

#include "app/model/MapTypes.h"
#include "common/OleDate.h"

namespace telvika::playback {

// The moment of the track shown at wall-clock time now: the clock runs speedFactor track seconds
// per wall-clock second from the track moment refTime, which was shown at wall-clock time refClock.
// Every moment is derived from the wall clock, never accumulated tick by tick. A factor below 1
// (from a settings file, say) counts as 1, as in the speed box.
TDateTime clockMoment(TDateTime now, TDateTime refClock, int speedFactor, TDateTime refTime);

// Timer interval for a speed factor: 1000 ms divided by the factor, rounded down, so that a tick
// shows about one track second. A factor below 1 counts as 1, and the interval is never below 1 ms
// (a 0 ms timer would not advance the replay).
int timerInterval(int speedFactor);

// The speed box's text read as a factor: every "x" (either case) removed, the rest a decimal
// number. Nothing left, or a value below 1 (a typed 0, 0x), gives 1. text is the box's text to show:
// the factor in decimal followed by "x" ("060x" gives "60x").
struct TSpeedText {
    int factor = 1;
    QString text;
};
TSpeedText parseSpeedText(const QString& text);

// Characters the speed box accepts from the keyboard: digits, a lower-case "x" and backspace.
bool isSpeedKey(QChar key);

// The entry of the speed list that one step from the speed shown lands on: up (step -1, towards
// the list's start) the nearest higher speed, down (step +1) the nearest lower one, whether or not
// the shown text is itself an entry. -1 when there is none that way.
int speedStepTarget(const QStringList& entries, const QString& shown, int step);

// Index of the first stop (in list order) with begin <= moment < end, or -1. A moment equal to a
// stop's end is not inside it.
int findStopToSkip(const QVector<TStops>& stops, TDateTime moment);

}  // namespace telvika::playback
