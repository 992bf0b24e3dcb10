// Choice of group, vehicle and period against a real server: what is asked for, when nothing is,
// and how a computation asked for by another user is followed.
#include <QtTest>

#include <QLabel>
#include <QProcess>

#include "mvx/IMVControl.h"
#include "tracking/SelectionText.h"
#include "tracking/TrackingFixture.h"

using namespace trackingfixture;

class TestSelection : public QObject {
    Q_OBJECT
private:
    TPlayerFixture f{QStringLiteral("selection")};
    std::unique_ptr<TTelvikaAutomation> probe;  // another user of the same server
    int notices = 0;                            // end-of-computing notices the probe saw

    static QStringList items(const QComboBox* c) {
        QStringList list;
        for (int i = 0; i < c->count(); ++i) list << c->itemText(i);
        return list;
    }
    static qint64 requests(TForm1& w) { return w.data.TrackingServer->RequestCount(); }
    // Waits for the probe's notices to reach count and then for no further one for a moment.
    bool noticesSettleAt(int count) {
        if (!QTest::qWaitFor([&] { return notices >= count; }, 30000)) return false;
        QTest::qWait(800);
        return notices == count;
    }
    // The probe's count once no notice has come for a moment (those of earlier requests included).
    int quietNotices() {
        int seen = -1;
        while (seen != notices) {
            seen = notices;
            QTest::qWait(800);
        }
        return notices;
    }
    QString period() const { return Day.toString(QStringLiteral("dd.MM.yyyy")); }
    QStringList computeArgs(const QString& group, const QString& device) const {
        return {QStringLiteral("compute"), group, device, period() + QStringLiteral(" 00:00:00"),
                period() + QStringLiteral(" 23:59:00")};
    }

private slots:
    void initTestCase() {
        telvika::applyUserLocale();
        QVERIFY(addFleet(f));
        probe = std::make_unique<TTelvikaAutomation>(nullptr, f.socket, f.bin + QStringLiteral("/telvika-server"));
        probe->SetServerArguments({QStringLiteral("--data"), f.dataDir.path(), QStringLiteral("--no-demo")});
        connect(probe.get(), &TTelvikaAutomation::OnEndComputing, this, [this] { ++notices; });
        probe->Start();
    }
    void cleanupTestCase() {
        probe.reset();
        f.closeServer();
    }
    void init() { f.dialogs.calls.clear(); }
    void cleanup() {
        for (const auto& c : f.dialogs.calls) qWarning() << c.kind << c.text;
    }

    void groupWithoutVehicles() {
        auto w = readyWindow(f);

        chooseGroup(*w, groupIndex(*w, QStringLiteral("G1")));
        QVERIFY(settle(*w));
        QCOMPARE(items(w->cmbCarDevice), (QStringList{"101", "102", "103"}));
        QCOMPARE(w->MVCtrl->ObjectSet(QStringLiteral("ТС:")).records.size(), 3);

        chooseGroup(*w, groupIndex(*w, QStringLiteral("G2")));
        QVERIFY(w->data.OwnComputing);  // the group change asked at once
        for (QComboBox* c : {w->cmbCarName, w->cmbCarNum, w->cmbCarDevice}) {
            QCOMPARE(c->count(), 0);
            QCOMPARE(c->currentIndex(), -1);
        }
        QCOMPARE(w->MVCtrl->ObjectSet(QStringLiteral("ТС:")).records.size(), 0);
        QCOMPARE(w->lblTripNum->text(), QStringLiteral("N/A"));
        QVERIFY(settle(*w));
        QCOMPARE(probe->ComputedGroupID(), QStringLiteral("G2"));
        QCOMPARE(probe->ComputedCarID(), 0);  // no vehicle: device 0
        QCOMPARE(w->ListView1->topLevelItemCount(), 0);
        QCOMPARE(w->lblTripNum->text(), QStringLiteral("N/A"));
        QVERIFY(f.dialogs.calls.isEmpty());
    }

