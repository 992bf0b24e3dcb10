// The information-point lists, the duration box, the kind menu, the list click and the control
// points of the real main window, against a real tracking server with an imported track.
#include <QtTest>

#include <algorithm>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QToolButton>
#include <QTreeWidget>

#include "../support/PlayerFixture.h"
#include "app/ui/TImageList.h"
#include "app/ui/TUpDown.h"
#include "automation/TTelvikaAutomation.h"
#include "common/DateText.h"
#include "common/LocaleSetup.h"
#include "common/NumberText.h"
#include "common/Rounding.h"
#include "infopoints/InfoPointList.h"
#include "InfoPointsWindowSupport.h"

using namespace infopoints::testing;
using telvika::Bool32;

namespace {

const QString Group = QStringLiteral("G1");
constexpr int Device = 101;      // drives 29 hours with sensors, speeding and a refuelling
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

bool within(const QVector<std::pair<int, int>>& periods, int t) {
    for (auto [from, length] : periods)
        if (t >= from && t < from + length) return true;
    return false;
}

// One drive east at 50 km/h from 04.03.2024 08:00, a row every 10 s plus a row at every switch.
QByteArray fixtureCsv() {
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
               (within(Sensor1, t) ? "1" : "0") + ',' + (within(Sensor2, t) ? "1" : "0") + ',' + (within(Sensor3, t) ? "1" : "0") + '\n';
    }
    return csv;
}

QImage imageOf(QAction* item) { return item->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32); }

}  // namespace

class TestInfoPointsWindow : public QObject {
    Q_OBJECT
private:
    TPlayerFixture fx{QStringLiteral("infopoints")};
    std::unique_ptr<TForm1> w;

    TTelvikaAutomation& server() { return *w->data.TrackingServer; }

    // Computes the fixture's period for a vehicle.
    bool compute(int device) { return computeAndWait(*w, Group, device, PeriodBegin, PeriodEnd); }

    // The first trip, its track in the model and the track bar's range, as loading a trip leaves them.
    void loadFirstTrip() {
        w->data.CurTrip = 1;
        server().SetTripIndex(1);
        w->data.TrackData = TTrackData(server().TrackCrdsArray());
        w->data.TrackPointCount = w->data.TrackData.pointCount();
        const int n = w->data.TrackPointCount;
        w->TrackBar->setRange(0, static_cast<int>(telvika::roundHalfEvenToInt(
                                     (w->data.TrackData.time(n - 1) - w->data.TrackData.time(0)) * 86400)));
    }

    void useKinds(const QVector<TInfoPoints>& kinds) {
        w->data.InfoPoints = kinds;
        w->data.InfoPointsCount = kinds.size();
        w->FillInfoPointKinds();
    }

    void showKind(const QString& name) {
        const int index = w->cmbInfoPoints->findText(name);
        QVERIFY2(index > 0, qPrintable(name));
        w->cmbInfoPoints->setCurrentIndex(index);
        w->cmbInfoPointsChange();
    }

    QStringList column(int c) {
        QStringList texts;
        for (const QStringList& row : rowsOf(w->ListView1)) texts << row[c];
        return texts;
    }

private slots:
    void initTestCase() {
        telvika::applyUserLocale();  // as the player does: Russian under the C locale
        QVERIFY(fx.adminOk({QStringLiteral("add-group"), Group, QStringLiteral("Первая")}));
        QVERIFY(fx.adminOk({QStringLiteral("add-vehicle"), Group, QString::number(Device), QStringLiteral("КамАЗ"),
                            QStringLiteral("А001АА77")}));
        QVERIFY(fx.adminOk({QStringLiteral("add-vehicle"), Group, QString::number(EmptyDevice),
                            QStringLiteral("ГАЗель"), QStringLiteral("В002ВВ77")}));
        QVERIFY(fx.adminOk({QStringLiteral("add-control-point"), QString::number(Device), QStringLiteral("Маршрут"),
                            QStringLiteral("Склад"), QStringLiteral("55.75"), QStringLiteral("37.6"),
                            QStringLiteral("250"), QStringLiteral("ворота 2")}));
        QVERIFY(fx.adminOk({QStringLiteral("add-control-point"), QString::number(Device), QStringLiteral("Маршрут"),
                            QStringLiteral("База"), QStringLiteral("60"), QStringLiteral("30"), QStringLiteral("0")}));
        QTemporaryFile csv(QDir::temp().filePath(QStringLiteral("drive-XXXXXX.csv")));
        QVERIFY(csv.open());
        csv.write(fixtureCsv());
        csv.flush();
        QVERIFY(fx.adminOk({QStringLiteral("import"), csv.fileName(), QStringLiteral("--device"),
                            QString::number(Device)}));

        w = fx.startedWindow();
        QVERIFY(w->data.TrackingServer);
        // Whatever the start-up asked the server for is over before the tests compute.
        QVERIFY(QTest::qWaitFor([&] { return server().ComputingState() == 0; }, 60000));
        QTest::qWait(200);
        QVERIFY(compute(Device));
        QCOMPARE(server().TripsCount(), 1);
    }

