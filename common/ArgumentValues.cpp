#include "common/ArgumentValues.h"

#include "common/DateText.h"
#include "common/Error.h"

#include <cmath>

namespace telvika {

bool argumentInt(const QString& text, const QString& what, int min, int max, int* out, QString* error) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < min || v > max) {
        *error = QStringLiteral("%1: ожидается целое число от %2 до %3, а не «%4»").arg(what).arg(min).arg(max).arg(text);
        return false;
    }
    *out = v;
    return true;
}

bool argumentDouble(const QString& text, const QString& what, double min, double max, double* out, QString* error) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < min || v > max) {
        *error = QStringLiteral("%1: ожидается число от %2 до %3, а не «%4»").arg(what).arg(min).arg(max).arg(text);
        return false;
    }
    *out = v;
    return true;
}

bool argumentDateTime(const QString& text, const QString& what, QString* error) {
    try {
        parseFixedDateTime(text);
        return true;
    } catch (const Error& e) {
        *error = QStringLiteral("%1: %2").arg(what, e.message());
        return false;
    }
}

}  // namespace telvika
