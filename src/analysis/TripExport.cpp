#include "analysis/TripExport.h"

#include <QDateTime>
#include <QFileInfo>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <memory>
#include <mutex>

#include "analysis/SafeTarget.h"
#include "common/Error.h"

namespace telvika::analysis {

namespace {

struct DatasetCloser {
    void operator()(GDALDataset* ds) const { GDALClose(ds); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

struct Options {
    char** list = nullptr;
    ~Options() { CSLDestroy(list); }
    Options& set(const char* key, const char* value) {
        list = CSLSetNameValue(list, key, value);
        return *this;
    }
};

QString lastGdalError() {
    const char* message = CPLGetLastErrorMsg();
    return message != nullptr && *message != '\0' ? QString::fromUtf8(message) : QStringLiteral("ошибка GDAL");
}

// Throws with GDAL's reason when a step failed.
void check(bool ok, const char* what) {
    if (!ok) throw Error(QStringLiteral("%1 (%2)").arg(QString::fromUtf8(what), lastGdalError()));
}

OGRSpatialReference& wgs84() {
    static OGRSpatialReference srs = [] {
        OGRSpatialReference s;
        s.SetWellKnownGeogCS("WGS84");
        s.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        return s;
    }();
    return srs;
}

void addField(OGRLayer* layer, const char* name, OGRFieldType type) {
    OGRFieldDefn field(name, type);
    check(layer->CreateField(&field) == OGRERR_NONE, "поле не создано");
}

// A local OLE date as an OGR date-time in UTC.
void setUtcTime(OGRFeature& f, const char* field, TDateTime local) {
    const QDateTime utc = oleToDateTime(local).toUTC();
    const QDate d = utc.date();
    const QTime t = utc.time();
    f.SetField(field, d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second() + t.msec() / 1000.0f, 100);
}

QString isoLocal(TDateTime local) {
    const QDateTime dt = oleToDateTime(local);
    return dt.toOffsetFromUtc(dt.offsetFromUtc()).toString(Qt::ISODate);
}

void setText(OGRFeature& f, const char* field, const QString& text) { f.SetField(field, text.toUtf8().constData()); }

void create(OGRLayer* layer, OGRFeature& f) { check(layer->CreateFeature(&f) == OGRERR_NONE, "запись не создана"); }

void writeEntries(OGRLayer* layer, const TTripRecord& trip, bool gpx) {
    for (const TTripEntry& e : trip.entries) {
        OGRFeature f(layer->GetLayerDefn());
        OGRPoint at(e.lon, e.lat);
        f.SetGeometry(&at);
        setText(f, "name", e.kindName);
        setText(f, gpx ? "desc" : "description",
                QStringLiteral("Начало: %1; конец: %2; продолжительность: %3").arg(e.beginText, e.endText, e.durationText));
        if (gpx) {
            setUtcTime(f, "time", e.begin);
            setText(f, "type", e.query);
            setText(f, "kind", e.kindName);
            setText(f, "begin", isoLocal(e.begin));
            setText(f, "end", isoLocal(e.end));
            setText(f, "duration", e.durationText);
        } else {
            setUtcTime(f, "begin", e.begin);
            setUtcTime(f, "end", e.end);
        }
        create(layer, f);
    }
}

void writeGpx(GDALDataset& ds, const TTripRecord& trip) {
    // GPX 1.1 keeps waypoints before tracks.
    OGRLayer* waypoints = ds.CreateLayer("waypoints", &wgs84(), wkbPoint, nullptr);
    check(waypoints != nullptr, "слой точек не создан");
    for (const char* name : {"kind", "begin", "end", "duration"}) addField(waypoints, name, OFTString);
    writeEntries(waypoints, trip, true);

    OGRLayer* points = ds.CreateLayer("track_points", &wgs84(), wkbPoint, nullptr);
    check(points != nullptr, "слой трека не создан");
    addField(points, "speed", OFTReal);
    addField(points, "distance", OFTReal);
    const TTrackData& t = trip.track;
    for (int k = 0; k < t.pointCount(); ++k) {
        OGRFeature f(points->GetLayerDefn());
        OGRPoint at(t.longitude(k), t.latitude(k));
        f.SetGeometry(&at);
        f.SetField("track_fid", 0);
        f.SetField("track_seg_id", 0);
        setUtcTime(f, "time", t.time(k));
        f.SetField("speed", t.speed(k) / 3.6);
        f.SetField("distance", t.distance(k));
        create(points, f);
    }
}

void writeKml(GDALDataset& ds, const TTripRecord& trip) {
    OGRLayer* track = ds.CreateLayer("Трек", &wgs84(), wkbLineString, nullptr);
    check(track != nullptr, "слой трека не создан");
    for (const char* name : {"name", "description"}) addField(track, name, OFTString);
    for (const char* name : {"begin", "end"}) addField(track, name, OFTDateTime);
    const TTrackData& t = trip.track;
    if (t.pointCount() > 0) {
        OGRFeature f(track->GetLayerDefn());
        OGRLineString line;
        for (int k = 0; k < t.pointCount(); ++k) line.addPoint(t.longitude(k), t.latitude(k));
        if (t.pointCount() == 1) line.addPoint(t.longitude(0), t.latitude(0));
        f.SetGeometry(&line);
        setText(f, "name", QStringLiteral("%1 %2, рейс %3").arg(trip.header.vehicleName, trip.header.vehicleNumber)
                               .arg(trip.header.tripNumber));
        setText(f, "description", QStringLiteral("%1 — %2").arg(trip.header.beginText, trip.header.endText));
        setUtcTime(f, "begin", t.time(0));
        setUtcTime(f, "end", t.time(t.pointCount() - 1));
        create(track, f);
    }
    OGRLayer* entries = ds.CreateLayer("Информационные точки", &wgs84(), wkbPoint, nullptr);
    check(entries != nullptr, "слой точек не создан");
    for (const char* name : {"name", "description"}) addField(entries, name, OFTString);
    for (const char* name : {"begin", "end"}) addField(entries, name, OFTDateTime);
    writeEntries(entries, trip, false);
}

void writeCsv(GDALDataset& ds, const TTripRecord& trip) {
    OGRLayer* layer = ds.CreateLayer("track", nullptr, wkbNone, nullptr);
    check(layer != nullptr, "таблица не создана");
    addField(layer, "time", OFTString);
    for (const char* name : {"longitude", "latitude", "distance_m", "speed_kmh"}) addField(layer, name, OFTReal);
    const TTrackData& t = trip.track;
    for (int k = 0; k < t.pointCount(); ++k) {
        OGRFeature f(layer->GetLayerDefn());
        setText(f, "time", isoLocal(t.time(k)));
        f.SetField("longitude", t.longitude(k));
        f.SetField("latitude", t.latitude(k));
        f.SetField("distance_m", t.distance(k));
        f.SetField("speed_kmh", t.speed(k));
        create(layer, f);
    }
}

const char* driverOf(TExportFormat format) {
    switch (format) {
        case TExportFormat::Gpx: return "GPX";
        case TExportFormat::Kml: return GetGDALDriverManager()->GetDriverByName("LIBKML") ? "LIBKML" : "KML";
        case TExportFormat::Csv: return "CSV";
    }
    return "GPX";
}

std::once_flag registered;

}  // namespace

QStringList exportFilters() {
    return {QStringLiteral("GPX 1.1 (*.gpx)"), QStringLiteral("KML (*.kml)"), QStringLiteral("CSV (*.csv)")};
}

TExportFormat exportFormatOf(const QString& path, const QString& filter) {
    const QStringList filters = exportFilters();
    if (filter == filters[1]) return TExportFormat::Kml;
    if (filter == filters[2]) return TExportFormat::Csv;
    if (filter == filters[0]) return TExportFormat::Gpx;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("kml")) return TExportFormat::Kml;
    if (suffix == QLatin1String("csv")) return TExportFormat::Csv;
    return TExportFormat::Gpx;
}

QString withExportSuffix(const QString& path, TExportFormat format) {
    const QString suffix = format == TExportFormat::Kml ? QStringLiteral("kml")
                           : format == TExportFormat::Csv ? QStringLiteral("csv")
                                                           : QStringLiteral("gpx");
    return QFileInfo(path).suffix().compare(suffix, Qt::CaseInsensitive) == 0 ? path : path + QLatin1Char('.') + suffix;
}

bool exportTrip(const TTripRecord& trip, const QString& path, TExportFormat format, QString* error) {
    std::call_once(registered, [] { GDALAllRegister(); });
    TSafeTarget target(path);
    try {
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverOf(format));
        if (driver == nullptr) throw Error(QStringLiteral("драйвер GDAL %1 недоступен").arg(QString::fromUtf8(driverOf(format))));
        Options options;
        if (format == TExportFormat::Gpx)
            options.set("GPX_USE_EXTENSIONS", "YES").set("GPX_EXTENSIONS_NS", "telvika")
                .set("GPX_EXTENSIONS_NS_URL", "urn:telvika:gpx:1");
        CPLErrorReset();
        Dataset ds(driver->Create(target.tempPath().toUtf8().constData(), 0, 0, 0, GDT_Unknown, options.list));
        check(ds != nullptr, "файл не создан");
        switch (format) {
            case TExportFormat::Gpx: writeGpx(*ds, trip); break;
            case TExportFormat::Kml: writeKml(*ds, trip); break;
            case TExportFormat::Csv: writeCsv(*ds, trip); break;
        }
        // Closing writes what the driver still holds; a failure there is reported by GDAL.
        CPLErrorReset();
        ds.reset();
        check(CPLGetLastErrorType() != CE_Failure && CPLGetLastErrorType() != CE_Fatal, "файл не дописан");
    } catch (const std::exception& e) {
        if (error) *error = saveFailedText(path, messageOf(e));
        return false;
    }
    return target.commit(error);
}

}  // namespace telvika::analysis
