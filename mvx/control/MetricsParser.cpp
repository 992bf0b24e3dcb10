#include "MetricsParser.h"

#include <charconv>
#include <cmath>

namespace mvx {

namespace {

// A plain decimal number: optional sign, digits and one optional '.'; no exponent, no locale.
// Parsed with from_chars on a small ASCII copy, which keeps a 100,000-point track fast.
bool readCoordinate(const QChar*& p, const QChar* end, double& v) {
    char buf[40];
    int n = 0;
    const QChar* q = p;
    if (q < end && (*q == u'-' || *q == u'+')) {
        if (*q == u'-') buf[n++] = '-';
        ++q;
    }
    bool digits = false, dot = false;
    while (q < end && n < int(sizeof buf)) {
        const char16_t c = q->unicode();
        if (c >= u'0' && c <= u'9') {
            digits = true;
        } else if (c == u'.' && !dot) {
            dot = true;
        } else {
            break;
        }
        buf[n++] = char(c);
        ++q;
    }
    if (!digits || n >= int(sizeof buf)) return false;
    const auto r = std::from_chars(buf, buf + n, v, std::chars_format::fixed);
    if (r.ec != std::errc() || r.ptr != buf + n || !std::isfinite(v)) return false;
    p = q;
    return true;
}

void skipBlanks(const QChar*& p, const QChar* end) {
    while (p < end && p->isSpace()) ++p;
}

}  // namespace

bool MetricsParser::parse(const QString& text, QVector<QPointF>& lonLat, QString& error) {
    const QChar* p = text.constData();
    const QChar* const end = p + text.size();
    auto header = [&](char16_t c) {
        skipBlanks(p, end);
        if (p >= end || p->unicode() != c || (p + 1 < end && !p[1].isSpace())) return false;
        ++p;
        return true;
    };
    if (!header(u'L') || !header(u'E')) {
        error = QStringLiteral("geometry does not start with \"L E\"");
        return false;
    }
    auto fail = [&](const QChar* at, const char* what) {
        error = QStringLiteral("%1 at \"%2\"").arg(QLatin1String(what), QString(at, std::min<qsizetype>(end - at, 40)));
        return false;
    };
    QVector<QPointF> points;
    points.reserve(text.count(u',') + 1);
    skipBlanks(p, end);
    while (p < end) {
        const QChar* pairStart = p;
        double lon = 0, lat = 0;
        if (!readCoordinate(p, end, lon)) return fail(pairStart, "bad longitude");
        if (p >= end || !p->isSpace()) return fail(pairStart, "expected a blank between longitude and latitude");
        skipBlanks(p, end);
        if (!readCoordinate(p, end, lat)) return fail(pairStart, "bad latitude");
        if (std::fabs(lon) > 360.0 || std::fabs(lat) > 90.0) return fail(pairStart, "coordinate out of range");
        points.append(QPointF(lon, lat));
        skipBlanks(p, end);
        if (p >= end) break;
        if (*p != u',') return fail(p, "expected ','");
        ++p;
        skipBlanks(p, end);
        if (p < end && *p == u',') return fail(p, "empty coordinate pair");
    }
    if (points.isEmpty()) {
        error = QStringLiteral("geometry has no points");
        return false;
    }
    lonLat = std::move(points);
    return true;
}

}  // namespace mvx
