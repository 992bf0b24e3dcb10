// CSV tracks: a header line names the columns, in any order and case: time (time, datetime,
// timestamp, время), latitude (lat, latitude, широта), longitude (lon, lng, longitude, долгота),
// and optionally speed in km/h (speed, скорость), fuel in litres (fuel, fuel1, tank1, топливо;
// fuel2, tank2), sensors as a bit mask (sensors, датчики) or one column per sensor (sensor1 ..
// sensor6, 0 or 1). The separator is ",", ";" or a tab, guessed from the header; with ";" or a tab
// a decimal comma is accepted. Times that name no zone are read in the zone given; in the hour
// that zone repeats in autumn, the reading that keeps the file in order is taken. The file is read
// line by line, and a line longer than MaxCsvLineBytes is passed over, so memory stays bounded by
// the points themselves.
#include <QBuffer>
#include <QHash>
#include <QStringList>

#include <cmath>

#include "import/ImportTime.h"
#include "import/NumberText.h"
#include "import/PointStream.h"
#include "import/TrackImport.h"

namespace telvika::server::import {

namespace {

// Splits one line at the separator; a field in double quotes may hold the separator and "" for a
// quote.
QStringList splitLine(const QString& line, QChar sep) {
    QStringList fields;
    QString field;
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"') && field.trimmed().isEmpty()) {
            quoted = true;
            field.clear();
        } else if (c == sep) {
            fields << field.trimmed();
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field.trimmed();
    return fields;
}

// Reads the next line without its line end into *line, whose memory is reused from line to line.
// A line longer than MaxCsvLineBytes is read to its end through a small scrap buffer and not kept:
// *tooLong. False at the end of the input.
bool readLine(QIODevice& in, QByteArray* line, bool* tooLong) {
    *tooLong = false;
    if (in.atEnd()) return false;
    line->resize(MaxCsvLineBytes + 3);  // room for the longest line, "\r\n" and the terminating zero
    const qint64 n = in.readLine(line->data(), line->size());
    if (n <= 0) {  // a read error ends the file
        line->resize(0);
        return false;
    }
    line->resize(n);
    if (!line->endsWith('\n') && !in.atEnd()) {
        *tooLong = true;
        line->resize(0);
        char scrap[4096];
        for (;;) {
            const qint64 k = in.readLine(scrap, sizeof scrap);
            if (k <= 0 || scrap[k - 1] == '\n' || in.atEnd()) return true;
        }
    }
    if (line->endsWith('\n')) line->chop(1);
    if (line->endsWith('\r')) line->chop(1);
    if (line->size() > MaxCsvLineBytes) {
        *tooLong = true;
        line->resize(0);
    }
    return true;
}

int columnOf(const QStringList& header, std::initializer_list<const char*> names) {
    for (int i = 0; i < header.size(); ++i)
        for (const char* name : names)
            if (header[i].compare(QString::fromUtf8(name), Qt::CaseInsensitive) == 0) return i;
    return -1;
}

}  // namespace

ImportResult importCsv(const QByteArray& data, const TrackZone& zone) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return importCsv(buffer, zone);
}

ImportResult importCsv(QIODevice& input, const TrackZone& zone) {
    ImportResult result;
    WholeTrack points;
    result.error = readCsv(input, zone, points);
    if (result.error.isEmpty()) points.finish(result);
    return result;
}

