#pragma once

// The fixture of the window tests of the information points: one vehicle with a 29-hour drive
// imported from CSV (sensor switch-ons of known lengths, speeding, a refuelling), one vehicle
// without telemetry, two control points, and a started main window against the real server.

#include <QtTest>

#include <algorithm>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QTreeWidget>

#include "../support/PlayerFixture.h"
#include "InfoPointsWindowSupport.h"
#include "automation/TTelvikaAutomation.h"
#include "common/LocaleSetup.h"
#include "common/Rounding.h"

namespace infopoints::testing {

const QString Group = QStringLiteral("G1");
constexpr int Device = 101;       // drives 29 hours with sensors, speeding and a refuelling
constexpr int EmptyDevice = 102;  // has no telemetry at all
const QString PeriodBegin = QStringLiteral("04.03.2024 07:00:00");
const QString PeriodEnd = QStringLiteral("06.03.2024 00:00:00");

// Sensor 1 switch-ons (start, seconds on): a 5-second one first, then ones of 20, 6 and 7 seconds.
const QVector<std::pair<int, int>> Sensor1 = {{600, 5}, {1200, 20}, {1800, 6}, {2400, 7}};
// Sensor 2: on for 1 day 2 hours, then for exactly 2 hours.
const QVector<std::pair<int, int>> Sensor2 = {{1000, 26 * 3600}, {96000, 2 * 3600}};
// Sensor 3: five short switch-ons, a list long enough to be mistaken for sensor 1's.
const QVector<std::pair<int, int>> Sensor3 = {{4000, 2}, {4100, 2}, {4200, 2}, {4300, 2}, {4400, 2}};
constexpr int DriveEnd = 105000;

inline bool within(const QVector<std::pair<int, int>>& periods, int t) {
    for (auto [from, length] : periods)
        if (t >= from && t < from + length) return true;
    return false;
}

// One drive east at 50 km/h from 04.03.2024 08:00, a row every 10 s plus a row at every switch.
inline QByteArray fixtureCsv() {
    QSet<int> times;
    for (int t = 0; t <= DriveEnd; t += 10) times.insert(t);
    for (const auto& periods : {Sensor1, Sensor2, Sensor3})
        for (auto [from, length] : periods) {
            times.insert(from);
            times.insert(from + length);
        }
    QList<int> sorted = times.values();
    std::sort(sorted.begin(), sorted.end());

    const QDateTime start(QDate(2024, 3, 4), QTime(8, 0));
    QByteArray csv = "time,lat,lon,speed,fuel,sensor1,sensor2,sensor3\n";
    for (int t : sorted) {
        const double lon = 37.6 + t * 2.2195e-4;
        double speed = 50.0;
        if (t >= 3000 && t < 3030) speed = t == 3010 ? 101.25 : 97.5;  // 30 s of speeding
        // A refuelling from 100 to 150 litres within a minute.
        const double fuel = t < 5000 ? 100.0 : (t >= 5060 ? 150.0 : 100.0 + (t - 5000) * 50.0 / 60.0);
        csv += start.addSecs(t).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1() + ',' +
               QByteArray::number(55.75, 'f', 6) + ',' + QByteArray::number(lon, 'f', 7) + ',' +
               QByteArray::number(speed) + ',' + QByteArray::number(fuel, 'f', 3) + ',' +
               (within(Sensor1, t) ? "1" : "0") + ',' + (within(Sensor2, t) ? "1" : "0") + ',' +
               (within(Sensor3, t) ? "1" : "0") + '\n';
    }
    return csv;
}

// A menu item's image, comparable with the images of ImageList2.
inline QImage imageOf(QAction* item) {
    return item->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

class TDriveWindowTest : public QObject {
protected:
    explicit TDriveWindowTest(const QString& tag) : fx(tag) {}

    TPlayerFixture fx;
    std::unique_ptr<TForm1> w;

    TTelvikaAutomation& server() { return *w->data.TrackingServer; }

    // Computes the fixture's period for a vehicle.
    bool compute(int device) { return computeAndWait(*w, Group, device, PeriodBegin, PeriodEnd); }

    // The first trip and its track in the model, with the track bar's range, as loading a trip
    // leaves them.
    void loadFirstTrip() {
        w->data.CurTrip = 1;
        server().SetTripIndex(1);
        TSharedData& d = w->data;
        d.TrackData = TTrackData(server().TrackCrdsArray());
        d.TrackPointCount = d.TrackData.pointCount();
        d.TrackPoints.clear();
        for (int k = 0; k < d.TrackPointCount; ++k)
            d.TrackPoints.push_back({d.TrackData.longitude(k), d.TrackData.latitude(k)});
        d.PlayRefTime = d.TrackData.time(0);
        const qint64 seconds = telvika::roundHalfEvenToInt(
            (d.TrackData.time(d.TrackPointCount - 1) - d.TrackData.time(0)) * 86400);
        setTrackBar(0, static_cast<int>(seconds), 0);
    }

    // Moves the track bar as the player itself does, without taking it for the user's seek.
    void setTrackBar(int minimum, int maximum, int value) {
        w->data.TrackBarSeekEnabled = false;
        w->TrackBar->setRange(minimum, maximum);
        w->TrackBar->setValue(value);
        w->data.TrackBarSeekEnabled = true;
    }

    void useKinds(const QVector<TInfoPoints>& kinds) {
        w->data.InfoPoints = kinds;
        w->data.InfoPointsCount = kinds.size();
        w->FillInfoPointKinds();
    }

    // Shows a kind of the kind list as the user's choice does; false when it is not listed.
    bool showKind(const QString& name) {
        const int index = w->cmbInfoPoints->findText(name);
        if (index < 1) return false;
        w->cmbInfoPoints->setCurrentIndex(index);
        w->cmbInfoPointsChange();
        return true;
    }

    QStringList column(int c) {
        QStringList texts;
        for (const QStringList& row : rowsOf(w->ListView1)) texts << row[c];
        return texts;
    }

    // Fixture data, the window, and the drive computed; call from initTestCase (fails the test
    // through QVERIFY on any step).
    void setUpDrive() {
        telvika::applyUserLocale();  // as the player does: Russian under the C locale
        QVERIFY(fx.adminOk({QStringLiteral("add-group"), Group, QStringLiteral("Первая")}));
        QVERIFY(fx.adminOk({QStringLiteral("add-vehicle"), Group, QString::number(Device),
                            QStringLiteral("КамАЗ"), QStringLiteral("А001АА77")}));
        QVERIFY(fx.adminOk({QStringLiteral("add-vehicle"), Group, QString::number(EmptyDevice),
                            QStringLiteral("ГАЗель"), QStringLiteral("В002ВВ77")}));
        QVERIFY(fx.adminOk({QStringLiteral("add-control-point"), QString::number(Device),
                            QStringLiteral("Маршрут"), QStringLiteral("Склад"), QStringLiteral("55.75"),
                            QStringLiteral("37.6"), QStringLiteral("250"), QStringLiteral("ворота 2")}));
        QVERIFY(fx.adminOk({QStringLiteral("add-control-point"), QString::number(Device),
                            QStringLiteral("Маршрут"), QStringLiteral("База"), QStringLiteral("60"),
                            QStringLiteral("30"), QStringLiteral("0")}));
        QTemporaryFile csv(QDir::temp().filePath(QStringLiteral("drive-XXXXXX.csv")));
        QVERIFY(csv.open());
        csv.write(fixtureCsv());
        csv.flush();
        QVERIFY(fx.adminOk(
            {QStringLiteral("import"), csv.fileName(), QStringLiteral("--device"), QString::number(Device)}));

        w = fx.startedWindow();
        QVERIFY(w->data.TrackingServer);
        // Whatever the start-up asked the server for is over before the tests compute.
        QVERIFY(QTest::qWaitFor([&] { return server().ComputingState() == 0; }, 60000));
        QTest::qWait(200);
        QVERIFY(compute(Device));
        QCOMPARE(server().TripsCount(), 1);
    }

    void tearDownDrive() {
        if (w) w->close();
        w.reset();
    }

    // Before each test: the default kinds, the first trip loaded, the window's default minimum.
    void prepare() {
        fx.dialogs.calls.clear();
        useKinds(defaultKinds());
        loadFirstTrip();
        w->txtCont->setText(QStringLiteral("6"));
    }
};

}  // namespace infopoints::testing