    void cleanupTestCase() {
        if (w) w->close();
        w.reset();
    }

    void init() {
        fx.dialogs.calls.clear();
        useKinds(defaultKinds());
        loadFirstTrip();
        w->txtCont->setText(QStringLiteral("6"));
    }

    void durationFilter() {
        showKind(QStringLiteral("Включения датчика №1"));
        QCOMPARE(w->ListView1->headerItem()->text(3), QStringLiteral("Прод-ть"));
        // Under the default 6 the 5-second switch-on is hidden; 6 seconds are enough.
        QCOMPARE(column(3), (QStringList{"00:00:20", "00:00:06", "00:00:07"}));
        QCOMPARE(column(0), (QStringList{"1", "2", "3"}));
        // The server's current list is the one shown.
        QCOMPARE(server().TripEntriesCount(), 4);

        // Changing the box relists: 0 lists every entry.
        w->txtCont->setText(QStringLiteral("0"));
        QCOMPARE(column(3), (QStringList{"00:00:05", "00:00:20", "00:00:06", "00:00:07"}));
        QCOMPARE(column(0), (QStringList{"1", "2", "3", "4"}));
        server().SetTripIndex(1);
        server().SetTripEntriesListTypeName(QStringLiteral("sensor_on"));
        server().SetTripEntriesListKindName(QStringLiteral("num1"));
        for (int e = 1; e <= 4; ++e) {
            server().SetTripEntryIndex(e);
            QCOMPARE(rowsOf(w->ListView1)[e - 1][1], server().TripEntryBegin());
            QCOMPARE(rowsOf(w->ListView1)[e - 1][2], server().TripEntryEnd());
        }

        // A day count counts: 1 day 2 hours passes 9999 s, 2 hours do not.
        showKind(QStringLiteral("Включения датчика №2"));
        QCOMPARE(column(3), (QStringList{"1 02:00:00", "02:00:00"}));
        w->txtCont->setText(QStringLiteral("9999"));
        QCOMPARE(column(3), QStringList{"1 02:00:00"});
    }

    void valueColumns() {
        showKind(QStringLiteral("Периоды превышения скорости"));
        QCOMPARE(w->ListView1->headerItem()->text(3), QStringLiteral("Скорость"));
        QCOMPARE(column(3), QStringList{"101,25"});  // unrounded, the locale's comma

        showKind(QStringLiteral("Заправки и сливы бака №1"));
        QCOMPARE(w->ListView1->headerItem()->text(3), QStringLiteral("Объем, л"));
        QCOMPARE(w->ListView1->topLevelItemCount(), 1);
        server().SetTripEntryIndex(1);  // the list shown is still the server's current one
        const double litres = server().TripEntryTank1End() - server().TripEntryTank1Begin();
        QVERIFY2(litres > 40 && litres < 60, qPrintable(QString::number(litres)));
        QCOMPARE(column(3), QStringList{telvika::generalText(litres)});

        showKind(QStringLiteral("Заправки и сливы бака №2"));
        QCOMPARE(w->ListView1->headerItem()->text(3), QStringLiteral("Объем, л"));
        showKind(QStringLiteral("Периоды отсутствия сигнала"));
        QCOMPARE(w->ListView1->headerItem()->text(3), QStringLiteral("Прод-ть"));
        QCOMPARE(w->ListView1->topLevelItemCount(), 0);
    }