QString readCsv(QIODevice& input, const TrackZone& zone, PointCollector& points) {
    QByteArray raw;
    bool tooLong = false;
    bool firstLine = true;
    QString headerText;
    while (readLine(input, &raw, &tooLong)) {
        if (tooLong)
            return QStringLiteral("Строка заголовка CSV длиннее %1 байт: это не файл трека").arg(MaxCsvLineBytes);
        QString line = QString::fromUtf8(raw);
        if (firstLine && line.startsWith(QChar(0xFEFF))) line.remove(0, 1);
        firstLine = false;
        if (!line.trimmed().isEmpty()) {
            headerText = line;
            break;
        }
    }
    if (headerText.isEmpty()) return QStringLiteral("Файл CSV пуст");
    QChar sep = QLatin1Char(',');
    if (headerText.contains(QLatin1Char(';'))) sep = QLatin1Char(';');
    else if (headerText.contains(QLatin1Char('\t'))) sep = QLatin1Char('\t');
    const bool decimalComma = sep != QLatin1Char(',');
    const QStringList header = splitLine(headerText, sep);

    const int timeCol = columnOf(header, {"time", "datetime", "timestamp", "date_time", "время"});
    const int latCol = columnOf(header, {"lat", "latitude", "широта"});
    const int lonCol = columnOf(header, {"lon", "lng", "long", "longitude", "долгота"});
    if (timeCol < 0 || latCol < 0 || lonCol < 0)
        return QStringLiteral("В заголовке CSV нет столбцов времени и координат (ожидаются time, lat, lon)");
    const int speedCol = columnOf(header, {"speed", "скорость"});
    points.setSpeedColumn(speedCol >= 0);
    const int fuel1Col = columnOf(header, {"fuel", "fuel1", "tank1", "топливо"});
    const int fuel2Col = columnOf(header, {"fuel2", "tank2"});
    const int sensorsCol = columnOf(header, {"sensors", "датчики"});
    int sensorCols[6];
    for (int s = 0; s < 6; ++s) {
        const QByteArray name = "sensor" + QByteArray::number(s + 1);
        sensorCols[s] = columnOf(header, {name.constData()});
    }

    auto number = [decimalComma](QString field, bool* ok) {
        if (decimalComma) field.replace(QLatin1Char(','), QLatin1Char('.'));
        const double v = numberOf(field, ok);
        if (*ok && !std::isfinite(v)) *ok = false;
        return v;
    };

    ImportProblems& problems = points.problems();
    double previousTime = NAN;  // of the last point read, in file order
    while (readLine(input, &raw, &tooLong)) {
        if (tooLong) {
            problems.skip(QStringLiteral("строка длиннее %1 байт").arg(MaxCsvLineBytes));
            continue;
        }
        const QString line = QString::fromUtf8(raw);
        if (line.trimmed().isEmpty()) continue;
        const QStringList f = splitLine(line, sep);
        if (f.size() < header.size()) {
            problems.skip(QStringLiteral("не хватает полей"));
            continue;
        }
        TelemetryPoint p;
        bool latOk = false, lonOk = false;
        p.lat = number(f[latCol], &latOk);
        p.lon = number(f[lonCol], &lonOk);
        if (!latOk || !lonOk || std::fabs(p.lat) > 90.0 || std::fabs(p.lon) > 180.0) {
            problems.skip(QStringLiteral("неверные координаты"));
            continue;
        }
        const TrackTime time = parseTrackTime(f[timeCol], zone);
        if (!time.valid()) {
            problems.skip(QStringLiteral("неверное время"));
            continue;
        }
        p.time = time.after(previousTime);
        p.speedKmh = NAN;
        bool ok = false;
        if (speedCol >= 0 && !f[speedCol].isEmpty()) {
            const double v = number(f[speedCol], &ok);
            if (!ok || v < 0.0 || v > 400.0) {
                problems.skip(QStringLiteral("неверная скорость"));
                continue;
            }
            p.speedKmh = v;
        }
        bool badFuel = false;
        for (auto [col, tank] : {std::pair{fuel1Col, &p.tank1}, std::pair{fuel2Col, &p.tank2}}) {
            if (col < 0 || f[col].isEmpty()) continue;
            const double v = number(f[col], &ok);
            if (!ok || v < 0.0) badFuel = true;
            else *tank = v;
        }
        if (badFuel) {
            problems.skip(QStringLiteral("неверный уровень топлива"));
            continue;
        }
        bool badSensors = false;
        if (sensorsCol >= 0 && !f[sensorsCol].isEmpty()) {
            const uint bits = f[sensorsCol].toUInt(&ok);
            if (!ok || bits > 63) badSensors = true;
            else p.sensors = static_cast<quint8>(bits);
        }
        for (int s = 0; s < 6; ++s) {
            if (sensorCols[s] < 0 || f[sensorCols[s]].isEmpty()) continue;
            const QString& v = f[sensorCols[s]];
            if (v == QLatin1String("1")) p.sensors |= static_cast<quint8>(1u << s);
            else if (v != QLatin1String("0")) badSensors = true;
        }
        if (badSensors) {
            problems.skip(QStringLiteral("неверные датчики"));
            continue;
        }
        if (!points.add(p)) return QString();
        previousTime = p.time;
    }
    return QString();
}

}  // namespace telvika::server::import
