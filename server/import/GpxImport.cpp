// GPX 1.0 and 1.1: every track point (trk/trkseg/trkpt) with a time. Speed, where a point has one
// (GPX 1.0 <speed>, or a <speed> in the 1.1 extensions), is in metres per second.
#include <QBuffer>
#include <QXmlStreamReader>

#include <cmath>

#include "import/ImportProblems.h"
#include "import/ImportTime.h"
#include "import/TrackImport.h"

namespace telvika::server::import {

namespace {

struct RawPoint {
    QString lat, lon, time, speed;
};

void addPoint(const RawPoint& raw, QVector<TelemetryPoint>& points, ImportProblems& problems,
              bool& allHaveSpeed) {
    bool latOk = false, lonOk = false;
    const double lat = raw.lat.trimmed().toDouble(&latOk);
    const double lon = raw.lon.trimmed().toDouble(&lonOk);
    if (!latOk || !lonOk || !std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) > 90.0 ||
        std::fabs(lon) > 180.0) {
        problems.skip(QStringLiteral("неверные координаты"));
        return;
    }
    if (raw.time.isEmpty()) {
        problems.skip(QStringLiteral("нет времени"));
        return;
    }
    const TrackTime parsed = parseTrackTime(raw.time, TrackZone::utc());  // GPX times are UTC
    const double time = parsed.earlier;
    if (!parsed.valid()) {
        problems.skip(QStringLiteral("неверное время"));
        return;
    }
    TelemetryPoint p;
    p.time = time;
    p.lat = lat;
    p.lon = lon;
    p.speedKmh = NAN;
    bool speedOk = false;
    const double mps = raw.speed.trimmed().toDouble(&speedOk);
    if (speedOk && std::isfinite(mps) && mps >= 0.0 && mps < 200.0) p.speedKmh = mps * 3.6;
    else allHaveSpeed = false;
    points.push_back(p);
}

}  // namespace

ImportResult importGpx(const QByteArray& data) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return importGpx(buffer);
}

ImportResult importGpx(QIODevice& input) {
    ImportResult result;
    if (input.atEnd()) {
        result.error = QStringLiteral("Файл пуст");
        return result;
    }
    ImportProblems problems;
    QVector<TelemetryPoint> points;
    bool allHaveSpeed = true;
    QXmlStreamReader xml(&input);
    bool rootSeen = false;
    bool inPoint = false;
    RawPoint raw;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = xml.name();
            if (!rootSeen) {
                rootSeen = true;
                if (name != QLatin1String("gpx")) {
                    result.error = QStringLiteral("Файл не является треком GPX: корневой элемент «%1»")
                                       .arg(name.toString().left(40));
                    return result;
                }
                continue;
            }
            if (name == QLatin1String("trkpt")) {
                inPoint = true;
                raw = RawPoint{};
                raw.lat = xml.attributes().value(QLatin1String("lat")).toString();
                raw.lon = xml.attributes().value(QLatin1String("lon")).toString();
            } else if (inPoint && name == QLatin1String("time")) {
                raw.time = xml.readElementText(QXmlStreamReader::SkipChildElements);
            } else if (inPoint && name == QLatin1String("speed")) {
                raw.speed = xml.readElementText(QXmlStreamReader::SkipChildElements);
            }
        } else if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("trkpt")) {
            inPoint = false;
            addPoint(raw, points, problems, allHaveSpeed);
        }
    }
    if (xml.hasError()) {
        result.error = QStringLiteral("Файл GPX повреждён (строка %1): %2")
                           .arg(xml.lineNumber())
                           .arg(xml.errorString());
        return result;
    }
    if (!rootSeen) {
        result.error = QStringLiteral("Файл пуст или не является треком GPX");
        return result;
    }
    problems.finish(std::move(points), allHaveSpeed, result);
    return result;
}

}  // namespace telvika::server::import
