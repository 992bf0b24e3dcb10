// telvika-player-report against the real server: a GPX imported and exported again keeps its
// points and times; the PDF report carries the header, the summary and the entries with their
// places on a real chart (pdftotext), says when the map is missing, and a target that cannot be
// written leaves nothing behind.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include "chart/ChartFixture.h"
#include "tracking/TrackingFixture.h"

using namespace trackingfixture;

namespace {

struct Point {
    double lon, lat;
    QDateTime utc;
    bool operator==(const Point& o) const { return lon == o.lon && lat == o.lat && utc == o.utc; }
};

QVector<Point> trackPoints(const QString& gpx) {
    QVector<Point> points;
    GDALDataset* ds = GDALDataset::Open(gpx.toUtf8().constData(), GDAL_OF_VECTOR);
    if (ds == nullptr) return points;
    OGRLayer* layer = ds->GetLayerByName("track_points");
    for (auto& f : *layer) {
        const OGRPoint* p = f->GetGeometryRef()->toPoint();
        int y, mo, d, h, mi, tz;
        float s;
        f->GetFieldAsDateTime(f->GetFieldIndex("time"), &y, &mo, &d, &h, &mi, &s, &tz);
        points.push_back({p->getX(), p->getY(), QDateTime(QDate(y, mo, d), QTime(h, mi, int(s)), Qt::UTC)});
    }
    GDALClose(ds);
    return points;
}

}  // namespace

class TestTripReport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void gpxImportedAndExportedKeepsPointsAndTimes();
    void reportCarriesTheTripWithPlacesOnTheMap();
    void reportWithoutMapSaysSo();
    void unwritableTargetLeavesNothing();
    void fullDiskKeepsTheOldReport();
    void serverItStartsLeavesItsOutput();