    void groupOverviewAndPickByNumber() {
        auto w = readyWindow(f);
        chooseGroup(*w, groupIndex(*w, QStringLiteral("G1")));
        QVERIFY(settle(*w));
        QCOMPARE(items(w->cmbCarName), (QStringList{"КамАЗ", "ГАЗель", "ЗИЛ 'Бычок'"}));
        QCOMPARE(items(w->cmbCarNum), (QStringList{"А001АА77", "В002ВВ77", "С003СС77"}));
        QCOMPARE(w->cmbCarDevice->currentIndex(), -1);

        // The group's vehicles on the map, labelled as tooltips, with the settings' icon.
        const mvx::ObjectSetInfo cars = w->MVCtrl->ObjectSet(QStringLiteral("ТС:"));
        QCOMPARE(cars.records.size(), 3);
        QCOMPARE(cars.skippedRecords, 0);
        QCOMPARE(cars.records[0].name, QStringLiteral("КамАЗ А001АА77(№ TV: 101, склад)"));
        QCOMPARE(cars.records[2].name, QStringLiteral("ЗИЛ 'Бычок' С003СС77(№ TV: 103, )"));
        QCOMPARE(cars.records[1].style, QStringLiteral("m 'TVAllTS.res' 1 rgb(0,0,0) 35"));
        QCOMPARE(w->data.CarLabels.size(), 3);
        // The last known position of 101 is the end of its recorded day.
        QVERIFY(w->data.CarPositions[0].X > 37.6);
        QCOMPARE(cars.records[0].lonLat.value(0).x(), w->data.CarPositions[0].X);

        // A pick by registration number: one request, the same row in all three lists.
        const int before = quietNotices();
        const qint64 sent = requests(*w);
        chooseVehicle(w->cmbCarNum, 1);
        QCOMPARE(requests(*w) - sent, 1);
        for (QComboBox* c : {w->cmbCarName, w->cmbCarNum, w->cmbCarDevice}) QCOMPARE(c->currentIndex(), 1);
        QCOMPARE(w->MVCtrl->ObjectSet(QStringLiteral("ТС:")).records.size(), 0);
        QCOMPARE(w->cmbInfoPoints->currentIndex(), -1);

        // While it is pending, another vehicle and a new period send nothing.
        chooseVehicle(w->cmbCarName, 2);
        for (QComboBox* c : {w->cmbCarName, w->cmbCarNum, w->cmbCarDevice}) QCOMPARE(c->currentIndex(), 2);
        w->DateTimeChange();
        QCOMPARE(requests(*w) - sent, 1);
        QVERIFY(settle(*w));
        QVERIFY(noticesSettleAt(before + 1));
        QCOMPARE(probe->ComputedCarID(), 102);  // the trips listed belong to the pending request

        // Idle again: a period change asks once more, for the vehicle now shown.
        w->DateTimeChange();
        QVERIFY(settle(*w));
        QVERIFY(noticesSettleAt(before + 2));
        QCOMPARE(probe->ComputedCarID(), 103);
        QVERIFY(f.dialogs.calls.isEmpty());
    }

    void followsAnotherUsersComputation() {
        auto w = readyWindow(f);
        chooseGroup(*w, groupIndex(*w, QStringLiteral("G2")));
        QVERIFY(settle(*w));
        const int before = quietNotices();
        QVERIFY(f.adminOk(computeArgs(QStringLiteral("G1"), QStringLiteral("101"))));
        QVERIFY(QTest::qWaitFor([&] { return w->ListView1->topLevelItemCount() > 0; }, 30000));
        QVERIFY(settle(*w));
        QCOMPARE(w->cmbGroupName->currentIndex(), groupIndex(*w, QStringLiteral("G1")));
        QCOMPARE(items(w->cmbCarDevice), (QStringList{"101", "102", "103"}));
        for (QComboBox* c : {w->cmbCarName, w->cmbCarNum, w->cmbCarDevice}) QCOMPARE(c->currentIndex(), 0);
        QCOMPARE(w->ListView1->topLevelItemCount(), 2);
        QCOMPARE(w->lblTripNum->text(), QStringLiteral("1"));
        QCOMPARE(w->data.CurTrip, 1);
        // Following sent no request of its own: the admin's computation was the only one.
        QVERIFY(noticesSettleAt(before + 1));
        QCOMPARE(probe->ComputedCarID(), 101);
        QVERIFY(f.dialogs.calls.isEmpty());

        // Now idle: the user's own change asks again.
        chooseVehicle(w->cmbCarDevice, 1);
        QVERIFY(w->data.OwnComputing);
        QVERIFY(settle(*w));
        QVERIFY(noticesSettleAt(before + 2));
    }

