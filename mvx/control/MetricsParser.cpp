#include "MetricsParser.h"

#include <QStringView>

#include <cmath>

namespace mvx {

namespace {

bool toCoordinate(QStringView token, double& v) {
    bool ok = false;
    v = token.toDouble(&ok);  // C locale: '.' decimal separator only
    return ok && std::isfinite(v);
}

}  // namespace

bool MetricsParser::parse(const QString& text, QVector<QPointF>& lonLat, QString& error) {
    QStringView rest = QStringView(text).trimmed();
    auto header = [&](QChar c) {
        if (rest.isEmpty() || rest.front() != c || (rest.size() > 1 && !rest[1].isSpace())) return false;
        rest = rest.mid(1).trimmed();
        return true;
    };
    if (!header(u'L') || !header(u'E')) {
        error = QStringLiteral("geometry does not start with \"L E\"");
        return false;
    }
    QVector<QPointF> points;
    points.reserve(rest.count(u',') + 1);
    qsizetype start = 0;
    const qsizetype n = rest.size();
    while (start <= n) {
        qsizetype comma = rest.indexOf(u',', start);
        if (comma < 0) comma = n;
        const QStringView pair = rest.mid(start, comma - start).trimmed();
        if (!pair.isEmpty()) {
            qsizetype blank = 0;
            while (blank < pair.size() && !pair[blank].isSpace()) ++blank;
            double lon = 0, lat = 0;
            if (blank >= pair.size() || !toCoordinate(pair.left(blank), lon) ||
                !toCoordinate(pair.mid(blank).trimmed(), lat)) {
                error = QStringLiteral("bad coordinate pair \"%1\"").arg(pair.left(60).toString());
                return false;
            }
            if (std::fabs(lon) > 360.0 || std::fabs(lat) > 90.0) {
                error = QStringLiteral("coordinate pair out of range \"%1\"").arg(pair.left(60).toString());
                return false;
            }
            points.append(QPointF(lon, lat));
        } else if (comma < n) {
            error = QStringLiteral("empty coordinate pair");
            return false;
        }
        start = comma + 1;
    }
    if (points.isEmpty()) {
        error = QStringLiteral("geometry has no points");
        return false;
    }
    lonLat = std::move(points);
    return true;
}

}  // namespace mvx
