// The trip's figures, the speed chart's reduction and time axis, the place text, and the export of
// a trip through GDAL read back by GDAL.
#include <QTemporaryDir>
#include <QtTest>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include "analysis/ChartTimeAxis.h"
#include "analysis/PlaceText.h"
#include "analysis/SpeedSeries.h"
#include "analysis/TripExport.h"
#include "analysis/TripSummary.h"

using namespace telvika;
using namespace telvika::analysis;

namespace {

const TDateTime T0 = oleFromDateAndTime(QDate(2024, 3, 5), QTime(8, 0));

TDateTime at(double seconds) { return T0 + seconds / SecondsPerDay; }

// time (s after T0), lon, lat, metres, km/h per point.
TTrackData track(const QVector<std::array<double, 5>>& points) {
    QVector<double> v;
    for (const auto& p : points) v << at(p[0]) << p[1] << p[2] << p[3] << p[4];
    return TTrackData(v);
}

}  // namespace

class TestAnalysis : public QObject {
    Q_OBJECT
private slots:
    void summaryOfAKnownTrip();
    void summaryEdges();
    void chartColumnsKeepExtremesAndTheValueUnderThePointer();
    void zoomKeepsTheMomentUnderThePointer();
    void placeTexts();
    void gpxThroughGdalKeepsPointsTimesAndEntries();
    void unwritableTargetKeepsTheOldFile();
};

void TestAnalysis::summaryOfAKnownTrip() {
    // 10 minutes, 6 km, two overlapping stops covering 3 minutes together, the top speed twice.
    const TTrackData t = track({{0, 37.0, 55.0, 0, 0}, {120, 37.01, 55.0, 2000, 72}, {300, 37.02, 55.0, 2000, 0},
                                {480, 37.03, 55.0, 4000, 72}, {600, 37.04, 55.0, 6000, 36}});
    const QVector<TStops> stops{{at(200), at(320), {}}, {at(300), at(380), {}}};
    const TTripSummary s = summarizeTrip(t, stops);
    QCOMPARE(s.distanceM, 6000.0);
    QCOMPARE(s.durationS, 600.0);
    QCOMPARE(s.parkedS, 180.0);
    QCOMPARE(s.movingS, 420.0);
    QCOMPARE(s.maxSpeedKmh, 72.0);
    QCOMPARE(s.maxSpeedAt, at(120));  // the first point at the top speed
    QVERIFY(qAbs(s.meanSpeedKmh - 36.0) < 1e-9);
    QVERIFY(qAbs(s.meanMovingSpeedKmh - 6000.0 / 420.0 * 3.6) < 1e-9);

    TTripRecord trip;
    trip.kinds = {{QStringLiteral("Контрольные точки"), QStringLiteral("checkpoints-stages"), true, true, {}},
                  {QStringLiteral("Список остановок"), QStringLiteral("parks"), true, true, {}},
                  {QStringLiteral("Датчик"), QStringLiteral("sensor_on-num1"), false, true, {}}};
    trip.entries = {{1}, {1}, {2}};
    const auto rows = summaryRows(s, listedKindCounts(trip), QLocale(QLocale::Russian));
    QCOMPARE(rows[0].second, QStringLiteral("6,0 км"));
    QCOMPARE(rows[3].second, QStringLiteral("00:03:00"));
    QCOMPARE(rows.last(), qMakePair(QStringLiteral("Список остановок"), QStringLiteral("2")));
    QCOMPARE(rows.size(), 7 + 2);  // the sensor kind is not listed
}

void TestAnalysis::summaryEdges() {
    const TTripSummary one = summarizeTrip(track({{0, 37, 55, 0, 0}}), {});
    QCOMPARE(one.durationS, 0.0);
    QCOMPARE(one.meanSpeedKmh, 0.0);
    QCOMPARE(one.meanMovingSpeedKmh, 0.0);
    // Standing all along, a whole-trip stop: no moving time, no mean moving speed.
    const TTripSummary still = summarizeTrip(track({{0, 37, 55, 0, 0}, {60, 37, 55, 0, 0}}), {{at(-10), at(70), {}}});
    QCOMPARE(still.parkedS, 60.0);
    QCOMPARE(still.movingS, 0.0);
    QCOMPARE(still.maxSpeedKmh, 0.0);
    QVERIFY(!summaryRows(still, {})[4].second.contains(QLatin1Char('(')));  // no moment for a top speed of 0
    // Longer than a day: the duration carries its days.
    const TTripSummary long_ = summarizeTrip(track({{0, 37, 55, 0, 10}, {93600, 37.1, 55, 9000, 10}}), {});
    QCOMPARE(summaryRows(long_, {})[1].second, QStringLiteral("1 02:00:00"));
}

