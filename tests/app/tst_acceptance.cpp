// The whole road of a request, walked as a dispatcher walks it, against the real tracking server
// (temporary socket and store holding the demo fleet), the real map control with the demo town's
// .chart, and the player with temporary settings: pick a vehicle in each of the three lists, the
// request, the end of computing, the trips list, the first trip's track on the map, Play, ticks
// with the panel and the marker moving and the map following, a stop skipped, the end of the
// track, a trip click, an information-point click, a map click seek, the toolbar switches, the
// kind menu, shutdown and a restart that restores the selection. A second walk follows a
// computation that another user starts. Screenshots are saved in the build's test-artifacts.
#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QSlider>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "../support/PlayerFixture.h"
#include "app/ui/TSymbolButton.h"
#include "automation/TTelvikaAutomation.h"
#include "common/DateText.h"
#include "common/OleDate.h"
#include "mvx/IMVControl.h"
#include "settings/SettingsFile.h"

using telvika::TDateTime;

namespace {

const QString ArtifactDir = QStringLiteral(TELVIKA_BIN_DIR "/../test-artifacts");

// A wall clock the test moves by hand, so that every tick shows a known moment.
struct ManualClock {
    TDateTime now = 0.0;
    ManualClock() {
        now = telvika::oleNow();
        telvika::setNowSource([this] { return now; });
    }
    ~ManualClock() { telvika::setNowSource({}); }
    void advanceSeconds(double s) { now += s / 86400.0; }
};

void activate(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    emit box->activated(index);
}

void clickRow(QTreeWidget* list, int row) {
    QTreeWidgetItem* item = list->topLevelItem(row);
    QVERIFY(item);
    list->setCurrentItem(item);
    emit list->itemClicked(item, 0);
}

void shoot(QWidget* w, const QString& name) {
    QDir().mkpath(ArtifactDir);
    w->grab().save(QDir(ArtifactDir).filePath(QStringLiteral("acceptance-%1.png").arg(name)));
}

int recordsOf(TForm1& w, const QString& set) { return w.MVCtrl->ObjectSet(set).records.size(); }

// The first track point from `from` on (then from the start) whose screen pixel lies farther than
// `margin` pixels from every segment of the track more than `window` seconds away from it; -1 when
// there is none.
int unambiguousPoint(TForm1& w, int from, double margin, double window) {
    const TMapPointArray& track = w.data.TrackPoints;
    QVector<QPointF> px(track.size());
    for (int i = 0; i < track.size(); ++i) {
        int x = 0, y = 0;
        w.MVCtrl->GeoToScreen(track[i].Y, track[i].X, x, y);
        px[i] = QPointF(x, y);
    }
    auto distance = [](QPointF p, QPointF a, QPointF b) {
        const QPointF ab = b - a;
        const double len2 = QPointF::dotProduct(ab, ab);
        const double f = len2 > 0 ? qBound(0.0, QPointF::dotProduct(p - a, ab) / len2, 1.0) : 0.0;
        const QPointF d = p - (a + f * ab);
        return std::hypot(d.x(), d.y());
    };
    const int inner = int(px.size()) - 2;  // points with a segment on either side: 1 .. size - 2
    for (int step = 0; step < inner; ++step) {
        const int k = 1 + (qMax(0, from - 1) + step) % qMax(1, inner);
        bool alone = true;
        const TDateTime tk = w.data.TrackData.time(k);
        for (int s = 0; s + 1 < px.size() && alone; ++s) {
            const bool near = qAbs(w.data.TrackData.time(s) - tk) * 86400.0 <= window ||
                              qAbs(w.data.TrackData.time(s + 1) - tk) * 86400.0 <= window;
            if (!near) alone = distance(px[k], px[s], px[s + 1]) > margin;
        }
        if (alone) return k;
    }
    return -1;
}

}  // namespace

class TestAcceptance : public QObject {
    Q_OBJECT
private:
    TPlayerFixture fx{QStringLiteral("accept")};
    QString chart;
    QString begin, end;  // the period that the settings restore, as the server reads it
    QVector<int> holds;

    // Settings that select group 0, the given vehicle and the demo period, with the map
    // switches on, 600x and no minimum duration; everything else as in the default document.
    void writeSettings(int car) const {
        telvika::TSettingsValues v = telvika::defaultSettingsValues();
        v.LoadKT = v.LoadIT = true;
        v.GroupID = 0;
        v.CarID = car;
        v.DateTimeBegin = DemoPeriodBegin;
        v.DateTimeEnd = DemoPeriodEnd;
        v.Speed = QStringLiteral("600x");
        v.Cont = QStringLiteral("0");
        QString error;
        QVERIFY2(telvika::writeSettingsFile(QDir(fx.appDir.path()).filePath(QStringLiteral("TVSettings.xml")), v,
                                            &error),
                 qPrintable(error));
    }

