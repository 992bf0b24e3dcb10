// Imported tracks across the clock changes of the user's zone and of the file's zone, the ranges
// every point must lie in, and CSV files with a line too long to hold.
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <sys/resource.h>

#include <cmath>

#include "../compute/ZoneScope.h"
#include "compute/Computation.h"
#include "compute/UtcTime.h"
#include "import/ImportTime.h"
#include "import/TrackImport.h"

using namespace telvika::server;
using namespace telvika::server::import;

namespace {

constexpr int Points = 481;            // two hours, one point every 15 s
constexpr double StepSec = 15.0;
constexpr double MetresPerStep = 50.0 / 3.6 * StepSec;  // 50 km/h due north
constexpr double LatPerStep = MetresPerStep / 111195.0;

QDateTime utcAt(int y, int mo, int d, int h, int mi) { return QDateTime(QDate(y, mo, d), QTime(h, mi), QTimeZone::utc()); }

// A drive due north at 50 km/h, two hours from `start`, with GPX's UTC times.
QByteArray gpxDrive(const QDateTime& start) {
    QByteArray gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\"><trk><trkseg>\n";
    for (int i = 0; i < Points; ++i) {
        const QString time = start.addSecs(static_cast<qint64>(i * StepSec)).toString(Qt::ISODate);
        gpx += QStringLiteral("<trkpt lat=\"%1\" lon=\"-9.14\"><time>%2</time></trkpt>\n")
                   .arg(38.70 + i * LatPerStep, 0, 'f', 7)
                   .arg(time)
                   .toUtf8();
    }
    return gpx + "</trkseg></trk></gpx>\n";
}

// The same drive as CSV with wall-clock times of `zone` and no zone in the text.
QByteArray csvDrive(const QDateTime& start, const QTimeZone& zone) {
    QByteArray csv = "time,lat,lon\n";
    for (int i = 0; i < Points; ++i) {
        const QDateTime at = start.addSecs(static_cast<qint64>(i * StepSec)).toTimeZone(zone);
        csv += QStringLiteral("%1,%2,-9.14\n")
                   .arg(at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                   .arg(38.70 + i * LatPerStep, 0, 'f', 7)
                   .toUtf8();
    }
    return csv;
}

// Every point kept, one trip of the true two hours and 100 km, no jump faster than the drive.
void checkWholeDrive(const ImportResult& r, const QDateTime& start) {
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(r.skipped, 0);
    QCOMPARE(r.points.size(), Points);
    QVERIFY(std::fabs(epochSecondsFromUtc(r.points.first().time) - start.toSecsSinceEpoch()) < 1e-3);
    const ComputeResult c = computeTrips(r.points, r.points.first().time, r.points.last().time, {}, {});
    QCOMPARE(c.duplicatePoints, 0);
    QCOMPARE(c.droppedPoints, 0);
    QCOMPARE(c.trips.size(), 1);
    const Trip& trip = c.trips[0];
    QCOMPARE(trip.pointCount(), Points);
    QCOMPARE(std::llround((trip.end - trip.begin) * 86400.0), 7200LL);
    QVERIFY(std::fabs(trip.track[trip.track.size() - 2] - (Points - 1) * MetresPerStep) < 200.0);
    for (qsizetype i = 4; i < trip.track.size(); i += 5) QVERIFY2(trip.track[i] < 52.0, qPrintable(QString::number(trip.track[i])));
}

qint64 peakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

class TestImportZones : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void gpxAcrossClockChangesUnderEveryZone_data() {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDateTime>("start");
        // The Lisbon changes of 2025 are at 01:00 UTC; each drive runs from an hour before to an hour after.
        for (const char* zone : {"Europe/Lisbon", "America/Sao_Paulo", "Australia/Sydney", "Asia/Kolkata", "UTC"}) {
            QTest::addRow("autumn, %s", zone) << QByteArray(zone) << utcAt(2025, 10, 26, 0, 0);
            QTest::addRow("spring, %s", zone) << QByteArray(zone) << utcAt(2025, 3, 30, 0, 0);
        }
        QTest::newRow("New York autumn") << QByteArray("America/New_York") << utcAt(2025, 11, 2, 5, 0);
    }
    void gpxAcrossClockChangesUnderEveryZone() {
        QFETCH(QByteArray, zone);
        QFETCH(QDateTime, start);
        ZoneScope scope(zone);
        checkWholeDrive(importGpx(gpxDrive(start)), start);
    }

    // CSV times without a zone are read in the zone the user names (default: the local one); in
    // the repeated autumn hour the reading that keeps the file in order is taken.
    void csvWallClockTimesInTheirZone() {
        const QDateTime start = utcAt(2025, 10, 26, 0, 0);
        const QTimeZone lisbon("Europe/Lisbon");
        TrackZone zone = TrackZone::local();
        QVERIFY(TrackZone::fromName(QStringLiteral("Europe/Lisbon"), &zone));
        {
            ZoneScope scope("Asia/Tokyo");  // the user's own zone does not matter with a named one
            checkWholeDrive(importCsv(csvDrive(start, lisbon), zone), start);
        }
        {
            ZoneScope scope("Europe/Lisbon");  // default: the local zone
            checkWholeDrive(importCsv(csvDrive(start, lisbon)), start);
        }
        {
            ZoneScope scope("Europe/Lisbon");
            QVERIFY(TrackZone::fromName(QStringLiteral("UTC"), &zone));
            checkWholeDrive(importCsv(csvDrive(start, QTimeZone::utc()), zone), start);
        }
        QVERIFY(!TrackZone::fromName(QStringLiteral("Europe/Nowhere"), &zone));
        // A time that names its offset is that instant whatever the zone option.
        const ImportResult r = importCsv("time,lat,lon\n2025-06-01T08:00:00+03:00,55,37\n", zone);
        QVERIFY(r.ok());
        QCOMPARE(std::llround(epochSecondsFromUtc(r.points[0].time)), utcAt(2025, 6, 1, 5, 0).toSecsSinceEpoch());
    }

    // GPX times ("...Z") are read by a quick path of their own: the same instants as Qt's ISO
    // reading, the same refusals.
    void utcTimesAreTheInstantsQtReads() {
        const char* texts[] = {"2024-02-29T23:59:59Z", "2024-02-29T23:59:59.5Z", "2024-02-29T23:59:59.05Z",
                               "2024-02-29T23:59:59.123Z", "1970-01-01T00:00:00Z", "1900-03-01T12:00:00Z",
                               "2000-12-31T00:00:01Z", "2023-02-29T00:00:00Z", "2024-13-01T00:00:00Z",
                               "2024-04-31T00:00:00Z", "2024-05-06T23:60:00Z", "2024-05-06T23:59:60Z",
                               "2024-05-06T24:00:00Z", "2024-05-06T12:00:00.1234Z", " 2024-05-06T12:00:00Z\n"};
        for (const char* text : texts) {
            const QDateTime qt = QDateTime::fromString(QString::fromLatin1(text).trimmed(), Qt::ISODateWithMs);
            const TrackTime t = parseTrackTime(QString::fromLatin1(text), TrackZone::utc());
            QVERIFY2(t.valid() == qt.isValid(), text);
            if (qt.isValid()) QCOMPARE(t.earlier, utcFromEpochSeconds(qt.toMSecsSinceEpoch() / 1000.0));
        }
    }

    void pointsOutsideTheStoresRangesAreSkipped() {
        const QString soon = QDateTime::currentDateTimeUtc().addSecs(3600).toString(Qt::ISODate);
        const QString later = QDateTime::currentDateTimeUtc().addDays(3).toString(Qt::ISODate);
        const QByteArray csv = "time,lat,lon,speed\n"
                               "1969-12-31T23:59:00Z,55,37,0\n"
                               "1702-05-01T12:00:00Z,55,37,0\n"
                               "9999-01-01T00:00:00Z,55,37,0\n" +
                               later.toUtf8() + ",55,37,0\n" + soon.toUtf8() + ",55,37,0\n";
        const ImportResult r = importCsv(csv);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.points.size(), 1);  // an hour ahead: a device clock running fast
        QCOMPARE(r.skipped, 4);
        QVERIFY(r.problems.contains(QStringLiteral("Пропущено точек (неверное время): 2")));
        QVERIFY(r.problems.contains(QStringLiteral("Пропущено точек (время в будущем): 2")));
    }

