#include "import/ImportTime.h"

#include <QDateTime>
#include <QTimeZone>

#include <cmath>
#include <limits>

#include "common/OleDate.h"

namespace telvika::server::import {

namespace {

constexpr double notATime = std::numeric_limits<double>::quiet_NaN();

bool plausibleYear(const QDateTime& dt) { return dt.isValid() && dt.date().year() >= 1980 && dt.date().year() <= 2100; }

}  // namespace

double parseTrackTime(const QString& raw) {
    const QString text = raw.trimmed();
    if (text.isEmpty() || text.size() > 40) return notATime;
    bool isNumber = false;
    const qint64 unix = text.toLongLong(&isNumber);
    if (isNumber) {
        const QDateTime dt = QDateTime::fromSecsSinceEpoch(unix, QTimeZone::utc());
        return plausibleYear(dt) ? telvika::oleFromDateTime(dt.toLocalTime()) : notATime;
    }
    QDateTime dt = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!dt.isValid()) dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!dt.isValid()) dt = QDateTime::fromString(text, QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    if (!dt.isValid()) dt = QDateTime::fromString(text, QStringLiteral("dd.MM.yyyy H:mm:ss"));
    if (!plausibleYear(dt)) return notATime;
    return telvika::oleFromDateTime(dt.timeSpec() == Qt::LocalTime ? dt : dt.toLocalTime());
}

}  // namespace telvika::server::import