void TestAnalysis::chartColumnsKeepExtremesAndTheValueUnderThePointer() {
    TSpeedSeries series;
    std::vector<double> t;
    std::vector<float> v;
    for (int k = 0; k < 10000; ++k) {
        t.push_back(k);
        v.push_back(k == 4370 || k == 7001 ? 150.0f : static_cast<float>(k % 7 + 1));
    }
    series.assign(t, v, T0);
    std::vector<TSpeedSeries::Column> cols;
    series.reduce(0, 9999, 10, cols);
    QCOMPARE(cols[4].max, 150.0f);  // one-point spikes survive, inside a block or at its edge
    QCOMPARE(cols[7].max, 150.0f);
    QCOMPARE(cols[4].min, 1.0f);
    QCOMPARE(cols[3].first, static_cast<float>(3000 % 7 + 1));
    QCOMPARE(cols[3].last, static_cast<float>(3999 % 7 + 1));
    series.reduce(4369.5, 4370.5, 3, cols);  // zoomed in to a single point
    QCOMPARE(cols[1].max, 150.0f);
    QVERIFY(cols[0].empty && cols[2].empty);
    QCOMPARE(series.pointAt(4370.9), 4370);  // the point in force, exactly
    QCOMPARE(series.pointAt(-5), 0);
}

void TestAnalysis::zoomKeepsTheMomentUnderThePointer() {
    TChartTimeAxis axis;
    axis.reset(3600);
    axis.setPixels(40, 600);
    const double before = axis.secondsAt(190);
    axis.zoom(190, 4);
    QVERIFY(qAbs(axis.secondsAt(190) - before) < 1e-6);
    QVERIFY(qAbs((axis.to() - axis.from()) - 900) < 1e-6);
    axis.zoom(40, 1e-6);  // zoomed out past the trip: the whole trip, no more
    QVERIFY(axis.isWhole());
}

void TestAnalysis::placeTexts() {
    QCOMPARE(placeText({QStringLiteral("ул. Ленина"), QStringLiteral("12"), 8, true}), QStringLiteral("ул. Ленина, 12"));
    QCOMPARE(placeText({QStringLiteral("Восточное шоссе"), {}, 90, true}), QStringLiteral("у Восточное шоссе"));
    QCOMPARE(placeText({}), QStringLiteral("—"));
}

void TestAnalysis::gpxThroughGdalKeepsPointsTimesAndEntries() {
    TTripRecord trip;
    trip.track = track({{0, 37.123456, 55.654321, 0, 0}, {7, 37.1236, 55.6544, 15, 25.2}, {61, 37.13, 55.66, 900, 60}});
    TTripEntry stop;
    stop.kindName = QStringLiteral("Список остановок");
    stop.begin = at(7);
    stop.end = at(61);
    stop.durationText = QStringLiteral("00:00:54");
    stop.lon = 37.1236;
    stop.lat = 55.6544;
    trip.entries = {stop};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trip.gpx"));
    QString error;
    QVERIFY2(exportTrip(trip, path, TExportFormat::Gpx, &error), qPrintable(error));

    GDALAllRegister();
    GDALDataset* ds = GDALDataset::Open(path.toUtf8().constData(), GDAL_OF_VECTOR);
    QVERIFY(ds != nullptr);
    OGRLayer* points = ds->GetLayerByName("track_points");
    QCOMPARE(points->GetFeatureCount(), 3);
    int k = 0;
    for (auto& f : *points) {
        const OGRPoint* p = f->GetGeometryRef()->toPoint();
        QCOMPARE(p->getX(), trip.track.longitude(k));
        QCOMPARE(p->getY(), trip.track.latitude(k));
        int y, mo, d, h, mi, tz;
        float s;
        QVERIFY(f->GetFieldAsDateTime(f->GetFieldIndex("time"), &y, &mo, &d, &h, &mi, &s, &tz));
        const QDateTime utc(QDate(y, mo, d), QTime(h, mi, static_cast<int>(s)), Qt::UTC);
        QCOMPARE(utc, oleToDateTime(trip.track.time(k)).toUTC());
        ++k;
    }
    OGRLayer* waypoints = ds->GetLayerByName("waypoints");
    QCOMPARE(waypoints->GetFeatureCount(), 1);
    GDALClose(ds);
    QFile text(path);
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QByteArray gpx = text.readAll();
    QVERIFY(gpx.contains("version=\"1.1\""));
    QVERIFY(gpx.contains("<telvika:duration>00:00:54</telvika:duration>"));
}

void TestAnalysis::unwritableTargetKeepsTheOldFile() {
    // A target that cannot be replaced (a folder of that name): the message, the folder as it was,
    // and no temporary file left beside it.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trip.csv"));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("trip.csv/kept")));
    TTripRecord trip;
    trip.track = track({{0, 37, 55, 0, 0}});
    QString error;
    QVERIFY(!exportTrip(trip, path, TExportFormat::Csv, &error));
    QVERIFY2(error.startsWith(QStringLiteral("Не удалось сохранить файл «") + path), qPrintable(error));
    QVERIFY(QFileInfo(path + QStringLiteral("/kept")).isDir());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("trip.csv")});
}

QTEST_GUILESS_MAIN(TestAnalysis)
#include "tst_analysis.moc"
