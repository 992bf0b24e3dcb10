#include "common/DurationText.h"

#include "common/Error.h"

#include <QTime>

namespace telvika {

QString durationText(qint64 seconds) {
    if (seconds < 0) seconds = 0;
    const qint64 days = seconds / 86400;
    const qint64 rest = seconds % 86400;
    const QString hms = QStringLiteral("%1:%2:%3")
                            .arg(rest / 3600, 2, 10, QLatin1Char('0'))
                            .arg((rest / 60) % 60, 2, 10, QLatin1Char('0'))
                            .arg(rest % 60, 2, 10, QLatin1Char('0'));
    return days > 0 ? QString::number(days) + QLatin1Char(' ') + hms : hms;
}

double durationTextToDays(const QString& text) {
    const auto bad = [&] { return Error(QStringLiteral("'%1' - неверное значение продолжительности").arg(text)); };
    if (text.size() < 8) throw bad();
    const QTime time = QTime::fromString(text.right(8), QStringLiteral("HH:mm:ss"));
    if (!time.isValid()) throw bad();
    double days = time.msecsSinceStartOfDay() / 86400000.0;
    if (text.size() > 9) {
        bool ok = false;
        const qlonglong whole = text.left(text.size() - 9).trimmed().toLongLong(&ok);
        if (!ok || whole < 0) throw bad();
        days += static_cast<double>(whole);
    }
    return days;
}

}  // namespace telvika
