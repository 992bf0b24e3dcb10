// The trips list and the loading of a trip's track and stops against a real server, and the
// period pickers. Run in more than one locale and time zone (see CMakeLists.txt).
#include <QtTest>

#include <QApplication>
#include <QCalendarWidget>
#include <QLabel>
#include <QSlider>
#include <QToolButton>

#include "common/DateText.h"
#include "mvx/IMVControl.h"
#include "tracking/TrackingFixture.h"

using namespace trackingfixture;

class TestTrips : public QObject {
    Q_OBJECT
private:
    TPlayerFixture f{QStringLiteral("trips")};
    std::unique_ptr<TTelvikaAutomation> probe;

    static void clickRow(TForm1& w, int row) {
        w.ListView1->setCurrentItem(w.ListView1->topLevelItem(row));
        emit w.ListView1->itemClicked(w.ListView1->topLevelItem(row), 0);
    }
    // The stops of a trip as the server words them, read through the probe.
    QVector<TStops> serverStops(int trip) {
        probe->SetTripIndex(trip);
        probe->SetTripEntriesListTypeName(QStringLiteral("parks"));
        QVector<TStops> stops;
        for (int i = 1; i <= probe->TripEntriesCount(); ++i) {
            probe->SetTripEntryIndex(i);
            stops.push_back({telvika::parseRegionalDateTime(probe->TripEntryBegin()),
                             telvika::parseRegionalDateTime(probe->TripEntryEnd()), probe->TripEntryDuration()});
        }
        return stops;
    }
    static void compareStops(const QVector<TStops>& a, const QVector<TStops>& b) {
        QCOMPARE(a.size(), b.size());
        for (int i = 0; i < a.size(); ++i) {
            QCOMPARE(a[i].Begin, b[i].Begin);
            QCOMPARE(a[i].End, b[i].End);
            QCOMPARE(a[i].Text, b[i].Text);
        }
    }

private slots:
    void initTestCase() {
        telvika::applyUserLocale();
        QVERIFY(addFleet(f));
        probe = std::make_unique<TTelvikaAutomation>(nullptr, f.socket, f.bin + QStringLiteral("/telvika-server"));
        probe->SetServerArguments({QStringLiteral("--data"), f.dataDir.path(), QStringLiteral("--no-demo")});
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

    void noTrips() {
        auto w = readyWindow(f);
        QVERIFY(chooseAndWait(*w, QStringLiteral("G1"), QStringLiteral("102")));
        QCOMPARE(w->ListView1->topLevelItemCount(), 0);
        QCOMPARE(w->lblTripNum->text(), QStringLiteral("N/A"));
        QCOMPARE(w->cmbInfoPoints->currentIndex(), 0);
        QCOMPARE(w->data.TrackPointCount, 0);
        // The toolbar switches change only their own state with an empty list.
        const QStringList before = w->MVCtrl->ObjectSetNames();
        for (QToolButton* b : {w->ToolButton4, w->ToolButton2}) {
            b->click();
            QVERIFY(!b->isChecked());
            b->click();
            QVERIFY(b->isChecked());
        }
        QCOMPARE(w->MVCtrl->ObjectSetNames(), before);
        QCOMPARE(w->MVCtrl->ObjectSet(QStringLiteral("nametab1")).records.size(), 0);
        QVERIFY(f.dialogs.calls.isEmpty());
    }

    void tripsTrackRangeAndStops() {
        auto w = readyWindow(f);
        QVERIFY(chooseAndWait(*w, QStringLiteral("G1"), QStringLiteral("101")));
        QCOMPARE(probe->TripsCount(), 2);
        QCOMPARE(w->ListView1->topLevelItemCount(), 2);
        for (int r = 0; r < 2; ++r) {
            probe->SetTripIndex(r + 1);
            const QTreeWidgetItem* row = w->ListView1->topLevelItem(r);
            QCOMPARE(row->text(0), QString::number(r + 1));
            QCOMPARE(row->text(1), probe->TripBegin());
            QCOMPARE(row->text(2), probe->TripEnd());
            QCOMPARE(row->text(3), probe->TripDuration());
        }
        QCOMPARE(w->ListView1->headerItem()->text(3), QStringLiteral("Прод-ть"));
        QCOMPARE(w->ListView1->topLevelItem(0)->text(3), QStringLiteral("01:30:00"));

        // The first trip is loaded by itself: 90 minutes give the range 0 to 5400.
        QCOMPARE(w->data.CurTrip, 1);
        QCOMPARE(w->lblTripNum->text(), QStringLiteral("1"));
        QCOMPARE(w->ListView1->currentItem(), w->ListView1->topLevelItem(0));
        probe->SetTripIndex(1);
        const QVector<double> track = probe->TrackCrdsArray();
        QCOMPARE(w->data.TrackPointCount, probe->TrackPointsCount());
        QCOMPARE(w->data.TrackData.values(), track);
        QCOMPARE(w->data.TrackPoints.size(), w->data.TrackPointCount);
        QCOMPARE(w->data.TrackPoints.last(), (TMapPoint{track[track.size() - 4], track[track.size() - 3]}));
        QCOMPARE(w->data.PlayRefTime, track[0]);
        QCOMPARE(w->TrackBar->minimum(), 0);
        QCOMPARE(w->TrackBar->maximum(), 5400);
        QCOMPARE(telvika::oleToDateTime(track[0]), QDateTime(Day, QTime(8, 10)));
        QVERIFY(w->ToolButton4->isChecked());

        // Drawn twice, scaled and centred on the first point.
        const mvx::ObjectSetInfo base = w->MVCtrl->ObjectSet(QStringLiteral("nametab1"));
        const mvx::ObjectSetInfo line = w->MVCtrl->ObjectSet(QStringLiteral("nametab2"));
        QCOMPARE(base.records.size(), 1);
        QCOMPARE(line.records.size(), 1);
        QCOMPARE(base.defaultStyle, QStringLiteral("l rgb(0,0,0) 4"));
        QCOMPARE(line.defaultStyle, QStringLiteral("l rgb(255,0,0) 2"));
        QCOMPARE(base.records[0].lonLat.size(), w->data.TrackPointCount);
        QCOMPARE(w->data.tblTrackBase->FieldValue(0, 0).toString(), QStringLiteral("L E ") + probe->TrackCrdsString());
        QCOMPARE(w->MVCtrl->CurScale(), 20000.0);
        double lat = 0, lon = 0;
        w->MVCtrl->GetCenter(lat, lon);
        QVERIFY(qAbs(lat - track[2]) < 1e-6 && qAbs(lon - track[1]) < 1e-6);

        // The first trip's stops came with its track, not only with a click.
        const QVector<TStops> stops1 = serverStops(1);
        QCOMPARE(stops1.size(), 1);
        QCOMPARE(telvika::oleToDateTime(stops1[0].Begin), QDateTime(Day, QTime(8, 50)));
        compareStops(w->data.TripStops, stops1);
        QCOMPARE(w->data.TripStopsCount, 1);

        // A seek on the first trip, then a click on the second: its track, its range, and no stops.
        // The shown moment is the second trip's first point, so a speed change (which re-bases the
        // clock on it) starts the second trip from its start.
        w->TrackBar->setValue(3000);
        clickRow(*w, 1);
        probe->SetTripIndex(2);
        QCOMPARE(w->data.PlayTime, probe->TrackCrdsArray().value(0));
        w->cmbSpeedChange();
        QCOMPARE(w->data.PlayRefTime, w->data.PlayTime);
        QCOMPARE(w->data.CurTrip, 2);
        QCOMPARE(w->lblTripNum->text(), QStringLiteral("2"));
        QCOMPARE(w->TrackBar->maximum(), 1200);
        QCOMPARE(w->data.TripStopsCount, 0);
        QVERIFY(w->data.TripStops.isEmpty());

        // The track switch clears and reloads the drawn track.
        w->ToolButton4->click();
        QCOMPARE(w->MVCtrl->ObjectSet(QStringLiteral("nametab1")).records.size(), 0);
        QCOMPARE(w->MVCtrl->ObjectSet(QStringLiteral("nametab2")).records.size(), 0);
        w->ToolButton4->click();
        QCOMPARE(w->MVCtrl->ObjectSet(QStringLiteral("nametab2")).records.size(), 1);
        QCOMPARE(w->TrackBar->maximum(), 1200);

        // A new computation loads its first trip by itself, with that trip's stops.
        w->DateTimeChange();
        QVERIFY(w->data.OwnComputing);
        QCOMPARE(w->ListView1->topLevelItemCount(), 0);
        QCOMPARE(w->cmbInfoPoints->currentIndex(), -1);
        emit w->ListView1->itemClicked(nullptr, 0);  // a click meanwhile does nothing
        QCOMPARE(w->data.CurTrip, 2);
        QCOMPARE(w->TrackBar->maximum(), 1200);
        QCOMPARE(w->MVCtrl->ObjectSet(QStringLiteral("nametab1")).records.size(), 1);  // the old track stays
        QVERIFY(settle(*w));
        QCOMPARE(w->data.CurTrip, 1);
        QCOMPARE(w->TrackBar->maximum(), 5400);
        compareStops(w->data.TripStops, stops1);

        // A group change takes the track off the map and shows the group's vehicles instead.
        chooseGroup(*w, groupIndex(*w, QStringLiteral("G1")));
        QCOMPARE(w->MVCtrl->ObjectSet(QStringLiteral("nametab1")).records.size(), 0);
        QCOMPARE(w->MVCtrl->ObjectSet(QStringLiteral("nametab2")).records.size(), 0);
        QCOMPARE(w->MVCtrl->ObjectSet(QStringLiteral("ТС:")).records.size(), 3);
        QCOMPARE(w->lblTripNum->text(), QStringLiteral("N/A"));
        QVERIFY(settle(*w));
        QVERIFY(f.dialogs.calls.isEmpty());
    }

    void periodPickersSendCommittedValues() {
        auto w = readyWindow(f);
        QVERIFY(chooseAndWait(*w, QStringLiteral("G1"), QStringLiteral("101")));
        QCOMPARE(w->ListView1->topLevelItemCount(), 2);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        auto requests = [&] { return w->data.TrackingServer->RequestCount(); };

        // Values set by the program send nothing, and neither does leaving a picker unchanged.
        qint64 sent = requests();
        w->TimeEnd->setTime(QTime(23, 58));
        w->DateBegin->setDate(Day);
        emit w->TimeEnd->editingFinished();
        QCOMPARE(requests(), sent);

        // A new end typed on the keyboard and confirmed: one request with the new value, whose
        // result holds only the first trip.
        w->TimeEnd->setFocus();
        QVERIFY(QTest::qWaitFor([&] { return w->TimeEnd->hasFocus(); }, 5000));
        w->TimeEnd->setSelectedSection(QDateTimeEdit::HourSection);
        QTest::keyClicks(w->TimeEnd, QStringLiteral("9"));
        QTest::keyClick(w->TimeEnd, Qt::Key_Enter);
        QCOMPARE(w->TimeEnd->time().hour(), 9);
        QCOMPARE(requests(), sent + 1);
        QVERIFY(settle(*w));
        QCOMPARE(w->ListView1->topLevelItemCount(), 1);
        sent = requests();
        emit w->TimeEnd->editingFinished();  // the same value again: nothing
        QCOMPARE(requests(), sent);

        // A later end picked in the calendar: the request names it, and both trips are back.
        w->DateEnd->setFocus();
        QCalendarWidget* calendar = w->DateEnd->calendarWidget();
        calendar->window()->show();  // the calendar pops up
        QVERIFY(QTest::qWaitFor([&] { return calendar->isVisible(); }, 5000));
        calendar->setSelectedDate(Day.addDays(1));
        emit calendar->clicked(Day.addDays(1));
        QVERIFY(QTest::qWaitFor([&] { return requests() > sent; }, 5000));
        QCOMPARE(requests(), sent + 1);
        QCOMPARE(w->DateEnd->date(), Day.addDays(1));
        QVERIFY(settle(*w));
        QTRY_COMPARE_WITH_TIMEOUT(w->ListView1->topLevelItemCount(), 2, 20000);
        QVERIFY(f.dialogs.calls.isEmpty());
    }

    // A server that words its dates for another locale: the stops cannot be read, the load stops
    // with a clear message and the previous trip stays whole.
    void unreadableStopDates() {
        TPlayerFixture other(QStringLiteral("trips-en"));
        QVERIFY(addFleet(other));
        const QByteArray saved = qgetenv("LC_ALL");
        qputenv("LC_ALL", "en_US.UTF-8");  // for the server the window starts
        auto w = readyWindow(other);
        qputenv("LC_ALL", saved);
        chooseGroup(*w, groupIndex(*w, QStringLiteral("G1")));
        QVERIFY(settle(*w));
        QCOMPARE(w->data.TrackPointCount, 0);
        chooseVehicle(w->cmbCarDevice, 0);
        QVERIFY(settle(*w));
        QCOMPARE(w->ListView1->topLevelItemCount(), 2);
        QCOMPARE(other.dialogs.calls.size(), 1);
        QCOMPARE(other.dialogs.calls[0].kind, QStringLiteral("exception"));
        QVERIFY2(other.dialogs.calls[0].text.startsWith(QStringLiteral("Не удалось прочитать остановки рейса 1:")),
                 qPrintable(other.dialogs.calls[0].text));
        // Nothing of the unreadable trip was taken.
        QCOMPARE(w->data.TrackPointCount, 0);
        QVERIFY(w->data.TrackData.isEmpty());
        QVERIFY(w->data.TripStops.isEmpty());
        w.reset();
        other.closeServer();
    }
};

QTEST_MAIN(TestTrips)
#include "tst_trips.moc"