    void durationBoxKeys() {
        showKind(QStringLiteral("Включения датчика №1"));
        w->txtCont->setFocus();
        w->txtCont->end(false);
        QTest::keyClick(w->txtCont, Qt::Key_A);
        QTest::keyClick(w->txtCont, Qt::Key_Minus);
        QCOMPARE(w->txtCont->text(), QStringLiteral("6"));
        QCOMPARE(w->ListView1->topLevelItemCount(), 3);
        // Clearing the box leaves "0" and lists everything.
        QTest::keyClick(w->txtCont, Qt::Key_Backspace);
        QCOMPARE(w->txtCont->text(), QStringLiteral("0"));
        QCOMPARE(w->ListView1->topLevelItemCount(), 4);
        QTest::keyClick(w->txtCont, Qt::Key_7);
        QCOMPARE(w->txtCont->text(), QStringLiteral("07"));
        QCOMPARE(column(3), (QStringList{"00:00:20", "00:00:07"}));
        w->txtCont->clear();
        QCOMPARE(w->txtCont->text(), QStringLiteral("0"));
        QCOMPARE(w->ListView1->topLevelItemCount(), 4);

        // The up-down steps the box within 0 .. 9999, and the list follows.
        w->UpDown2->click(TUpDown::updDown);
        QCOMPARE(w->txtCont->text(), QStringLiteral("0"));
        w->txtCont->setText(QStringLiteral("19"));
        QCOMPARE(column(3), QStringList{"00:00:20"});
        w->UpDown2->click(TUpDown::updUp);
        QCOMPARE(w->txtCont->text(), QStringLiteral("20"));
        QCOMPARE(column(3), QStringList{"00:00:20"});
        w->UpDown2->click(TUpDown::updUp);
        QCOMPARE(w->ListView1->topLevelItemCount(), 0);
        w->txtCont->setText(QStringLiteral("9999"));
        w->UpDown2->click(TUpDown::updUp);
        QCOMPARE(w->txtCont->text(), QStringLiteral("9999"));

        // Text pasted past the key filter is refused with a message; the list stays.
        w->txtCont->setText(QStringLiteral("0"));
        QCOMPARE(w->ListView1->topLevelItemCount(), 4);
        w->txtCont->setText(QStringLiteral("1a"));
        QCOMPARE(fx.dialogs.calls.size(), 1);
        QVERIFY(fx.dialogs.calls[0].text.contains(QStringLiteral("1a")));
        QCOMPARE(w->ListView1->topLevelItemCount(), 4);
        fx.dialogs.calls.clear();

        // A key into an empty box puts "0" first; other characters are dropped.
        {
            const QSignalBlocker quiet(w->txtCont);
            w->txtCont->clear();
        }
        QChar key(u'x');
        w->txtContKeyPress(key);
        QVERIFY(key.isNull());
        QCOMPARE(w->txtCont->text(), QStringLiteral("0"));
        key = QChar(u'5');
        w->txtContKeyPress(key);
        QCOMPARE(key, QChar(u'5'));
        QVERIFY(fx.dialogs.calls.isEmpty());
    }

    void clickSeeksToTheRowsEntry() {
        showKind(QStringLiteral("Включения датчика №1"));
        QCOMPARE(w->ListView1->topLevelItemCount(), 3);  // the 5-second entry is hidden
        const double t0 = w->data.TrackData.time(0);
        for (int row : {0, 2, 1}) {
            QTreeWidgetItem* item = w->ListView1->topLevelItem(row);
            // Another routine (the map's information points) points the server at another list.
            w->SelectEntryList(QStringLiteral("sensor_on-num3"));
            w->ListView1->setCurrentItem(item);
            w->ListView1Click();
            const double begin = telvika::parseRegionalDateTime(item->text(1));
            QCOMPARE(w->TrackBar->value(), infopoints::trackBarPosition(begin, t0));
        }
        QCOMPARE(w->TrackBar->value(), 1800);  // 20 s entry at 1200, 6 s at 1800, 7 s at 2400
        w->ListView1->setCurrentItem(w->ListView1->topLevelItem(0));
        w->ListView1Click();
        QCOMPARE(w->TrackBar->value(), 1200);
        QVERIFY(fx.dialogs.calls.isEmpty());
    }