    void followsGroupsNotListedAndNamesTwice() {
        auto w = readyWindow(f);
        chooseGroup(*w, groupIndex(*w, QStringLiteral("G1")));
        QVERIFY(settle(*w));

        // Two groups named alike: both are matched in turn, the later one stays with its vehicles.
        QVERIFY(f.adminOk(computeArgs(QStringLiteral("G4"), QStringLiteral("401"))));
        QVERIFY(QTest::qWaitFor([&] { return w->cmbGroupName->currentIndex() == groupIndex(*w, "G4"); }, 30000));
        QVERIFY(settle(*w));
        QCOMPARE(items(w->cmbCarDevice), QStringList{"401"});
        QCOMPARE(w->cmbCarDevice->currentIndex(), 0);
        QCOMPARE(w->ListView1->topLevelItemCount(), 0);  // 401 has no data
        QCOMPARE(w->lblTripNum->text(), QStringLiteral("N/A"));

        // A group added after the start is not in the list: the lists stay, the trips are listed.
        chooseGroup(*w, groupIndex(*w, QStringLiteral("G1")));
        QVERIFY(settle(*w));
        chooseVehicle(w->cmbCarDevice, 1);
        QVERIFY(settle(*w));
        const QString csv = QDir(f.dataDir.path()).filePath(QStringLiteral("day.csv"));
        QVERIFY(f.adminOk({"add-group", "G5", "Новая"}));
        QVERIFY(f.adminOk({"add-vehicle", "G5", "501", "МАЗ", "К005КК77"}));
        QVERIFY(f.adminOk({"import", csv, "--device", "501"}));
        QVERIFY(w->ListView1->topLevelItemCount() == 0);
        QVERIFY(f.adminOk(computeArgs(QStringLiteral("G5"), QStringLiteral("501"))));
        QVERIFY(QTest::qWaitFor([&] { return w->ListView1->topLevelItemCount() > 0; }, 30000));
        QVERIFY(settle(*w));
        QCOMPARE(w->cmbGroupName->currentIndex(), groupIndex(*w, QStringLiteral("G1")));
        QCOMPARE(w->cmbGroupName->count(), 4);
        QCOMPARE(items(w->cmbCarDevice), (QStringList{"101", "102", "103"}));
        QCOMPARE(w->cmbCarDevice->currentIndex(), 1);
        QCOMPARE(w->ListView1->topLevelItemCount(), 2);
        probe->SetTripIndex(1);
        QCOMPARE(w->data.TrackPointCount, probe->TrackPointsCount());
        QVERIFY(f.dialogs.calls.isEmpty());
    }

    void computingStateNotZero() {
        auto w = readyWindow(f);
        QVERIFY(chooseAndWait(*w, QStringLiteral("G1"), QStringLiteral("101")));
        QCOMPARE(w->ListView1->topLevelItemCount(), 2);
        ListView1Row(*w, 1);
        QCOMPARE(w->lblTripNum->text(), QStringLiteral("2"));
        const int points = w->data.TrackPointCount;
        const int maximum = w->TrackBar->maximum();

        // Another user's computations are still running while the list is refreshed: still running
        // after it, as nothing new was asked for meanwhile. On a busy machine they may all end
        // before; the refresh then lists the same trips, and the next round asks again.
        TTelvikaAutomation other(nullptr, f.socket);
        bool runningMeanwhile = false;
        for (int round = 0; round < 10 && !runningMeanwhile; ++round) {
            for (int i = 0; i < 40; ++i)
                other.StartComputing(QStringLiteral("G1"), 101, period() + QStringLiteral(" 00:00:00"),
                                     period() + QStringLiteral(" 23:59:00"), QStringLiteral("GSM"), 1);
            w->LoadTrips();
            runningMeanwhile = other.ComputingState() != 0;
        }
        QVERIFY2(runningMeanwhile, "the computations always ended before the list was refreshed");
        QCOMPARE(w->ListView1->topLevelItemCount(), 0);
        QCOMPARE(w->lblTripNum->text(), QStringLiteral("2"));
        QCOMPARE(w->data.TrackPointCount, points);
        QCOMPARE(w->TrackBar->maximum(), maximum);
        w.reset();  // the notices of those computations find no window
        QVERIFY(QTest::qWaitFor([&] { return other.ComputingState() == 0; }, 60000));
    }

