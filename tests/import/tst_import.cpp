// Reading GPX and CSV track files from disk into telemetry.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <cmath>

#include "common/OleDate.h"
#include "compute/Computation.h"
#include "compute/UtcTime.h"
#include "import/TrackImport.h"

using namespace telvika::server;
using namespace telvika::server::import;

namespace {

double utc(int h, int m, double s) {
    const QDateTime dt(QDate(2025, 6, 1), QTime(h, m, 0).addMSecs(static_cast<int>(s * 1000)), QTimeZone::utc());
    return utcFromEpochSeconds(dt.toMSecsSinceEpoch() / 1000.0);
}

QByteArray corpusFile(const QString& name) {
    QFile f(QStringLiteral(TELVIKA_SOURCE_DIR "/tests/import/corpus/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestImport : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString write(const QString& name, const QByteArray& content) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
        f.write(content);
        return path;
    }

private slots:
    void gpx11WithExtensionsAndFractions() {
        const ImportResult r = importTrackFile(write("a.gpx", corpusFile("track11.gpx")));
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.points.size(), 3);
        QCOMPARE(r.skipped, 0);
        QCOMPARE(r.points[0].time, utc(8, 0, 0));
        QVERIFY(std::fabs(r.points[2].time - utc(8, 0, 20.5)) < 1e-9);
        // Not every point has a speed: all speeds come from the positions (100 m per 10 s).
        QVERIFY(std::fabs(r.points[1].speedKmh - 200.1 / 20.5 * 3.6) < 0.2);
        QVERIFY(std::fabs(r.points[2].odometerM - 200.1) < 0.5);
        QCOMPARE(r.points[0].odometerM, 0.0);
    }

    void gpx10SpeedsInMetresPerSecond() {
        const ImportResult r = importTrackFile(write("b.GPX", corpusFile("track10.gpx")));
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.points.size(), 2);
        QCOMPARE(r.points[0].speedKmh, 18.0);
        QCOMPARE(r.points[1].speedKmh, 5.5 * 3.6);
        QVERIFY(r.points[1].odometerM > 100.0);
    }

