// telvika-admin as a real process against real store files and a real server.
#include "../automation/Fixture.h"
#include "../automation/ServerProcess.h"
#include "AdminCommand.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace telvika;
using namespace telvika::testing;
using telvika::admin::AdminCommand;

namespace {
struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run runAdmin(const QStringList& args) {
    QProcess p;
    p.start(adminProgram(), args);
    Run r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// A store whose pages in the middle are overwritten with garbage.
void writeDamagedStore(const QString& databasePath) {
    {
        server::Store store(databasePath);
        store.addGroup({QStringLiteral("g"), QStringLiteral("G")});
        store.addVehicle({1, QStringLiteral("g"), QStringLiteral("A"), QStringLiteral("N"), QString(), 0, 0, 0});
        QVector<server::TelemetryPoint> track;
        for (int i = 0; i < 30000; ++i) {
            server::TelemetryPoint p;
            p.time = 46000.0 + i / 86400.0;
            p.lat = 55.0 + i * 1e-6;
            p.lon = 37.0;
            track << p;
        }
        store.appendTelemetry(1, track);
    }
    QFile f(databasePath);
    if (!f.open(QIODevice::ReadWrite)) return;
    QByteArray garbage(8 * 4096, '\0');
    for (int i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 7919 + 13) % 251);
    f.seek((f.size() / 4096 / 2) * 4096);
    f.write(garbage);
}

QByteArray hashOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : QByteArray();
}
}  // namespace

