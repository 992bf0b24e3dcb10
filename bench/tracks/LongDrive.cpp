#include "LongDrive.h"

#include <gdal.h>
#include <gdal_utils.h>
#include <cpl_error.h>

#include <QDir>
#include <QFile>

#include "common/NumberText.h"

namespace longdrive {

QString extractPath() { return QStringLiteral(TELVIKA_SOURCE_DIR "/tests/data/osm/liechtenstein.osm.pbf"); }

QString scratchFolder() {
    static QTemporaryDir dir;
    return dir.path();
}

const std::vector<roaddrive::Sample>& drive(int seconds) {
    static std::map<int, std::vector<roaddrive::Sample>> drives;
    auto it = drives.find(seconds);
    if (it != drives.end()) return it->second;
    static roaddrive::RoadNetwork roads;
    static bool loaded = false, failed = false;
    if (!loaded && !failed) {
        QString error;
        failed = !roads.load(extractPath(), &error);
        loaded = !failed;
        if (failed) qWarning("road network: %s", qPrintable(error));
    }
    roaddrive::Options options;
    options.seconds = seconds;
    return drives[seconds] = loaded ? roaddrive::drive(roads, options) : std::vector<roaddrive::Sample>{};
}

QString coordinateText(const std::vector<roaddrive::Sample>& samples) {
    QString text;
    text.reserve(static_cast<qsizetype>(samples.size()) * 36);
    for (size_t i = 0; i < samples.size(); ++i) {
        if (i > 0) text += QLatin1Char(',');
        text += telvika::generalTextDot(samples[i].lon);
        text += QLatin1Char(' ');
        text += telvika::generalTextDot(samples[i].lat);
    }
    return text;
}

QString gpxFile(int seconds) {
    const QString path = QDir(scratchFolder()).filePath(QStringLiteral("drive-%1.gpx").arg(seconds));
    if (QFile::exists(path)) return path;
    const auto& samples = drive(seconds);
    QString error;
    if (samples.empty() || !roaddrive::writeGpx(path, samples, 1714975200, &error)) return QString();
    return path;
}

QString chartFile() {
    static const QString chart = []() -> QString {
        const QString target = QDir(scratchFolder()).filePath(QStringLiteral("liechtenstein.chart"));
        GDALAllRegister();
        const QByteArray source = extractPath().toUtf8(), out = target.toUtf8();
        GDALDatasetH in = GDALOpenEx(source.constData(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
        if (in == nullptr) return QString();
        const char* const args[] = {"-f", "GPKG", nullptr};
        GDALVectorTranslateOptions* options = GDALVectorTranslateOptionsNew(const_cast<char**>(args), nullptr);
        CPLPushErrorHandler(CPLQuietErrorHandler);  // the .chart extension warning
        GDALDatasetH made = GDALVectorTranslate(out.constData(), nullptr, 1, &in, options, nullptr);
        CPLPopErrorHandler();
        GDALVectorTranslateOptionsFree(options);
        GDALClose(in);
        if (made == nullptr) return QString();
        GDALClose(made);
        return target;
    }();
    return chart;
}

}  // namespace longdrive
