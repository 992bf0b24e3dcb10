#pragma once

// Fixture data and steps shared by the selection, trips and map-layer tests: a small fleet in a
// real server's store, a recorded day of one vehicle, and the user's steps on the main window.

#include <QtTest>

#include <QComboBox>
#include <QDateEdit>
#include <QTimeEdit>
#include <QToolButton>

#include <functional>
#include <QTreeWidget>

#include "automation/TTelvikaAutomation.h"
#include "common/LocaleSetup.h"
#include "support/PlayerFixture.h"

namespace trackingfixture {

// The recorded day: 2024-05-14, local time. Trip 1 runs 08:10 to 09:40 (90 minutes) with a stop
// of 10 minutes from 08:50, a refuelling during that stop and a minute above the speed limit from
// 09:10; trip 2 runs 10:30 to 10:50 without a stop.
inline const QDate Day(2024, 5, 14);

inline QByteArray dayTrackCsv() {
    QByteArray csv = "time,lat,lon,speed,fuel\n";
    double lon = 37.60;
    double fuel = 60.0;
    auto at = [&](int second, double speed) {
        const QTime t = QTime(0, 0).addSecs(second);
        csv += (Day.toString(QStringLiteral("yyyy-MM-dd ")) + t.toString(QStringLiteral("HH:mm:ss"))).toLatin1() +
               ",55.750000," + QByteArray::number(lon, 'f', 6) + ',' + QByteArray::number(speed, 'f', 3) + ',' +
               QByteArray::number(fuel, 'f', 1) + '\n';
    };
    auto hm = [](int h, int m) { return h * 3600 + m * 60; };
    auto stand = [&](int from, int to) {  // both ends included, rows every 30 s
        for (int s = from; s <= to; s += 30) at(s, 0.0);
    };
    auto drive = [&](int from, int to, const std::function<double(int)>& speed) {  // to excluded
        for (int s = from; s < to; s += 30) {
            lon += 0.005 * speed(s) / 40.0;
            at(s, speed(s));
        }
    };
    auto steady = [](int) { return 40.0; };
    stand(hm(7, 0), hm(8, 10));
    drive(hm(8, 10) + 30, hm(8, 50), steady);
    for (int s = hm(8, 50); s <= hm(9, 0); s += 30) {  // the stop, refuelled half way
        if (s >= hm(8, 55)) fuel = 100.0;
        at(s, 0.0);
    }
    drive(hm(9, 0) + 30, hm(9, 40), [&](int s) { return s >= hm(9, 10) && s <= hm(9, 11) ? 95.125 : 40.0; });
    stand(hm(9, 40), hm(10, 30));
    drive(hm(10, 30) + 30, hm(10, 50), steady);
    stand(hm(10, 50), hm(11, 30));
    return csv;
}

// Groups in this order: G1 "Северная" (101 with the recorded day, 102 without data, 103 named
// with an apostrophe), G2 "Пустая" without vehicles, G3 and G4 both "Дубль" (401 in G4).
inline bool addFleet(TPlayerFixture& f) {
    auto ok = [&](const QStringList& a) { return f.adminOk(a); };
    const QString csvPath = QDir(f.dataDir.path()).filePath(QStringLiteral("day.csv"));
    QFile csv(csvPath);
    if (!csv.open(QIODevice::WriteOnly) || csv.write(dayTrackCsv()) < 0) return false;
    csv.close();
    return ok({"add-group", "G1", "Северная"}) && ok({"add-group", "G2", "Пустая"}) &&
           ok({"add-group", "G3", "Дубль"}) && ok({"add-group", "G4", "Дубль"}) &&
           ok({"add-vehicle", "G1", "101", "КамАЗ", "А001АА77", "склад"}) &&
           ok({"add-vehicle", "G1", "102", "ГАЗель", "В002ВВ77"}) &&
           ok({"add-vehicle", "G1", "103", "ЗИЛ 'Бычок'", "С003СС77"}) &&
           ok({"add-vehicle", "G4", "401", "Volvo", "Е004ЕЕ77"}) && ok({"import", csvPath, "--device", "101"});
}

// The information-point kinds of the default settings.
inline QVector<TInfoPoints> defaultKinds() {
    const char* kinds[][2] = {{"Контрольные точки", "checkpoints-stages"}, {"Список остановок", "parks"},
                              {"Периоды отсутствия сигнала", "blinds"}, {"Периоды пропадания питания", "power_off"},
                              {"Периоды превышения скорости", "over_speed"}, {"Заправки и сливы бака №1", "tank-num1"},
                              {"Заправки и сливы бака №2", "tank-num2"}, {"Включения датчика №1", "sensor_on-num1"},
                              {"Включения датчика №2", "sensor_on-num2"}, {"Включения датчика №3", "sensor_on-num3"},
                              {"Включения датчика №4", "sensor_on-num4"}, {"Включения датчика №5", "sensor_on-num5"},
                              {"Включения датчика №6", "sensor_on-num6"}};
    QVector<TInfoPoints> list;
    for (const auto& k : kinds)
        list.push_back(TInfoPoints{QString::fromUtf8(k[0]), QString::fromUtf8(k[1]), true, true, QStringLiteral("Ic")});
    return list;
}

// Waits until no request of the window is pending, the server computes nothing more, and every
// end-of-computing notice is handled. The window's flag clears at the first notice after its
// request, which may be the notice of an earlier request (a start-up sends two); the notices of
// the later ones would otherwise arrive after the wait and change what the test reads.
inline bool settle(TForm1& w, int timeoutMs = 30000) {
    auto idle = [&] { return !w.data.OwnComputing && !w.data.FollowingServer; };
    return QTest::qWaitFor(
        [&] {
            if (!idle()) return false;
            if (!w.data.TrackingServer) return true;
            if (w.data.TrackingServer->ComputingState() != 0) return false;
            // Notices sent before that answer were read with it and wait to be delivered.
            QCoreApplication::sendPostedEvents();
            return idle();
        },
        timeoutMs);
}

// A started window with the default kinds, the recorded day as its period and nothing pending.
inline std::unique_ptr<TForm1> readyWindow(TPlayerFixture& f) {
    auto w = f.startedWindow();
    settle(*w);
    w->data.InfoPoints = defaultKinds();
    w->data.InfoPointsCount = static_cast<qint32>(w->data.InfoPoints.size());
    // The three map switches down, as the form has them, whatever the first start's settings say.
    w->ToolButton1->setChecked(true);
    w->ToolButton2->setChecked(true);
    w->ToolButton4->setChecked(true);
    w->data.ControlPointsOn = true;
    w->DateBegin->setDate(Day);
    w->TimeBegin->setTime(QTime(0, 0));
    w->DateEnd->setDate(Day);
    w->TimeEnd->setTime(QTime(23, 59));
    return w;
}

// The user's choices: a group, and a vehicle in one of the three lists.
inline void chooseGroup(TForm1& w, int index) {
    w.cmbGroupName->setCurrentIndex(index);
    emit w.cmbGroupName->activated(index);
}
inline void chooseVehicle(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
}
inline int groupIndex(const TForm1& w, const QString& id) { return static_cast<int>(w.data.GroupIDs.indexOf(id)); }

// A group, then a vehicle by its device number, each request computed and its trips listed.
inline bool chooseAndWait(TForm1& w, const QString& groupId, const QString& device) {
    chooseGroup(w, groupIndex(w, groupId));
    if (!settle(w)) return false;
    const int row = w.cmbCarDevice->findText(device);
    if (row < 0) return false;
    chooseVehicle(w.cmbCarDevice, row);
    return settle(w);
}

}  // namespace trackingfixture
