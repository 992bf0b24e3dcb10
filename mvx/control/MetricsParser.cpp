#include "MetricsParser.h"

#include "DecimalNumber.h"

#include <cmath>

namespace mvx {

namespace {

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
        if (!readDecimalNumber(p, end, lon)) return fail(pairStart, "bad longitude");
        if (p >= end || !p->isSpace()) return fail(pairStart, "expected a blank between longitude and latitude");
        skipBlanks(p, end);
        if (!readDecimalNumber(p, end, lat)) return fail(pairStart, "bad latitude");
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