    void gpxBadPointsAreSkippedAndCounted() {
        const QByteArray gpx = R"(<gpx version="1.1"><trk><trkseg>
            <trkpt lat="55.76" lon="37.62"><time>2025-06-01T08:00:20Z</time></trkpt>
            <trkpt lat="55.75" lon="37.62"><time>2025-06-01T08:00:00Z</time></trkpt>
            <trkpt lat="55.75" lon="37.62"><time>2025-06-01T08:00:00Z</time></trkpt>
            <trkpt lat="95" lon="37.62"><time>2025-06-01T08:00:30Z</time></trkpt>
            <trkpt lat="abc" lon="37.62"><time>2025-06-01T08:00:40Z</time></trkpt>
            <trkpt lat="55.77" lon="37.62"></trkpt>
            <trkpt lat="55.77" lon="37.62"><time>вчера</time></trkpt>
          </trkseg></trk></gpx>)";
        const ImportResult r = importGpx(gpx);
        QVERIFY(r.ok());
        QCOMPARE(r.points.size(), 2);
        QVERIFY(r.points[0].time < r.points[1].time);
        QCOMPARE(r.skipped, 5);
        QVERIFY(r.problems.contains(QStringLiteral("Пропущено точек (неверные координаты): 2")));
        QVERIFY(r.problems.contains(QStringLiteral("Пропущено точек (нет времени): 1")));
        QVERIFY(r.problems.contains(QStringLiteral("Пропущено точек (неверное время): 1")));
        QVERIFY(r.problems.contains(QStringLiteral("Пропущено точек (повторяющееся время): 1")));
    }

    void unreadableFilesSayWhyAndGiveNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error");
        QTest::newRow("truncated gpx") << "t.gpx" << QByteArray(R"(<gpx><trk><trkseg><trkpt lat="1" lon="2"><time>2025-06-01T08:00:00Z</time></trkpt><trkpt)")
                                       << "Файл GPX повреждён";
        QTest::newRow("not gpx") << "n.gpx" << QByteArray("<kml><Placemark/></kml>") << "Файл не является треком GPX";
        QTest::newRow("empty gpx") << "e.gpx" << QByteArray() << "Файл пуст";
        QTest::newRow("no points") << "p.gpx" << QByteArray("<gpx><trk/></gpx>") << "нет ни одной пригодной точки";
        QTest::newRow("only bad points") << "b.csv" << QByteArray("time,lat,lon\nx,1,2\n2025-06-01 08:00:00,100,2\n")
                                         << "нет ни одной пригодной точки трека: Пропущено точек";
        QTest::newRow("no columns") << "c.csv" << QByteArray("a,b,c\n1,2,3\n") << "нет столбцов времени и координат";
        QTest::newRow("empty csv") << "d.csv" << QByteArray("\n\n") << "Файл CSV пуст";
        QTest::newRow("other format") << "x.kml" << QByteArray("<kml/>") << "Неизвестный формат файла трека";
    }
    void unreadableFilesSayWhyAndGiveNothing() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        const ImportResult r = importTrackFile(write(name, content));
        QVERIFY(!r.ok());
        QVERIFY(r.points.isEmpty());
        QVERIFY2(r.error.contains(error), qPrintable(r.error));
    }

    void missingFile() {
        const ImportResult r = importTrackFile(dir_.filePath("none.csv"));
        QVERIFY(!r.ok());
        QVERIFY(r.error.startsWith(QStringLiteral("Не удалось открыть файл")));
    }

    void csvWithAllColumns() {
        const ImportResult r = importTrackFile(write("c.csv", corpusFile("track.csv")));
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.points.size(), 3);
        QCOMPARE(r.points[1].speedKmh, 32.4);  // given speeds are kept
        QCOMPARE(r.points[2].tank1, 80.3);
        QVERIFY(std::isnan(r.points[2].tank2));
        QCOMPARE(r.points[2].sensors, quint8(3));
        // Local time without a zone.
        QVERIFY(std::fabs(r.points[0].time - utcFromLocalOle(telvika::oleFromDateAndTime(QDate(2025, 6, 1), QTime(8, 0)))) *
                    86400.0 < 1e-3);
    }

    void csvSemicolonsDecimalCommaAndRussianHeader() {
        const ImportResult r = importTrackFile(write("s.csv", corpusFile("track_semicolon.csv")));
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.points.size(), 2);
        QCOMPARE(r.points[0].lat, 55.75);
        QCOMPARE(r.points[0].tank1, 40.5);
        QCOMPARE(r.points[1].sensors, quint8(2));
        // No speed column: 100 m in 10 s.
        QVERIFY(std::fabs(r.points[0].speedKmh - 36.0) < 0.1);
    }

    void csvUnixTimeAndTabs() {
        const ImportResult r = importTrackFile(write("u.csv", corpusFile("track_tab.csv")));
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.points[0].time, utc(8, 0, 0));
    }

    void csvBadRowsAreSkipped() {
        const QByteArray csv = "time,lat,lon,speed,fuel,sensor1\n"
                               "2025-06-01 08:00:00,55.75,37.62,10,50,0\n"
                               "2025-06-01 08:00:10,55.75\n"
                               "2025-06-01 08:00:20,55.75,37.62,-5,50,0\n"
                               "2025-06-01 08:00:30,55.75,37.62,10,-1,0\n"
                               "2025-06-01 08:00:40,55.75,37.62,10,50,2\n"
                               "2025-06-01 08:00:50,55.75,37.62,,,1\n";
        const ImportResult r = importCsv(csv);
        QVERIFY(r.ok());
        QCOMPARE(r.points.size(), 2);
        QCOMPARE(r.skipped, 4);
        QCOMPARE(r.problems.size(), 4);
        // An empty speed is derived, the others kept; an empty fuel stays unknown.
        QCOMPARE(r.points[0].speedKmh, 0.0);
        QCOMPARE(r.points[1].speedKmh, 0.0);
        QVERIFY(std::isnan(r.points[1].tank1));
        QCOMPARE(r.points[1].sensors, quint8(1));
    }

    // A file read in batches gives the points, left-out points and reasons of the whole reading, as
    // long as it keeps to time order and gives speeds for all points or none; else it says so.
    void batchesGiveWhatTheWholeFileGives() {
        auto gpx = [](const QList<int>& seconds, bool speeds) {
            QByteArray out = "<gpx version=\"1.0\"><trk><trkseg>\n";
            for (int i = 0; i < seconds.size(); ++i) {
                const QString lat = i == 7 ? QStringLiteral("95") : QString::number(55.75 + i * 1e-4, 'f', 5);
                out += QStringLiteral("<trkpt lat=\"%1\" lon=\"37.62\"><time>2025-06-01T08:%2:%3Z</time>%4</trkpt>\n")
                           .arg(lat)
                           .arg(seconds[i] / 60, 2, 10, QLatin1Char('0'))
                           .arg(seconds[i] % 60, 2, 10, QLatin1Char('0'))
                           .arg(speeds ? QStringLiteral("<speed>%1</speed>").arg(i % 5) : QString())
                           .toUtf8();
            }
            return out + "</trkseg></trk></gpx>";
        };
        QList<int> ordered;
        for (int i = 0; i < 300; ++i) ordered << (i == 40 ? i - 1 : i) * 2;  // one instant repeated
        for (bool speeds : {false, true}) {
            const QString path = write(QStringLiteral("batched.gpx"), gpx(ordered, speeds));
            const ImportResult whole = importTrackFile(path);
            QVector<TelemetryPoint> batched;
            const BatchedImport b = importTrackFileInBatches(
                path, TrackZone::utc(), [&](const QVector<TelemetryPoint>& some) { batched += some; }, {}, 64);
            QVERIFY(b.streamed);
            QCOMPARE(b.points, whole.points.size());
            QCOMPARE(b.outcome.problems, whole.problems);
            QCOMPARE(b.outcome.skipped, 2);
            QCOMPARE(batched.size(), whole.points.size());
            for (int i = 0; i < batched.size(); ++i) {
                QCOMPARE(batched[i].time, whole.points[i].time);
                QCOMPARE(batched[i].speedKmh, whole.points[i].speedKmh);
                QCOMPARE(batched[i].odometerM, whole.points[i].odometerM);
            }
        }
        QList<int> late = ordered;
        late.move(10, 200);
        auto streamed = [&](const QByteArray& content) {
            return importTrackFileInBatches(write(QStringLiteral("other.gpx"), content), TrackZone::utc(),
                                            [](const QVector<TelemetryPoint>&) {})
                .streamed;
        };
        QVERIFY(!streamed(gpx(late, false)));
        QByteArray someSpeeds = gpx(ordered, true);
        someSpeeds.replace("<speed>3</speed>", "");
        QVERIFY(!streamed(someSpeeds));
    }

    void importedTrackComputesIntoATrip() {
        QByteArray csv = "time,lat,lon\n";
        for (int i = 0; i <= 120; ++i) {
            const double lat = 55.75 + (i < 10 ? 0.0 : std::min(i - 10, 100) * 0.001);
            csv += QStringLiteral("2025-06-01 08:%1:%2,%3,37.62\n")
                       .arg(i * 10 / 60, 2, 10, QLatin1Char('0'))
                       .arg(i * 10 % 60, 2, 10, QLatin1Char('0'))
                       .arg(lat, 0, 'f', 4)
                       .toUtf8();
        }
        const ImportResult r = importTrackFile(write("trip.csv", csv));
        QVERIFY2(r.ok(), qPrintable(r.error));
        const ComputeResult c = computeTrips(r.points, r.points.first().time, r.points.last().time, {}, {});
        QCOMPARE(c.trips.size(), 1);
        const Trip& t = c.trips[0];
        QVERIFY(std::fabs(t.track[t.track.size() - 2] - 11120.0) < 50.0);  // 0.1 degree of latitude
    }
};

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
