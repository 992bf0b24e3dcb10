#pragma once

// A player world with one long trip: a real tracking server whose store holds a 12-day drive at
// 1 Hz (1,000,000 points, imported from GPX by telvika-admin), the Liechtenstein map in the map
// list, and settings that restore that vehicle over that period, so that a started window computes
// it and loads its one trip. Made once per process.

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTreeWidget>

#include "LongDrive.h"
#include "tests/support/PlayerFixture.h"

class TLongTripWorld {
public:
    static constexpr int Points = 1000000;

    TPlayerFixture fixture{QStringLiteral("bench-long-trip")};
    QString error;          // why the world could not be made
    double importSeconds = 0;  // telvika-admin import of the GPX file, wall clock

    TLongTripWorld() {
        const QString gpx = longdrive::gpxFile(Points);
        const QString chart = longdrive::chartFile();
        if (gpx.isEmpty() || chart.isEmpty()) {
            error = QStringLiteral("the drive or the map could not be made from the extract");
            return;
        }
        if (!fixture.adminOk({QStringLiteral("add-group"), QStringLiteral("g1"), QStringLiteral("Дальние рейсы")}) ||
            !fixture.adminOk({QStringLiteral("add-vehicle"), QStringLiteral("g1"), QStringLiteral("7"),
                              QStringLiteral("Тягач"), QStringLiteral("А007АА")})) {
            error = QStringLiteral("the fleet could not be written");
            return;
        }
        QElapsedTimer clock;
        clock.start();
        if (fixture.admin({QStringLiteral("import"), gpx, QStringLiteral("--device"), QStringLiteral("7")}, 600000)
                .isNull()) {
            error = QStringLiteral("the drive could not be imported");
            return;
        }
        importSeconds = clock.nsecsElapsed() / 1e9;
        fixture.writeAppFile(QStringLiteral("MapList.ini"),
                             QStringLiteral("[MapList]\r\nMapCount=1\r\nMap1=%1\r\n").arg(chart).toUtf8());
        // The first start writes the default settings and starts the server; the drive's vehicle and
        // days are then put into them (the drive starts on 2024-05-06 and lasts 12 days).
        fixture.startedWindow(fixture.environment(), 120000)->close();
        QString settings = QString::fromUtf8(fixture.readAppFile(QStringLiteral("TVSettings.xml")));
        auto set = [&](const QString& tag, const QString& value) {
            settings.replace(QRegularExpression(QStringLiteral("<%1>[^<]*</%1>").arg(tag)),
                             QStringLiteral("<%1>%2</%1>").arg(tag, value));
        };
        set(QStringLiteral("GroupID"), QStringLiteral("0"));
        set(QStringLiteral("CarID"), QStringLiteral("0"));
        set(QStringLiteral("DateTimeBegin"), QStringLiteral("05.05.2024 00:00:00"));
        set(QStringLiteral("DateTimeEnd"), QStringLiteral("20.05.2024 00:00:00"));
        set(QStringLiteral("Speed"), QStringLiteral("600x"));
        if (!fixture.writeAppFile(QStringLiteral("TVSettings.xml"), settings.toUtf8()))
            error = QStringLiteral("the settings could not be written");
    }

    bool ok() const { return error.isEmpty(); }

    // A started window whose restored computation has ended and whose trip is loaded; says how long
    // the window took to be usable and to show that trip, from its creation.
    std::unique_ptr<TForm1> window(double* usableSeconds = nullptr, double* tripShownSeconds = nullptr) {
        QElapsedTimer clock;
        clock.start();
        auto w = fixture.startedWindow(fixture.environment(), 120000);
        if (usableSeconds) *usableSeconds = clock.nsecsElapsed() / 1e9;
        // The trips list is emptied when the restored choice asks for its computation and filled
        // again when that has ended.
        if (!QTest::qWaitFor([&] { return w->ListView1->topLevelItemCount() > 0 && w->data.TrackPointCount == Points; },
                             120000))
            qWarning("the long trip was not loaded");
        if (tripShownSeconds) *tripShownSeconds = clock.nsecsElapsed() / 1e9;
        return w;
    }
};