    TPlayerEnvironment environment() {
        TPlayerEnvironment env = fx.environment();
        env.hold = [this](int ms) { holds.push_back(ms); };
        return env;
    }

    // The probe: a second client of the same server, to read what the player should show.
    std::unique_ptr<TTelvikaAutomation> probe() {
        auto p = std::make_unique<TTelvikaAutomation>(nullptr, fx.socket);
        p->SetAutoStart(false);
        return p;
    }

private slots:
    void initTestCase() {
        chart = QDir(fx.dataDir.path()).filePath(QStringLiteral("demo-town.chart"));
        QVERIFY(fx.seedDemo({QStringLiteral("--chart"), chart}));
        QVERIFY(QFile::exists(chart));
        begin = DemoPeriodBegin.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
        end = DemoPeriodEnd.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
        QVERIFY(fx.writeAppFile(QStringLiteral("MapList.ini"),
                                QStringLiteral("[MapList]\r\nMapCount=1\r\nMap1=%1\r\n").arg(chart).toUtf8()));
        writeSettings(0);
    }

    void theRoadOfOneRequest();
    void followingAComputationOfAnotherUser();

    void cleanupTestCase() { fx.closeServer(); }
};

void TestAcceptance::theRoadOfOneRequest() {
    ManualClock clock;
    auto w = fx.startedWindow(environment(), 120000);
    QVERIFY(w->StartupDone);
    QVERIFY2(fx.dialogs.calls.isEmpty(), fx.dialogs.calls.isEmpty() ? "" : qPrintable(fx.dialogs.calls[0].text));
    shoot(w.get(), QStringLiteral("01-started"));

    // Start-up: groups listed, the demo town loaded, the selection restored.
    auto server = probe();
    QCOMPARE(w->cmbGroupName->count(), server->GroupsCount());
    QCOMPARE(w->MapLoadResults, QVector<int>{0});
    QCOMPARE(w->cmbGroupName->currentIndex(), 0);
    QVERIFY(windowSettled(*w));
    QCOMPARE(w->cmbCarDevice->currentIndex(), 0);

    // 1. A vehicle picked in each of the three lists: the lists agree, a request goes out, the list
    // empties, and the trips of the new result arrive.
    const int cars = w->cmbCarName->count();
    QVERIFY(cars >= 3);
    QComboBox* lists[3] = {w->cmbCarName, w->cmbCarNum, w->cmbCarDevice};
    for (int k = 0; k < 3; ++k) {
        const int row = 1 + k % (cars - 1);
        activate(lists[k], row);
        for (QComboBox* other : lists) QCOMPARE(other->currentIndex(), row);
        QCOMPARE(w->ListView1->topLevelItemCount(), 0);
        QCOMPARE(w->cmbInfoPoints->currentIndex(), -1);
        QVERIFY(w->data.OwnComputing);
        // 2. The end of computing lists the trips and loads the first one.
        QTRY_VERIFY_WITH_TIMEOUT(!w->data.OwnComputing && w->ListView1->topLevelItemCount() > 0, 60000);
    }
    QCOMPARE(server->ComputedCarID(), w->cmbCarDevice->currentText().toInt());
    const int trips = server->TripsCount();
    QCOMPARE(w->ListView1->topLevelItemCount(), trips);
    server->SetTripIndex(1);
    QCOMPARE(w->ListView1->topLevelItem(0)->text(1), server->TripBegin());
    QCOMPARE(w->ListView1->topLevelItem(0)->text(2), server->TripEnd());
    QCOMPARE(w->ListView1->topLevelItem(0)->text(3), server->TripDuration());
    QCOMPARE(w->lblTripNum->text(), QStringLiteral("1"));
    QCOMPARE(w->cmbInfoPoints->currentIndex(), 0);

    // 3. The first trip's track in the model and on the map, the track bar over its duration, the
    // view at the first point.
    QCOMPARE(w->data.TrackPointCount, server->TrackPointsCount());
    const int n = w->data.TrackPointCount;
    QVERIFY(n > 10);
    const TDateTime t0 = w->data.TrackData.time(0), tEnd = w->data.TrackData.time(n - 1);
    QCOMPARE(w->TrackBar->maximum(), qRound((tEnd - t0) * 86400.0));
    QCOMPARE(recordsOf(*w, QStringLiteral("nametab1")), 1);
    QCOMPARE(recordsOf(*w, QStringLiteral("nametab2")), 1);
    QVERIFY(qAbs(w->MVCtrl->CurScale() - 20000.0) < 1.0);
    double lat = 0, lon = 0;
    w->MVCtrl->GetCenter(lat, lon);
    QVERIFY(qAbs(lat - w->data.TrackPoints[0].Y) < 1e-6 && qAbs(lon - w->data.TrackPoints[0].X) < 1e-6);
    QCOMPARE(recordsOf(*w, QStringLiteral("ТС:")), 0);  // a chosen vehicle hides the group
    shoot(w.get(), QStringLiteral("02-trip-loaded"));

    // 4. Play: the timer runs at 1000 / 600 ms, the button shows pause.
    w->btnPlay->click();
    QVERIFY(w->Timer1->isActive());
    QCOMPARE(w->Timer1->interval(), 1);
    QCOMPARE(w->btnPlay->caption(), QStringLiteral(";"));

    // 5. Ticks: the moment follows the wall clock, the panel and the marker move.
    w->Timer1->stop();  // the test ticks by hand
    clock.advanceSeconds(1.0);  // 600 s of track time
    w->Timer1Timer();
    const TDateTime shown = w->data.PlayTime;
    QVERIFY(shown > t0);
    QCOMPARE(w->lblDate->text(), telvika::dateLabelText(shown));
    QVERIFY(w->TrackBar->value() > 1);
    QVERIFY(w->lblSpeed->text().endsWith(QStringLiteral(" км/ч")));
    QVERIFY(w->lblDistance->text().endsWith(QStringLiteral(" м")));
    const QVector<mvx::OverlayPolygon> marker = w->MVCtrl->Overlay();
    QCOMPARE(marker.size(), 2);
    QCOMPARE(marker[0].points.size(), 4);
    // The map follows: the marker's rear notch stays inside the view, 25 pixels from its edges.
    for (int i = 0; i < 20 && w->data.PlayTime < tEnd; ++i) {
        clock.advanceSeconds(0.5);
        w->Timer1Timer();
        const QVector<mvx::OverlayPolygon> m = w->MVCtrl->Overlay();
        if (m.isEmpty()) continue;  // the view moved: the marker is rebuilt at the next moment
        const QPointF v = m[0].points[0];
        QVERIFY(v.x() >= 0 && v.y() >= 0 && v.x() <= w->MVCtrl->widget()->width() &&
                v.y() <= w->MVCtrl->widget()->height());
    }
    shoot(w.get(), QStringLiteral("03-playing"));

    // A stop skipped: a moment inside a stop jumps to its end, after one hold of 1000 ms.
    if (w->data.TripStopsCount > 0 && w->ToolButton3->isChecked()) {
        const TStops stop = w->data.TripStops[0];
        w->data.PlayRefClock = clock.now;
        w->data.PlayRefTime = stop.Begin;
        holds.clear();
        clock.advanceSeconds(0.0);
        w->Timer1Timer();
        QCOMPARE(w->data.PlayTime, stop.End);
        QCOMPARE(holds, QVector<int>{1000});
        QCOMPARE(recordsOf(*w, QStringLiteral("Остановка")), 0);  // the caption is gone after the hold
    }

    // 6. The end of the track: playback stops and rewinds.
    w->data.PlayRefClock = clock.now;
    w->data.PlayRefTime = tEnd;
    clock.advanceSeconds(0.1);
    w->Timer1Timer();
    QVERIFY(!w->Timer1->isActive());
    QCOMPARE(w->TrackBar->value(), 1);
    QCOMPARE(w->btnPlay->caption(), QStringLiteral("4"));
    QCOMPARE(w->lblSpeed->text(), QStringLiteral("0 км/ч"));
    shoot(w.get(), QStringLiteral("04-end-of-track"));

    // A trip click loads that trip.
    if (trips >= 2) {
        clickRow(w->ListView1, 1);
        QCOMPARE(w->lblTripNum->text(), QStringLiteral("2"));
        QCOMPARE(w->data.CurTrip, 2);
        server->SetTripIndex(2);
        QCOMPARE(w->data.TrackPointCount, server->TrackPointsCount());
    }

    // An information-point click: the stops of this trip, a row seeks to its begin.
    const int stopsItem = w->cmbInfoPoints->findText(QStringLiteral("Список остановок"));
    QVERIFY(stopsItem > 0);
    activate(w->cmbInfoPoints, stopsItem);
    if (w->ListView1->topLevelItemCount() > 0) {
        clickRow(w->ListView1, 0);
        const TDateTime b = telvika::parseRegionalDateTime(w->ListView1->topLevelItem(0)->text(1));
        QCOMPARE(w->TrackBar->value(), qRound((b - w->data.TrackData.time(0)) * 86400.0));
    }
    activate(w->cmbInfoPoints, 0);  // back to the trips
    QVERIFY(w->ListView1->topLevelItemCount() == trips);

    // A map click seeks to the nearest point of the track: a click on a point that the track passes
    // only once (nothing more than two minutes away from it comes within 8 pixels) goes to within
    // two minutes of that point. On a street driven twice the nearer pass wins, by a pixel's rounding.
    const int k = unambiguousPoint(*w, w->data.TrackPointCount / 2, 8.0, 120.0);
    QVERIFY(k > 0);
    int x = 0, y = 0;
    w->MVCtrl->GeoToScreen(w->data.TrackPoints[k].Y, w->data.TrackPoints[k].X, x, y);
    bool handled = false;
    w->MVCtrlMouseAction(32, 0, x, y, handled);
    QVERIFY(qAbs(w->data.PlayTime - w->data.TrackData.time(k)) * 86400.0 <= 120.0);
    shoot(w.get(), QStringLiteral("05-map-click"));

    // The toolbar switches: the track off and on, the information points off.
    w->ToolButton4->click();
    QCOMPARE(recordsOf(*w, QStringLiteral("nametab1")), 0);
    w->ToolButton4->click();
    QCOMPARE(recordsOf(*w, QStringLiteral("nametab1")), 1);
    w->ToolButton2->click();
    for (int i = 1; i < w->data.InfoPointsCount; ++i)
        QCOMPARE(recordsOf(*w, w->data.InfoPoints[i].name), 0);
    w->ToolButton2->click();

    // The kind menu: stops off, their icons go, the menu item shows the greyed image.
    QAction* stops = w->FindMenuItem(QStringLiteral("mnu2"));
    QVERIFY(stops->isChecked());
    stops->trigger();
    QVERIFY(!stops->isChecked());
    QVERIFY(!w->data.InfoPoints[1].VisibleIcon);
    QCOMPARE(recordsOf(*w, w->data.InfoPoints[1].name), 0);

    // Shutdown and a restart that restores the selection.
    const int group = w->cmbGroupName->currentIndex(), car = w->cmbCarDevice->currentIndex();
    w->close();
    w.reset();
    const QString saved = QString::fromUtf8(fx.readAppFile(QStringLiteral("TVSettings.xml")));
    QVERIFY(saved.contains(QStringLiteral("<CarID>%1</CarID>").arg(car)));
    QVERIFY(saved.contains(QStringLiteral("<Speed>600x</Speed>")));
    auto again = fx.startedWindow(environment(), 120000);
    QCOMPARE(again->cmbGroupName->currentIndex(), group);
    QCOMPARE(again->cmbCarDevice->currentIndex(), car);
    QVERIFY(!again->FindMenuItem(QStringLiteral("mnu2"))->isChecked());
    QVERIFY(windowSettled(*again));
    shoot(again.get(), QStringLiteral("06-restarted"));
    again->close();
}

