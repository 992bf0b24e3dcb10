#include "tracking/SelectionText.h"

namespace telvika::tracking {

QString periodBoundText(const QDate& date, const QTime& time) {
    return date.toString(QStringLiteral("dd.MM.yyyy")) + QLatin1Char(' ') + time.toString(QStringLiteral("HH:mm:ss"));
}

int deviceOfListText(const QString& text) {
    bool ok = false;
    const int device = text.trimmed().toInt(&ok, 10);
    return ok ? device : 0;
}

std::optional<QString> deviceListTextOf(const QString& propertyValue) {
    bool ok = false;
    const qlonglong device = propertyValue.trimmed().toLongLong(&ok, 10);
    if (!ok || device < INT_MIN || device > INT_MAX) return std::nullopt;
    return QString::number(device);
}

QString vehicleLabel(const QString& name, const QString& number, int device, const QString& info) {
    return name + QLatin1Char(' ') + number + QStringLiteral("(№ TV: ") + QString::number(device) +
           QStringLiteral(", ") + info + QLatin1Char(')');
}

}  // namespace telvika::tracking
