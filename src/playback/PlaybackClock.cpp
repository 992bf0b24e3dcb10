#include "playback/PlaybackClock.h"

#include <algorithm>
#include <limits>

namespace telvika::playback {

TDateTime clockMoment(TDateTime now, TDateTime refClock, int speedFactor, TDateTime refTime) {
    return (now - refClock) * std::max(1, speedFactor) + refTime;
}

int timerInterval(int speedFactor) {
    return std::max(1, 1000 / std::max(1, speedFactor));
}

TSpeedText parseSpeedText(const QString& text) {
    QString digits = text;
    digits.remove(QLatin1Char('x'), Qt::CaseInsensitive);
    TSpeedText result;
    if (!digits.isEmpty()) {
        bool ok = false;
        const qlonglong value = digits.toLongLong(&ok, 10);
        if (ok && value >= 1)
            result.factor = int(std::min<qlonglong>(value, std::numeric_limits<int>::max()));
    }
    result.text = QString::number(result.factor) + QLatin1Char('x');
    return result;
}

bool isSpeedKey(QChar key) {
    const char16_t c = key.unicode();
    return (c >= u'0' && c <= u'9') || c == u'x' || c == 8;
}

int speedStepTarget(const QStringList& entries, const QString& shown, int step) {
    const int speed = parseSpeedText(shown).factor;
    int target = -1;
    for (int i = 0; i < entries.size(); ++i) {
        const int f = parseSpeedText(entries[i]).factor;
        const bool beyond = step < 0 ? f > speed : f < speed;
        if (!beyond) continue;
        const int best = target < 0 ? 0 : parseSpeedText(entries[target]).factor;
        if (target < 0 || (step < 0 ? f < best : f > best)) target = i;
    }
    return target;
}

int findStopToSkip(const QVector<TStops>& stops, TDateTime moment) {
    for (int i = 0; i < stops.size(); ++i)
        if (stops[i].Begin <= moment && moment < stops[i].End) return i;
    return -1;
}

}  // namespace telvika::playback