void TestAcceptance::followingAComputationOfAnotherUser() {
    writeSettings(0);
    auto w = fx.startedWindow(environment(), 120000);
    QVERIFY(windowSettled(*w));

    // Another user asks for the last vehicle of the last group.
    auto server = probe();
    const int groups = server->GroupsCount();
    server->SetGroupIndex(groups);
    const QString groupId = server->GroupID(), groupName = server->GroupName();
    server->SetSelectedGroupID(groupId);
    const int cars = server->CarsCount();
    server->SetCarIndex(cars);
    const int device = server->CarDevice();
    QVERIFY(!fx.admin({QStringLiteral("compute"), groupId, QString::number(device), begin, end}).isNull());

    // The player follows: that group and vehicle are selected and the trips of that result listed.
    QTRY_COMPARE_WITH_TIMEOUT(w->cmbGroupName->currentText(), groupName, 60000);
    QTRY_COMPARE_WITH_TIMEOUT(w->cmbCarDevice->currentText(), QString::number(device), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(!w->data.FollowingServer && !w->data.OwnComputing, 60000);
    QCOMPARE(w->ListView1->topLevelItemCount(), server->TripsCount());
    QCOMPARE(w->cmbCarName->currentIndex(), w->cmbCarDevice->currentIndex());
    shoot(w.get(), QStringLiteral("07-followed"));
    w->close();
}

QTEST_MAIN(TestAcceptance)
#include "tst_acceptance.moc"
