#include "DecimalNumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace mvx {

namespace {

bool isDigit(const QChar* q, const QChar* end) { return q < end && q->unicode() >= u'0' && q->unicode() <= u'9'; }

const QChar* skipDigits(const QChar* q, const QChar* end) {
    while (isDigit(q, end)) ++q;
    return q;
}

// Whether a number out of a double's range is below it rather than above: the decimal order of
// its first significant digit plus its exponent is negative.
bool tooSmall(const QChar* q, const QChar* end) {
    long long order = 0;
    bool significant = false;
    for (; isDigit(q, end); ++q) {
        if (*q != u'0') significant = true;
        if (significant) ++order;
    }
    if (q < end && *q == u'.') {
        for (++q; isDigit(q, end); ++q) {
            if (significant) break;
            if (*q != u'0') significant = true;
            else --order;
        }
        q = skipDigits(q, end);
    }
    long long exponent = 0;
    if (q < end && (*q == u'e' || *q == u'E')) {
        ++q;
        const bool negative = q < end && *q == u'-';
        if (q < end && (*q == u'-' || *q == u'+')) ++q;
        for (; isDigit(q, end); ++q) exponent = std::min(exponent * 10 + (q->unicode() - u'0'), 1'000'000'000LL);
        if (negative) exponent = -exponent;
    }
    return order + exponent <= 0;
}

// Exact powers of ten of a double.
constexpr double PowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Plain decimals of at most 15 digits and no exponent, as the track texts are written, read
// without from_chars: the digits make an integer a double holds exactly, and one division by an
// exact power of ten rounds correctly, so the result is the same to the last bit.
bool shortDecimal(const QChar* from, const QChar* to, double& value) {
    const QChar* q = from;
    const bool negative = q < to && *q == u'-';
    if (q < to && (*q == u'-' || *q == u'+')) ++q;
    unsigned long long digits = 0;
    int count = 0, fraction = -1;
    for (; q < to; ++q) {
        const char16_t c = q->unicode();
        if (c == u'.') {
            fraction = 0;
            continue;
        }
        if (c < u'0' || c > u'9' || ++count > 15) return false;
        digits = digits * 10 + (c - u'0');
        if (fraction >= 0) ++fraction;
    }
    const double v = fraction > 0 ? static_cast<double>(digits) / PowersOfTen[fraction] : static_cast<double>(digits);
    value = negative ? -v : v;
    return true;
}

}  // namespace

bool readDecimalNumber(const QChar*& p, const QChar* end, double& value) {
    const QChar* q = p;
    if (q < end && (*q == u'-' || *q == u'+')) ++q;
    const QChar* const mantissa = q;
    q = skipDigits(q, end);
    bool digits = q != mantissa;
    if (q < end && *q == u'.') {
        const QChar* const fraction = q + 1;
        q = skipDigits(fraction, end);
        digits = digits || q != fraction;
    }
    if (!digits) return false;
    if (q < end && (*q == u'e' || *q == u'E')) {
        // An 'e' without exponent digits is not part of the number.
        const QChar* e = q + 1;
        if (e < end && (*e == u'-' || *e == u'+')) ++e;
        if (isDigit(e, end)) q = skipDigits(e, end);
    }
    if (shortDecimal(p, q, value)) {
        p = q;
        return true;
    }
    // from_chars on an ASCII copy: exact rounding, no locale. It takes no '+', so a leading one is
    // dropped.
    const QChar* from = p;
    if (*from == u'+') ++from;
    const auto length = static_cast<size_t>(q - from);
    char small[64];
    std::string large;
    char* buf = small;
    if (length > sizeof small) {
        large.resize(length);
        buf = large.data();
    }
    for (size_t i = 0; i < length; ++i) buf[i] = static_cast<char>(from[i].unicode());
    double v = 0;
    const auto r = std::from_chars(buf, buf + length, v, std::chars_format::general);
    if (r.ptr != buf + length) return false;
    if (r.ec == std::errc::result_out_of_range) {
        // Too small for a double reads as zero; too large is refused.
        if (!tooSmall(mantissa, q)) return false;
        v = buf[0] == '-' ? -0.0 : 0.0;
    } else if (r.ec != std::errc() || !std::isfinite(v)) {
        return false;
    }
    value = v;
    p = q;
    return true;
}

}  // namespace mvx