    void clickWithoutTrackTriesAgain() {
        showKind(QStringLiteral("Включения датчика №1"));
        // No track and no trip chosen, as after a new computation: the click refreshes the control
        // points, tries to load the track and fails the second time with a message.
        w->data.TrackData = TTrackData();
        w->data.CurTrip = 0;
        w->data.ControlPointsOn = true;
        w->data.ControlPointCount = 0;
        w->ToolButton1->setChecked(true);
        w->ToolButton2->setChecked(false);
        w->TrackBar->setValue(5);
        w->ListView1->setCurrentItem(w->ListView1->topLevelItem(1));
        emit w->ListView1->itemClicked(w->ListView1->topLevelItem(1), 0);
        QCOMPARE(fx.dialogs.calls.size(), 1);
        QCOMPARE(fx.dialogs.calls[0].kind, QStringLiteral("exception"));
        QCOMPARE(w->data.ControlPointCount, 2);
        QCOMPARE(w->TrackBar->value(), 5);
        w->ToolButton2->setChecked(true);
    }

    void noTripsKeepsTheList() {
        QVERIFY(compute(EmptyDevice));
        QCOMPARE(server().TripsCount(), 0);
        w->ListView1->clear();
        w->ListView1->addTopLevelItem(new QTreeWidgetItem(QStringList{"1", "a", "b", "c"}));
        w->ListView1->headerItem()->setText(3, QStringLiteral("Скорость"));
        showKind(QStringLiteral("Включения датчика №1"));
        w->txtCont->setText(QStringLiteral("0"));
        QCOMPARE(rowsOf(w->ListView1), (QVector<QStringList>{{"1", "a", "b", "c"}}));
        QCOMPARE(w->ListView1->headerItem()->text(3), QStringLiteral("Скорость"));
        QVERIFY(fx.dialogs.calls.isEmpty());
        QVERIFY(compute(Device));
    }

    void kindMenu() {
        showKind(QStringLiteral("Заправки и сливы бака №1"));
        const QVector<QStringList> before = rowsOf(w->ListView1);
        QCOMPARE(before.size(), 1);
        QAction* tank1 = w->FindMenuItem(QStringLiteral("mnu6"));
        QCOMPARE(tank1->text(), QStringLiteral("Бак 1"));
        // Unticking "Бак 1" hides that kind's icons and keeps the list.
        tank1->trigger();
        QVERIFY(!tank1->isChecked());
        QVERIFY(!w->data.InfoPoints[5].VisibleIcon);
        QCOMPARE(imageOf(tank1), w->ImageList2->image(16).convertToFormat(QImage::Format_ARGB32));
        QCOMPARE(rowsOf(w->ListView1), before);
        QVERIFY(w->data.InfoPoints[6].VisibleIcon);  // the other tank keeps its icons
        tank1->trigger();
        QVERIFY(tank1->isChecked());
        QVERIFY(w->data.InfoPoints[5].VisibleIcon);
        QCOMPARE(imageOf(tank1), w->ImageList2->image(4).convertToFormat(QImage::Format_ARGB32));
        QVERIFY(w->data.InfoPoints[5].VisibleIcon.raw() == Bool32::True);

        // A kind left out of the kind list keeps its map switch.
        QVector<TInfoPoints> kinds = defaultKinds();
        kinds[7].VisibleList = false;
        useKinds(kinds);
        QCOMPARE(w->cmbInfoPoints->findText(QStringLiteral("Включения датчика №1")), -1);
        QCOMPARE(w->cmbInfoPoints->count(), 13);
        QVERIFY(w->data.InfoPoints[7].VisibleIcon);
        QAction* sensor1 = w->FindMenuItem(QStringLiteral("mnu8"));
        QCOMPARE(sensor1->text(), QStringLiteral("Датчик 1"));
        sensor1->trigger();
        QVERIFY(!w->data.InfoPoints[7].VisibleIcon);
        QCOMPARE(imageOf(sensor1), w->ImageList2->image(18).convertToFormat(QImage::Format_ARGB32));
        sensor1->trigger();
        QVERIFY(w->data.InfoPoints[7].VisibleIcon);
        QVERIFY(fx.dialogs.calls.isEmpty());
    }