class TestAdmin : public QObject {
    Q_OBJECT

private slots:
    void parsesCommandsAndRejectsBadOnes_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");  // empty: valid
        auto row = [](const char* name, QStringList args, QString error) {
            QTest::newRow(name) << (QStringList{QStringLiteral("telvika-admin")} + args) << error;
        };
        row("add-vehicle", {"add-vehicle", "g", "17", "Имя", "А1"}, {});
        row("device not a number", {"add-vehicle", "g", "x17", "Имя", "А1"}, "x17");
        row("device zero", {"add-vehicle", "g", "0", "Имя", "А1"}, "0");
        row("latitude out of range", {"add-control-point", "1", "S", "N", "91", "37", "10"}, "Широта");
        row("negative radius", {"add-control-point", "1", "S", "N", "55", "37", "-1"}, "Радиус");
        row("import without device", {"import", "track.gpx"}, "--device");
        row("online half a point", {"online", "--device", "5", "--lat", "55"}, "--lon");
        row("compute bad date", {"compute", "g", "1", "2026-03-01", "02.03.2026 00:00:00"}, "Начало");
        row("compute", {"compute", "g", "0", "01.03.2026 00:00:00", "02.03.2026 00:00:00"}, {});
        row("option of another command", {"groups", "--device", "3"}, "--device");
        row("unknown command", {"drop-everything"}, "drop-everything");
        row("missing command", {"--data", "/tmp/x"}, "команда");
        row("too many arguments", {"add-group", "a", "b", "c"}, "add-group");
        row("option without value", {"demo", "--chart"}, "--chart");
    }

    void parsesCommandsAndRejectsBadOnes() {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        AdminCommand c;
        QString message;
        const bool ok = AdminCommand::parse(args, &c, &message);
        QCOMPARE(ok, error.isEmpty());
        if (!ok) QVERIFY2(message.contains(error), qPrintable(message));
    }

    void badArgumentsNeverTouchTheStore() {
        QTemporaryDir dir;
        const QString db = fixtureDatabase(dir.path());
        // No store yet: a rejected command does not create one.
        Run r = runAdmin({QStringLiteral("--data"), dir.path(), QStringLiteral("add-vehicle"), QStringLiteral("g"),
                       QStringLiteral("abc"), QStringLiteral("n"), QStringLiteral("r")});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains(QStringLiteral("Использование")));
        QVERIFY(!QFile::exists(db));
        // An existing store stays byte for byte the same.
        writeFixture(db);
        const QByteArray before = hashOf(db);
        r = runAdmin({QStringLiteral("--data"), dir.path(), QStringLiteral("add-control-point"), QStringLiteral("101"),
                   QStringLiteral("S"), QStringLiteral("N"), QStringLiteral("55"), QStringLiteral("200"), QStringLiteral("5")});
        QCOMPARE(r.code, 2);
        QCOMPARE(hashOf(db), before);
    }

    void editsAndListsTheStore() {
        QTemporaryDir dir;
        const QStringList data{QStringLiteral("--data"), dir.path(), QStringLiteral("--socket"), uniqueSocketName()};
        QCOMPARE(runAdmin(data + QStringList{"add-group", "g1", "Первая группа"}).code, 0);
        QCOMPARE(runAdmin(data + QStringList{"add-vehicle", "g1", "42", "ГАЗель", "А042АА 77", "Водитель: Иванов"}).code, 0);
        QCOMPARE(runAdmin(data + QStringList{"add-control-point", "42", "Маршрут", "Склад", "55.5", "37.25", "120"}).code, 0);
        Run r = runAdmin(data + QStringList{"groups"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("g1\tПервая группа\n"));
        r = runAdmin(data + QStringList{"vehicles", "g1"});
        QCOMPARE(r.out, QStringLiteral("g1\t42\tГАЗель\tА042АА 77\tВодитель: Иванов\t0\t0\n"));
        r = runAdmin(data + QStringList{"control-points", "42"});
        QCOMPARE(r.out, QStringLiteral("Маршрут\tСклад\t55.5\t37.25\t120\t\n"));
        // Failures of the operation itself exit with 1 and say why.
        r = runAdmin(data + QStringList{"add-group", "g1", "Снова"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("уже есть")), qPrintable(r.err));
        r = runAdmin(data + QStringList{"vehicles", "nope"});
        QCOMPARE(r.code, 1);
    }

    // The same track imported twice is stored once; the second import says so.
    void reimportSkipsRowsAlreadyStored() {
        QTemporaryDir dir;
        writeFixture(fixtureDatabase(dir.path()));
        const QString gpx = dir.filePath(QStringLiteral("drive.gpx"));
        QFile f(gpx);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(R"(<gpx version="1.1"><trk><trkseg>
            <trkpt lat="55.75" lon="37.62"><time>2025-06-01T08:00:00Z</time></trkpt>
            <trkpt lat="55.751" lon="37.62"><time>2025-06-01T08:00:10Z</time></trkpt>
            <trkpt lat="55.752" lon="37.62"><time>2025-06-01T08:00:20Z</time></trkpt>
          </trkseg></trk></gpx>)");
        f.close();
        const QStringList import{QStringLiteral("--data"), dir.path(), QStringLiteral("--socket"), uniqueSocketName(),
                                 QStringLiteral("import"), gpx, QStringLiteral("--device"), QStringLiteral("102")};
        Run r = runAdmin(import);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("Загружено точек: 3, пропущено: 0, уже были в базе: 0\n")), qPrintable(r.out));
        r = runAdmin(import);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("Загружено точек: 0, пропущено: 0, уже были в базе: 3\n")), qPrintable(r.out));
        QCOMPARE(server::Store(fixtureDatabase(dir.path())).telemetryCount(102), 3);
        // An unknown zone for CSV times is an argument error.
        r = runAdmin(import + QStringList{QStringLiteral("--zone"), QStringLiteral("Mars/Olympus")});
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(QStringLiteral("Mars/Olympus")), qPrintable(r.err));
    }

    // A damaged store: the server the tool starts refuses it, and the tool exits 1 with its reason.
    void computeOnADamagedStoreGivesTheServersReason() {
        QTemporaryDir dir;
        const QString db = fixtureDatabase(dir.path());
        writeDamagedStore(db);
        const QByteArray before = hashOf(db);
        const Run r = runAdmin({QStringLiteral("--data"), dir.path(), QStringLiteral("--socket"), uniqueSocketName(),
                                QStringLiteral("compute"), QStringLiteral("g"), QStringLiteral("1"),
                                QStringLiteral("01.03.2026 00:00:00"), QStringLiteral("02.03.2026 00:00:00"),
                                QStringLiteral("--timeout"), QStringLiteral("20")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("повреждена")), qPrintable(r.err));
        QCOMPARE(hashOf(db), before);
    }

    void actsOnARunningServerAsAnotherUser() {
        QTemporaryDir dir;
        writeFixture(fixtureDatabase(dir.path()));
        const QString socket = uniqueSocketName();
        ServerProcess server(socket, dir.path());
        QVERIFY(server.start());
        const QStringList on{QStringLiteral("--socket"), socket, QStringLiteral("--data"), dir.path()};
        Run r = runAdmin(on + QStringList{"compute", "grp-north", "101", "01.03.2026 00:00:00", "06.03.2026 00:00:00"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("ComputedGroupID\tgrp-north\nComputedCarID\t101\nTripsCount\t2\n")),
                 qPrintable(r.out));
        r = runAdmin(on + QStringList{"online", "--device", "102", "--lat", "55.8", "--lon", "37.4", "--time",
                                   "04.03.2026 12:00:00"});
        QCOMPARE(r.code, 0);
        r = runAdmin(on + QStringList{"vehicles", "grp-north"});
        QVERIFY2(r.out.contains(QStringLiteral("\t102\tКамАЗ\tВ456ОР 50\t\t55.8\t37.4\n")), qPrintable(r.out));
        r = runAdmin(on + QStringList{"online", "--device", "999", "--lat", "55.8", "--lon", "37.4"});
        QCOMPARE(r.code, 1);
        QCOMPARE(runAdmin(on + QStringList{"close"}).code, 0);
        QVERIFY(server.process().waitForFinished(5000));
        QCOMPARE(server.process().exitCode(), 0);
        r = runAdmin(on + QStringList{"close"});  // nothing to close now
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(socket), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestAdmin)
#include "tst_admin.moc"
