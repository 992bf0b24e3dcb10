// CSV tracks: a header line names the columns, in any order and case: time (time, datetime,
// timestamp, время), latitude (lat, latitude, широта), longitude (lon, lng, longitude, долгота),
// and optionally speed in km/h (speed, скорость), fuel in litres (fuel, fuel1, tank1, топливо;
// fuel2, tank2), sensors as a bit mask (sensors, датчики) or one column per sensor (sensor1 ..
// sensor6, 0 or 1). The separator is ",", ";" or a tab, guessed from the header; with ";" or a tab
// a decimal comma is accepted.
#include <QHash>
#include <QStringList>

#include <cmath>

#include "import/ImportProblems.h"
#include "import/ImportTime.h"
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

int columnOf(const QStringList& header, std::initializer_list<const char*> names) {
    for (int i = 0; i < header.size(); ++i)
        for (const char* name : names)
            if (header[i].compare(QString::fromUtf8(name), Qt::CaseInsensitive) == 0) return i;
    return -1;
}

}  // namespace

ImportResult importCsv(const QByteArray& data) {
    ImportResult result;
    QString text = QString::fromUtf8(data);
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& l : lines)
        if (l.endsWith(QLatin1Char('\r'))) l.chop(1);
    int headerLine = 0;
    while (headerLine < lines.size() && lines[headerLine].trimmed().isEmpty()) ++headerLine;
    if (headerLine >= lines.size()) {
        result.error = QStringLiteral("Файл CSV пуст");
        return result;
    }
    const QString& headerText = lines[headerLine];
    QChar sep = QLatin1Char(',');
    if (headerText.contains(QLatin1Char(';'))) sep = QLatin1Char(';');
    else if (headerText.contains(QLatin1Char('\t'))) sep = QLatin1Char('\t');
    const bool decimalComma = sep != QLatin1Char(',');
    const QStringList header = splitLine(headerText, sep);

    const int timeCol = columnOf(header, {"time", "datetime", "timestamp", "date_time", "время"});
    const int latCol = columnOf(header, {"lat", "latitude", "широта"});
    const int lonCol = columnOf(header, {"lon", "lng", "long", "longitude", "долгота"});
    if (timeCol < 0 || latCol < 0 || lonCol < 0) {
        result.error = QStringLiteral(
            "В заголовке CSV нет столбцов времени и координат (ожидаются time, lat, lon)");
        return result;
    }
    const int speedCol = columnOf(header, {"speed", "скорость"});
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
        const double v = field.toDouble(ok);
        if (*ok && !std::isfinite(v)) *ok = false;
        return v;
    };

    ImportProblems problems;
    QVector<TelemetryPoint> points;
    for (int li = headerLine + 1; li < lines.size(); ++li) {
        if (lines[li].trimmed().isEmpty()) continue;
        const QStringList f = splitLine(lines[li], sep);
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
        p.time = parseTrackTime(f[timeCol]);
        if (std::isnan(p.time)) {
            problems.skip(QStringLiteral("неверное время"));
            continue;
        }
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
        points.push_back(p);
    }
    bool speedKnown = speedCol >= 0;
    for (const TelemetryPoint& p : points)
        if (std::isnan(p.speedKmh)) speedKnown = false;
    problems.finish(std::move(points), speedKnown, result);
    return result;
}

}  // namespace telvika::server::import
