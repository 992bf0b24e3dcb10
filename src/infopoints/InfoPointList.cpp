#include "infopoints/InfoPointList.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/DurationText.h"
#include "common/Error.h"
#include "common/NumberText.h"
#include "common/Rounding.h"

namespace infopoints {

TEntryListSelection entryListOf(const QString& query) {
    const qsizetype dash = query.indexOf(QLatin1Char('-'));
    if (dash < 0) return {query, std::nullopt};
    return {query.left(dash), query.mid(dash + 1)};
}

TValueKind valueKindOf(const QString& query) {
    if (query == QLatin1String("over_speed")) return TValueKind::Speed;
    if (query == QLatin1String("tank-num1")) return TValueKind::Tank1;
    if (query == QLatin1String("tank-num2")) return TValueKind::Tank2;
    return TValueKind::Duration;
}

QString valueColumnCaption(const QString& query) {
    switch (valueKindOf(query)) {
        case TValueKind::Speed:
            return QStringLiteral("Скорость");
        case TValueKind::Tank1:
        case TValueKind::Tank2:
            return QStringLiteral("Объем, л");
        case TValueKind::Duration:
            break;
    }
    return QStringLiteral("Прод-ть");
}

QString valueText(double value) {
    return telvika::generalText(value);
}

double durationSeconds(const QString& durationText) {
    // The text is read as days (a time of day plus whole days); the product with 86400 is taken
    // back to whole milliseconds so that floating-point noise cannot move an entry across the
    // minimum (6 s would otherwise come out as 5.999999999999999).
    const double seconds = telvika::durationTextToDays(durationText) * 86400.0;
    return std::round(seconds * 1000.0) / 1000.0;
}

bool lastsAtLeast(const QString& durationText, int minimumSeconds) {
    return durationSeconds(durationText) >= static_cast<double>(minimumSeconds);
}

int minimumDurationOf(const QString& boxText) {
    bool digits = !boxText.isEmpty() && boxText.size() <= 4;
    for (QChar c : boxText)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) digits = false;
    if (!digits)
        throw telvika::Error(
            QStringLiteral(
                "'%1' - неверное значение продолжительности: нужно целое число секунд от 0 до 9999")
                .arg(boxText));
    return boxText.toInt();
}

bool isDurationBoxKey(QChar key) {
    return key == Backspace || (key >= QLatin1Char('0') && key <= QLatin1Char('9'));
}

int trackBarPosition(telvika::TDateTime moment, telvika::TDateTime firstPointTime) {
    const double seconds = telvika::roundHalfEven(86400.0 * (moment - firstPointTime));
    if (std::isnan(seconds)) return 0;
    constexpr double lo = std::numeric_limits<int>::min();
    constexpr double hi = std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp(seconds, lo, hi));
}

std::optional<int> menuItemNumber(const QString& objectName) {
    if (!objectName.startsWith(QLatin1String("mnu"))) return std::nullopt;
    bool ok = false;
    const int k = objectName.mid(3).toInt(&ok);
    if (!ok) return std::nullopt;
    return k;
}

int menuItemImage(int k, bool checked) {
    return checked ? k - 2 : k + 10;
}

}  // namespace infopoints