private:
    // Runs the report command for trip 1 of a vehicle of G1 on the recorded day (or a period).
    // With fileLimit, the command can write files of that many bytes at most (a full disk).
    int report(const QStringList& args, QString* err = nullptr, qint64 fileLimit = 0) {
        QProcess p;
#ifdef Q_OS_UNIX
        if (fileLimit > 0)
            p.setChildProcessModifier([fileLimit] {
                std::signal(SIGXFSZ, SIG_IGN);
                rlimit limit{};
                ::getrlimit(RLIMIT_FSIZE, &limit);
                limit.rlim_cur = rlim_t(fileLimit);
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
#endif
        p.start(fx.bin + QStringLiteral("/telvika-player-report"),
                QStringList{QStringLiteral("--socket"), fx.socket, QStringLiteral("--data"), fx.dataDir.path(),
                            QStringLiteral("--settings"), dir.filePath(QStringLiteral("none.xml"))} +
                    args);
        if (!p.waitForFinished(120000)) return -1;
        if (err) *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    }
    QString pdfText(const QString& pdf) {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    const QStringList day{QStringLiteral("14.05.2024 00:00:00"), QStringLiteral("14.05.2024 23:59:59")};
    TPlayerFixture fx{QStringLiteral("tripreport")};
    QTemporaryDir dir;
};

void TestTripReport::initTestCase() {
    GDALAllRegister();
    QVERIFY(addFleet(fx));
    // A street along the whole drive, numbered every 0.001 degree.
    ChartFixture chart;
    chart.addLine({{37.55, 55.7502}, {38.30, 55.7502}}, {{"highway", "residential"}, {"name", "Тестовая улица"}});
    for (int n = 0; n <= 750; ++n)
        chart.addPoint({37.55 + 0.001 * n, 55.7504},
                       {{"addr:housenumber", QString::number(n + 1)}, {"addr:street", "Тестовая улица"}});
    QString error;
    QVERIFY2(chart.write(dir.filePath(QStringLiteral("street.chart")), &error), qPrintable(error));
    QFile list(dir.filePath(QStringLiteral("MapList.ini")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write(("[MapList]\nMapCount=1\nMap1=" + dir.filePath(QStringLiteral("street.chart")) + "\n").toUtf8());
}

void TestTripReport::gpxImportedAndExportedKeepsPointsAndTimes() {
    QByteArray gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"test\" "
                     "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>\n";
    const QDateTime start(QDate(2024, 5, 14), QTime(12, 0), Qt::UTC);
    for (int k = 0; k <= 40; ++k)
        gpx += QStringLiteral("<trkpt lat=\"55.8\" lon=\"%1\"><time>%2</time></trkpt>\n")
                   .arg(37.7 + 0.0015 * k, 0, 'f', 4)
                   .arg(start.addSecs(15 * k).toString(Qt::ISODate))
                   .toUtf8();
    gpx += "</trkseg></trk></gpx>\n";
    const QString source = dir.filePath(QStringLiteral("drive.gpx"));
    QFile f(source);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(gpx) == gpx.size());
    f.close();
    QVERIFY(fx.adminOk({QStringLiteral("import"), source, QStringLiteral("--device"), QStringLiteral("102")}));

    const QString exported = dir.filePath(QStringLiteral("again.gpx"));
    QString err;
    QCOMPARE(report({QStringLiteral("G1"), QStringLiteral("102"), QStringLiteral("13.05.2024 00:00:00"),
                     QStringLiteral("16.05.2024 00:00:00"), QStringLiteral("1"), exported},
                    &err),
             0);
    const QVector<Point> before = trackPoints(source), after = trackPoints(exported);
    QCOMPARE(before.size(), 41);
    QCOMPARE(after, before);
}

void TestTripReport::reportCarriesTheTripWithPlacesOnTheMap() {
    const QString pdf = dir.filePath(QStringLiteral("trip.pdf"));
    QString err;
    QCOMPARE(report(QStringList{QStringLiteral("--maps"), dir.filePath(QStringLiteral("MapList.ini")),
                                QStringLiteral("G1"), QStringLiteral("101")} +
                        day + QStringList{QStringLiteral("1"), pdf},
                    &err),
             0);
    const QString text = pdfText(pdf);
    for (const char* expected : {"Отчёт о рейсе", "Северная", "КамАЗ", "А001АА77", "14.05.2024", "Сводка",
                                 "Максимальная скорость", "График скорости", "Периоды превышения скорости",
                                 "Тестовая улица, "})
        QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
    QVERIFY(!text.contains(QStringLiteral("Карта не загружена")));
}

void TestTripReport::reportWithoutMapSaysSo() {
    const QString pdf = dir.filePath(QStringLiteral("nomap.pdf"));
    QCOMPARE(report(QStringList{QStringLiteral("--maps"), dir.filePath(QStringLiteral("none.ini")), QStringLiteral("G1"),
                                QStringLiteral("101")} +
                        day + QStringList{QStringLiteral("1"), pdf}),
             0);
    const QString text = pdfText(pdf);
    QVERIFY(text.contains(QStringLiteral("Карта не загружена")));
    QVERIFY(text.contains(QStringLiteral("Список остановок")));
}

void TestTripReport::unwritableTargetLeavesNothing() {
    const QString pdf = dir.filePath(QStringLiteral("missing/trip.pdf"));
    QString err;
    QCOMPARE(report(QStringList{QStringLiteral("G1"), QStringLiteral("101")} + day + QStringList{QStringLiteral("1"), pdf},
                    &err),
             1);
    QVERIFY2(err.contains(QStringLiteral("Не удалось сохранить файл")), qPrintable(err));
    QVERIFY(!QDir(dir.filePath(QStringLiteral("missing"))).exists());
}

void TestTripReport::fullDiskKeepsTheOldReport() {
#ifdef Q_OS_UNIX
    // The disk fills while the report's last bytes are written: the command fails, and the report
    // already there stays as it was.
    const QString pdf = dir.filePath(QStringLiteral("kept.pdf"));
    const QStringList args = QStringList{QStringLiteral("G1"), QStringLiteral("101")} + day +
                             QStringList{QStringLiteral("1"), pdf};
    QCOMPARE(report(args), 0);
    QFile kept(pdf);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    const QByteArray before = kept.readAll();
    kept.close();
    QString err;
    QCOMPARE(report(args, &err, before.size() - 64), 1);
    QVERIFY2(err.contains(QStringLiteral("Не удалось сохранить файл")), qPrintable(err));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), before);
#else
    QSKIP("file size limits are a POSIX facility");
#endif
}

void TestTripReport::serverItStartsLeavesItsOutput() {
    // In a pipeline the report ends when it does, not when the server it started on demand does.
    const QString socket = fx.socket + QStringLiteral("-own");
    const QString gpx = dir.filePath(QStringLiteral("piped.gpx"));
    auto quoted = [](const QString& s) { return QLatin1Char('\'') + s + QLatin1Char('\''); };
    const QString command = QStringLiteral("%1 --socket %2 --server %3 --data %4 --settings %5 G1 101 %6 %7 1 %8 | cat")
                                .arg(quoted(fx.bin + QStringLiteral("/telvika-player-report")), quoted(socket),
                                     quoted(fx.bin + QStringLiteral("/telvika-server")), quoted(fx.dataDir.path()),
                                     quoted(dir.filePath(QStringLiteral("none.xml"))), quoted(day[0]), quoted(day[1]),
                                     quoted(gpx));
    QProcess sh;
    sh.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    const bool ended = sh.waitForFinished(60000);
    QProcess::execute(fx.bin + QStringLiteral("/telvika-admin"), {QStringLiteral("--socket"), socket, QStringLiteral("close")});
    QVERIFY(ended || sh.waitForFinished(10000));
    QVERIFY(ended);
    QVERIFY(QFileInfo::exists(gpx));
}

QTEST_MAIN(TestTripReport)
#include "tst_trip_report.moc"