    void failedRequestIsNotPending() {
        auto w = readyWindow(f);
        chooseGroup(*w, groupIndex(*w, QStringLiteral("G1")));
        QVERIFY(settle(*w));
        // Vehicle 103 moves to another group behind the window's back: asking for it fails.
        QProcess sql;
        sql.start(QStringLiteral("sqlite3"), {QDir(f.dataDir.path()).filePath(QStringLiteral("telvika-server.db")),
                                               QStringLiteral("UPDATE vehicles SET group_id='G2' WHERE device=103")});
        QVERIFY(sql.waitForFinished(20000) && sql.exitCode() == 0);
        chooseVehicle(w->cmbCarDevice, 2);
        QCOMPARE(f.dialogs.calls.size(), 1);
        QCOMPARE(f.dialogs.calls[0].kind, QStringLiteral("exception"));
        QVERIFY(f.dialogs.calls[0].text.contains(QStringLiteral("103")));
        QVERIFY(!w->data.OwnComputing);
        f.dialogs.calls.clear();

        // So the next choice asks again.
        const qint64 sent = requests(*w);
        chooseVehicle(w->cmbCarDevice, 0);
        QCOMPARE(requests(*w) - sent, 1);
        QVERIFY(w->data.OwnComputing);
        QVERIFY(settle(*w));
        QCOMPARE(w->ListView1->topLevelItemCount(), 2);
        sql.start(QStringLiteral("sqlite3"), {QDir(f.dataDir.path()).filePath(QStringLiteral("telvika-server.db")),
                                               QStringLiteral("UPDATE vehicles SET group_id='G1' WHERE device=103")});
        QVERIFY(sql.waitForFinished(20000) && sql.exitCode() == 0);
        QVERIFY(f.dialogs.calls.isEmpty());
    }

    void onlineDataRefreshIsSkipped() {
        auto w = readyWindow(f);
        QVERIFY(chooseAndWait(*w, QStringLiteral("G1"), QStringLiteral("101")));
        ListView1Row(*w, 1);
        QCOMPARE(w->data.CurTrip, 2);
        const int before = quietNotices();

        // New data: the server recomputes the last request and the window ignores that notice.
        QVERIFY(f.adminOk({QStringLiteral("online")}));
        QVERIFY(noticesSettleAt(before + 1));
        QVERIFY(!w->data.SkipNextEndComputing);
        QCOMPARE(w->data.CurTrip, 2);
        QCOMPARE(w->ListView1->topLevelItemCount(), 2);
        QCOMPARE(w->MVCtrl->ObjectSet(QStringLiteral("ТС:")).records.size(), 0);  // a vehicle is chosen

        // Idle afterwards; and with no vehicle chosen new data shows the group's vehicles again.
        chooseGroup(*w, groupIndex(*w, QStringLiteral("G1")));
        QVERIFY(w->data.OwnComputing);
        QVERIFY(settle(*w));
        w->ClearLayer(5);
        QVERIFY(f.adminOk({QStringLiteral("online")}));
        QVERIFY(QTest::qWaitFor([&] { return w->MVCtrl->ObjectSet(QStringLiteral("ТС:")).records.size() == 3; }, 20000));
        QVERIFY(noticesSettleAt(before + 3));
        QVERIFY(!w->data.SkipNextEndComputing);
        QVERIFY(f.dialogs.calls.isEmpty());
    }

    // Last: the server goes away for good.
    void afterTheServerClosedNothingIsAsked() {
        auto w = readyWindow(f);
        QVERIFY(chooseAndWait(*w, QStringLiteral("G1"), QStringLiteral("101")));
        probe.reset();
        f.closeServer();
        QVERIFY(QTest::qWaitFor([&] { return w->data.TrackingServer == nullptr; }, 20000));
        chooseVehicle(w->cmbCarNum, 1);
        for (QComboBox* c : {w->cmbCarName, w->cmbCarNum, w->cmbCarDevice}) QCOMPARE(c->currentIndex(), 1);
        w->DateTimeChange();
        QVERIFY(!w->data.OwnComputing);
        chooseGroup(*w, groupIndex(*w, QStringLiteral("G2")));
        QCOMPARE(w->cmbCarDevice->count(), 0);
        w->ShowGroupCars();
        w->LoadTrips();
        w->LoadTrack(1);
        w->ShowInfoPoints();
        QCOMPARE(w->data.TrackPointCount, w->data.TrackData.pointCount());
        QVERIFY2(f.dialogs.calls.isEmpty(), f.dialogs.calls.isEmpty() ? "" : qPrintable(f.dialogs.calls[0].text));
    }

private:
    static void ListView1Row(TForm1& w, int row) {
        w.ListView1->setCurrentItem(w.ListView1->topLevelItem(row));
        emit w.ListView1->itemClicked(w.ListView1->topLevelItem(row), 0);
    }
};

QTEST_MAIN(TestSelection)
#include "tst_selection.moc"
