// GPX 1.0 and 1.1: every track point (trk/trkseg/trkpt) with a time. Speed, where a point has one
// (GPX 1.0 <speed>, or a <speed> in the 1.1 extensions), is in metres per second.
#include <QBuffer>
#include <QXmlStreamReader>

#include <cmath>

#include "import/ImportTime.h"
#include "import/NumberText.h"
#include "import/PlainGpxScanner.h"
#include "import/PointStream.h"
#include "import/TrackImport.h"

namespace telvika::server::import {

namespace {

bool coordinate(QStringView text, double limit, double* out) {
    bool ok = false;
    *out = numberOf(text.trimmed(), &ok);
    return ok && std::isfinite(*out) && std::fabs(*out) <= limit;
}

// One track point at its end; false: stop reading.
bool handOver(PointCollector& points, bool coordinatesOk, double lat, double lon, const QString& time,
              const QString& speed) {
    ImportProblems& problems = points.problems();
    if (!coordinatesOk) {
        problems.skip(QStringLiteral("неверные координаты"));
        return true;
    }
    if (time.isEmpty()) {
        problems.skip(QStringLiteral("нет времени"));
        return true;
    }
    const TrackTime parsed = parseTrackTime(time, TrackZone::utc());  // GPX times are UTC
    if (!parsed.valid()) {
        problems.skip(QStringLiteral("неверное время"));
        return true;
    }
    TelemetryPoint p;
    p.time = parsed.earlier;
    p.lat = lat;
    p.lon = lon;
    p.speedKmh = NAN;
    bool speedOk = false;
    const double mps = numberOf(QStringView(speed).trimmed(), &speedOk);
    if (speedOk && std::isfinite(mps) && mps >= 0.0 && mps < 200.0) p.speedKmh = mps * 3.6;
    return points.add(p);
}

QString damaged(int line, const QString& reason) {
    return QStringLiteral("Файл GPX повреждён (строка %1): %2").arg(line).arg(reason);
}

}  // namespace

QString readGpx(QIODevice& input, PointCollector& points, bool plainScanner) {
    if (input.atEnd()) return QStringLiteral("Файл пуст");
    points.setSpeedColumn(true);
    // Plain XML, nearly every file, is read by the fast scanner once it has checked the whole file.
    if (plainScanner && !input.isSequential()) {
        const qint64 start = input.pos();
        const bool plain = PlainGpxScanner(input).scan(nullptr);
        if (!input.seek(start)) return QStringLiteral("Не удалось перечитать файл GPX");
        if (plain) {
            const PlainGpxScanner::Point point = [&](QStringView latText, QStringView lonText, const QString& time,
                                                     const QString& speed) {
                double lat = 0.0, lon = 0.0;
                const bool ok = coordinate(latText, 90.0, &lat) && coordinate(lonText, 180.0, &lon);
                return handOver(points, ok, lat, lon, time, speed);
            };
            if (!PlainGpxScanner(input).scan(&point)) return QStringLiteral("Файл GPX изменился во время чтения");
            return QString();
        }
    }
    QXmlStreamReader xml(&input);
    bool rootSeen = false;
    bool inPoint = false, coordinatesOk = false;
    double lat = 0.0, lon = 0.0;
    QString time, speed;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = xml.name();
            if (!rootSeen) {
                rootSeen = true;
                if (name != QLatin1String("gpx"))
                    return QStringLiteral("Файл не является треком GPX: корневой элемент «%1»").arg(name.toString().left(40));
                continue;
            }
            if (name == QLatin1String("trkpt")) {
                inPoint = true;
                const QXmlStreamAttributes attributes = xml.attributes();
                coordinatesOk = coordinate(attributes.value(QLatin1String("lat")), 90.0, &lat) &&
                                coordinate(attributes.value(QLatin1String("lon")), 180.0, &lon);
                time.clear();
                speed.clear();
            } else if (inPoint && name == QLatin1String("time")) {
                time = xml.readElementText(QXmlStreamReader::SkipChildElements);
            } else if (inPoint && name == QLatin1String("speed")) {
                speed = xml.readElementText(QXmlStreamReader::SkipChildElements);
            }
        } else if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("trkpt")) {
            inPoint = false;
            if (!handOver(points, coordinatesOk, lat, lon, time, speed)) return QString();
        }
    }
    if (xml.hasError()) return damaged(static_cast<int>(xml.lineNumber()), xml.errorString());
    if (!rootSeen) return QStringLiteral("Файл пуст или не является треком GPX");
    return QString();
}

ImportResult importGpx(const QByteArray& data, bool plainScanner) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return importGpx(buffer, plainScanner);
}

ImportResult importGpx(QIODevice& input, bool plainScanner) {
    ImportResult result;
    WholeTrack points;
    result.error = readGpx(input, points, plainScanner);
    if (result.error.isEmpty()) points.finish(result);
    return result;
}

}  // namespace telvika::server::import