    void fewAndManyKinds() {
        // One kind only (no stops kind): the menu and the list still work.
        useKinds({defaultKinds()[0]});
        QCOMPARE(w->cmbInfoPoints->count(), 2);
        showKind(QStringLiteral("Контрольные точки"));
        QCOMPARE(w->ListView1->topLevelItemCount(), 0);
        QAction* stops = w->FindMenuItem(QStringLiteral("mnu2"));
        stops->trigger();
        QVERIFY(!stops->isChecked());
        QCOMPARE(imageOf(stops), w->ImageList2->image(12).convertToFormat(QImage::Format_ARGB32));
        stops->trigger();
        useKinds({});
        QCOMPARE(w->cmbInfoPoints->count(), 1);

        // Fifteen kinds: the last two have no menu item and are listed all the same.
        QVector<TInfoPoints> kinds = defaultKinds();
        kinds << kind("Ещё датчик №1", "sensor_on-num1") << kind("Ещё остановки", "parks");
        useKinds(kinds);
        QCOMPARE(w->cmbInfoPoints->count(), 16);
        QVERIFY(!w->FindMenuItem(QStringLiteral("mnu14")));
        showKind(QStringLiteral("Ещё датчик №1"));
        QCOMPARE(w->ListView1->topLevelItemCount(), 3);
        QAction* last = w->FindMenuItem(QStringLiteral("mnu13"));
        last->trigger();
        QVERIFY(!w->data.InfoPoints[12].VisibleIcon);
        QVERIFY(w->data.InfoPoints[13].VisibleIcon && w->data.InfoPoints[14].VisibleIcon);
        last->trigger();
        QVERIFY(fx.dialogs.calls.isEmpty());
    }

    void controlPoints() {
        w->data.ControlPointsOn = true;
        w->data.ControlPointCount = 0;
        w->ShowControlPoints();
        QCOMPARE(w->data.ControlPointCount, 2);
        QCOMPARE(server().ControlPointsCount(), 2);  // the vehicle's set is the server's current one
        QCOMPARE(w->data.ControlPointLabels, (TArrayString{"Склад(ворота 2)", "База()"}));
        QCOMPARE(w->data.ControlCenterCoords, (TArrayString{"37.6", "55.75", "30", "60"}));
        // Radius 0: 31 times the centre, with points whatever the user's locale.
        QCOMPARE(w->data.ControlAreaCoords[1], QStringList(31, QStringLiteral("30 60")).join(QLatin1Char(',')));
        const QStringList pairs = w->data.ControlAreaCoords[0].split(QLatin1Char(','));
        QCOMPARE(pairs.size(), 31);
        QCOMPARE(pairs.first(), pairs.last());
        QVERIFY(pairs[15].startsWith(QStringLiteral("37.59")));  // 250 m west of the centre

        // Switched off, nothing is read: the arrays keep what they hold.
        w->data.ControlPointsOn = false;
        w->data.ControlPointCount = 1;
        w->data.ControlPointLabels[0] = QStringLiteral("прежняя");
        w->ShowControlPoints();
        QCOMPARE(w->data.ControlPointCount, 1);
        QCOMPARE(w->data.ControlPointLabels[0], QStringLiteral("прежняя"));
        QVERIFY(fx.dialogs.calls.isEmpty());
    }
};

QTEST_MAIN(TestInfoPointsWindow)
#include "tst_infopoints_window.moc"