    // A line longer than the limit is passed over without being held: memory stays bounded.
    void csvLineTooLongIsPassedOverInBoundedMemory() {
        const QString path = dir_.filePath(QStringLiteral("long.csv"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("time,lat,lon\n2025-06-01T08:00:00Z,55,37\n");
            const QByteArray chunk(1 << 20, '7');
            for (int i = 0; i < 48; ++i) f.write(chunk);  // one line of 48 MB
            f.write(",1,2\n2025-06-01T08:00:10Z,55.001,37\n");
        }
        const qint64 before = peakResidentKb();
        const ImportResult r = importTrackFile(path);
        const qint64 grownKb = peakResidentKb() - before;
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.points.size(), 2);
        QCOMPARE(r.skipped, 1);
        QVERIFY2(r.problems.contains(QStringLiteral("Пропущено точек (строка длиннее 65536 байт): 1")),
                 qPrintable(r.problems.join('\n')));
#ifndef __SANITIZE_ADDRESS__
        // (AddressSanitizer keeps freed memory in quarantine, so there the peak says nothing.)
        QVERIFY2(grownKb < 16 * 1024, qPrintable(QString::number(grownKb)));
#else
        Q_UNUSED(grownKb);
#endif

        // A header that long is no track file at all.
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(MaxCsvLineBytes + 10, 'x') + "\n2025-06-01T08:00:00Z,55,37\n");
        f.close();
        const ImportResult h = importTrackFile(path);
        QVERIFY(!h.ok());
        QVERIFY2(h.error.contains(QStringLiteral("Строка заголовка CSV длиннее")), qPrintable(h.error));
    }
};

QTEST_GUILESS_MAIN(TestImportZones)
#include "tst_import_zones.moc"
