#include "import/NumberText.h"

#include <charconv>

namespace telvika::server::import {

double numberOf(QStringView text, bool* ok) {
    // Digits, at most one point, an exponent, a leading minus: what from_chars reads exactly as Qt
    // does (both round correctly). Anything else (a plus sign, blanks, "inf") is left to Qt.
    char buffer[64];
    const qsizetype n = text.size();
    bool plain = n > 0 && n < qsizetype(sizeof buffer);
    for (qsizetype i = 0; plain && i < n; ++i) {
        const char16_t c = text[i].unicode();
        plain = (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'e' || c == u'E';
        buffer[i] = static_cast<char>(c);
    }
    if (plain) {
        double value = 0.0;
        const auto [end, error] = std::from_chars(buffer, buffer + n, value);
        if (error == std::errc() && end == buffer + n) {
            *ok = true;
            return value;
        }
    }
    return text.toDouble(ok);
}

}  // namespace telvika::server::import
