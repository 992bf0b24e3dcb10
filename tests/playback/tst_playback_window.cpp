// The playback handlers of the real main window (against a real tracking server process and the
// real map control): clock and controls, stop skipping with its hold, the information panel, the
// marker handed to the control's overlay, map following and the seek by a click on the map.
#include <QtTest>

#include <QLineEdit>
#include <QMenu>
#include <numbers>

#include "PlaybackWindowFixture.h"
#include "app/ui/TSymbolButton.h"
#include "app/ui/TUpDown.h"
#include "common/DateText.h"
#include "playback/TrackPosition.h"

using namespace telvika;

namespace {

// Track seconds derived from the wall clock carry the rounding of day fractions.
#define QCOMPARE_SECONDS(actual, expected) \
    QVERIFY2(std::fabs((actual) - (expected)) < 1e-3, qPrintable(QString::number(actual, 'f', 6)))

constexpr double Lon0 = 37.62, Lat0 = 55.75;

// Ten minutes driving east, a point a minute, 0.001 degrees of longitude apart.
QVector<TPlaybackTrackPoint> eastTrack(int minutes = 10) {
    QVector<TPlaybackTrackPoint> pts;
    for (int k = 0; k <= minutes; ++k) pts.push_back({60.0 * k, Lon0 + 0.001 * k, Lat0});
    return pts;
}

}  // namespace

class TestPlaybackWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<TPlaybackWindowFixture> f;
    TForm1* w = nullptr;

    void play() {
        w->btnPlayClick();
        QVERIFY(w->Timer1->isActive());
    }
    void tick(double wallSeconds) {
        f->advance(wallSeconds);
        w->Timer1Timer();
    }
    void setSpeed(const QString& text) {
        w->cmbSpeed->setEditText(text);
        w->cmbSpeedChange();
    }

private slots:
    void init() {
        f = std::make_unique<TPlaybackWindowFixture>();
        f->start();
        w = f->w.get();
        QVERIFY(w->data.tblStopLabel);
        w->MVCtrl->SetCurScale(20000.0);
        w->MVCtrl->SetCenter(Lat0, Lon0 + 0.003);
    }
    void cleanup() {
        QLocale::setDefault(QLocale::c());
        QVERIFY2(f->player.dialogs.calls.isEmpty() ||
                     f->player.dialogs.calls.constFirst().kind != QStringLiteral("exception"),
                 qPrintable(f->player.dialogs.calls.isEmpty() ? QString() : f->player.dialogs.calls[0].text));
        w = nullptr;
        f.reset();
    }

    void playPauseAndResume() {
        f->loadTrack(eastTrack());
        QCOMPARE(w->TrackBar->value(), 1);
        QCOMPARE(w->lblSpeed->text(), QStringLiteral("0 км/ч"));
        play();
        QCOMPARE(w->btnPlay->caption(), QStringLiteral(";"));
        QCOMPARE(w->Timer1->interval(), 16);
        tick(2.5);  // 150 track seconds at 60x
        QCOMPARE_SECONDS(f->playSeconds(), 150.0);
        QCOMPARE(w->TrackBar->value(), 150);
        QCOMPARE(w->lblDate->text(), dateLabelText(f->T0 + 150 * f->Second));
        // The panel shows the values of the segment's first point (point 2), not interpolated ones.
        QCOMPARE(w->data.CurPointIndex, 2);
        QCOMPARE(w->lblSpeed->text(), QStringLiteral("21.0 км/ч"));
        QCOMPARE(w->lblDistance->text(), QStringLiteral("2000 м"));
        // The marker half-way between points 2 and 3, pointing east.
        QCOMPARE(f->overlay(), f->expectedMarker(Lon0 + 0.0025, Lat0, 0.0));

        w->btnPlayClick();  // pause
        QVERIFY(!w->Timer1->isActive());
        QCOMPARE(w->btnPlay->caption(), QStringLiteral("4"));
        QCOMPARE_SECONDS(f->at(w->data.PlayRefTime), 150.0);
        f->advance(100);  // a pause costs no track time
        play();
        tick(1);
        QCOMPARE_SECONDS(f->playSeconds(), 210.0);
    }

    void speedChangeWhilePlayingDoesNotJump() {
        f->loadTrack(eastTrack());
        play();
        tick(2);
        QCOMPARE_SECONDS(f->playSeconds(), 120.0);
        f->advance(0.5);
        setSpeed(QStringLiteral("600x"));
        QCOMPARE(w->data.SpeedFactor, 600);
        QCOMPARE(w->Timer1->interval(), 1);
        QVERIFY(w->Timer1->isActive());
        tick(0);  // at once: the moment shown before the change
        QCOMPARE_SECONDS(f->playSeconds(), 120.0);
        tick(0.1);  // then 600 track seconds per second
        QCOMPARE_SECONDS(f->playSeconds(), 180.0);
    }

    void stopAndThenASpeedChange() {
        f->loadTrack(eastTrack());
        play();
        tick(2);
        w->btnStopClick(w->btnStop);
        QVERIFY(!w->Timer1->isActive());
        QCOMPARE(w->btnPlay->caption(), QStringLiteral("4"));
        QCOMPARE(w->TrackBar->value(), 1);  // one, not zero
        QCOMPARE(w->lblDate->text(), QString());
        QCOMPARE(w->lblSpeed->text(), QStringLiteral("0 км/ч"));
        QCOMPARE(w->lblDistance->text(), QStringLiteral("0 м"));
        QCOMPARE(w->data.CurPointIndex, 0);
        QCOMPARE_SECONDS(f->playSeconds(), 120.0);  // Stop leaves the shown moment and the marker
        QVERIFY(!w->MVCtrl->Overlay().isEmpty());
        QCOMPARE(w->data.PlayRefTime, f->T0);

        // A speed change copies the moment shown before the Stop: Play resumes there.
        setSpeed(QStringLiteral("30x"));
        QCOMPARE_SECONDS(f->at(w->data.PlayRefTime), 120.0);
        play();
        tick(2);
        QCOMPARE_SECONDS(f->playSeconds(), 180.0);

        // A plain Stop and Play starts at the first point.
        w->btnStopClick(w->btnStop);
        play();
        tick(1);
        QCOMPARE_SECONDS(f->playSeconds(), 30.0);
    }

    void seekWhilePlayingAndWhilePaused() {
        f->loadTrack(eastTrack());
        play();
        tick(1);
        w->TrackBar->setValue(300);  // the user's seek
        QVERIFY(w->Timer1->isActive());
        QCOMPARE_SECONDS(f->playSeconds(), 300.0);
        QCOMPARE(w->lblDate->text(), dateLabelText(f->T0 + 300 * f->Second));
        QCOMPARE(f->overlay(), f->expectedMarker(Lon0 + 0.005, Lat0, 0.0));
        tick(1);
        QCOMPARE_SECONDS(f->playSeconds(), 360.0);

        w->btnPlayClick();  // pause
        w->TrackBar->setValue(100);
        QCOMPARE_SECONDS(f->playSeconds(), 100.0);
        QVERIFY(!w->Timer1->isActive());
        f->advance(50);
        play();
        tick(1);
        QCOMPARE_SECONDS(f->playSeconds(), 160.0);
    }

    void tracksOfOneAndTwoPoints() {
        f->loadTrack({{0, Lon0, Lat0}});
        QCOMPARE(w->TrackBar->maximum(), 0);
        play();
        tick(1);
        QVERIFY(!w->Timer1->isActive());  // a one-point track stops at the first tick

        f->loadTrack({{0, Lon0, Lat0}, {60, Lon0 + 0.001, Lat0}});
        play();
        tick(0.5);
        QCOMPARE_SECONDS(f->playSeconds(), 30.0);
        QVERIFY(w->Timer1->isActive());
        QCOMPARE(f->overlay(), f->expectedMarker(Lon0 + 0.0005, Lat0, 0.0));
        // Before its first point the segment 1-2 is used, whose end does not exist: no division by
        // a missing point, the vehicle stands on the last point.
        w->TrackBar->setValue(0);
        QCOMPARE(w->data.CurPointIndex, 1);
        QCOMPARE(f->overlay(), f->expectedMarker(Lon0 + 0.001, Lat0, 0.0));
    }

    void trackBarToItsMaximumStops() {
        f->loadTrack(eastTrack());
        play();
        tick(1);
        w->TrackBar->setValue(w->TrackBar->maximum());
        QVERIFY(!w->Timer1->isActive());
        QCOMPARE(w->TrackBar->value(), 1);
        QCOMPARE(w->data.PlayRefTime, f->T0);
    }

    void endOfTrackShowsTheLastPoint() {
        f->loadTrack(eastTrack(3));
        play();
        tick(2);
        QCOMPARE(w->data.CurPointIndex, 1);
        tick(2);  // 240 s: past the last point (180 s)
        QVERIFY(!w->Timer1->isActive());
        QCOMPARE(w->TrackBar->value(), 1);
        QCOMPARE(w->data.PlayRefTime, f->T0);
        // The panel keeps the stopped state; the marker stands on the last point.
        QCOMPARE(w->lblDate->text(), QString());
        QCOMPARE(w->lblSpeed->text(), QStringLiteral("0 км/ч"));
        QCOMPARE(w->lblDistance->text(), QStringLiteral("0 м"));
        QCOMPARE(w->data.CurPointIndex, 0);
        QCOMPARE(f->overlay(), f->expectedMarker(Lon0 + 0.003, Lat0, 0.0));
        // The next Play starts from the first point again.
        play();
        tick(1);
        QCOMPARE_SECONDS(f->playSeconds(), 60.0);
    }

    void skippedStopHoldsWithoutTrackTime() {
        const QVector<TStops> stops{{f->T0 + 100 * f->Second, f->T0 + 200 * f->Second, QStringLiteral("1 мин 40 с")}};
        f->loadTrack(eastTrack(), stops);
        w->ToolButton3->setChecked(true);
        play();
        tick(2);  // 120 s lies inside the stop: shown at its end
        QCOMPARE_SECONDS(f->playSeconds(), 200.0);
        QCOMPARE(w->TrackBar->value(), 200);
        QCOMPARE(f->holds.size(), 1);
        QCOMPARE(f->holds[0].ms, 1000);
        QVERIFY(!f->holds[0].timerActive);  // no tick is pending during the hold
        QCOMPARE(f->holds[0].captionRecords, 1);
        QCOMPARE(w->data.tblStopLabel->GetRecordCount(), 0);  // the caption is gone after it
        QVERIFY(w->MVCtrl->ObjectSet(QStringLiteral("Остановка")).records.isEmpty());
        QVERIFY(w->Timer1->isActive());
        QCOMPARE(w->data.PlayRefClock, f->now);
        tick(1);  // the replay goes on from the stop's end
        QCOMPARE_SECONDS(f->playSeconds(), 260.0);
        QCOMPARE(f->holds.size(), 1);

        // Without stop skipping the stop is replayed.
        w->ToolButton3->setChecked(false);
        w->TrackBar->setValue(90);
        tick(0.5);
        QCOMPARE_SECONDS(f->playSeconds(), 120.0);
        QCOMPARE(f->holds.size(), 1);
    }

    void stopCaptionAtTheCurrentPoint() {
        const QVector<TStops> stops{{f->T0, f->T0 + 30 * f->Second, QStringLiteral("30 с")}};
        f->loadTrack(eastTrack(), stops);
        w->FindSegment(f->T0 + 90 * f->Second);
        w->ShowStopLabel(0);
        const mvx::ObjectSetInfo set = w->MVCtrl->ObjectSet(QStringLiteral("Остановка"));
        QCOMPARE(set.records.size(), 1);
        QCOMPARE(set.records[0].lonLat[0], QPointF(Lon0 + 0.001, Lat0));
        QVERIFY(set.records[0].style.contains(QStringLiteral("'Остановка: 30 с'")));
        w->ShowStopLabel(-1);
        w->ShowStopLabel(-1);  // on an empty table it still reloads the empty set
        QVERIFY(w->MVCtrl->ObjectSet(QStringLiteral("Остановка")).records.isEmpty());
    }

    void nothingWithoutASelectedTrip() {
        f->loadTrack(eastTrack());
        play();
        tick(1);
        w->ListView1->clear();  // the list emptied while playing
        w->btnStopClick(nullptr);
        QVERIFY(w->Timer1->isActive());  // Stop does nothing without a trip...
        tick(1);
        QCOMPARE_SECONDS(f->playSeconds(), 120.0);  // ...and the tick does not look at the selection
        w->btnPlayClick();
        QVERIFY(w->Timer1->isActive());
        const double shown = f->playSeconds();
        w->TrackBar->setValue(400);
        QCOMPARE_SECONDS(f->playSeconds(), shown);
    }

    void panelInTheUsersLocale() {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        f->loadTrack(eastTrack());
        w->data.TrackData = TTrackData([&] {
            QVector<double> v = w->data.TrackData.values();
            v[3 * 5 + 3] = 1500.6;  // distance and speed of point 3
            v[3 * 5 + 4] = 12.34;
            return v;
        }());
        w->TrackBar->setValue(200);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(w->data.CurPointIndex, 3);
        QCOMPARE(w->lblSpeed->text(), QStringLiteral("12,3 км/ч"));
        QCOMPARE(w->lblDistance->text(), QStringLiteral("1501 м"));
    }

    void speedButtonOpensTheKindMenu() {
        w->SpeedButton1Click();
        QTRY_VERIFY(w->PopupMenu1->isVisible());
        QCOMPARE(w->PopupMenu1->pos(), w->SpeedButton1->mapToGlobal(QPoint(0, 0)));
        w->PopupMenu1->hide();
    }

    void speedBoxFromTheKeyboard() {
        f->loadTrack(eastTrack());
        QLineEdit* edit = w->cmbSpeed->lineEdit();
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("a3X0-"));
        QCOMPARE(w->cmbSpeed->currentText(), QStringLiteral("30x"));
        QCOMPARE(w->data.SpeedFactor, 30);
        QCOMPARE(w->Timer1->interval(), 33);

        // A factor 0 is read as 1.
        setSpeed(QStringLiteral("0"));
        QCOMPARE(w->data.SpeedFactor, 1);
        QCOMPARE(w->cmbSpeed->currentText(), QStringLiteral("1x"));
        QCOMPARE(w->Timer1->interval(), 1000);
        // Above 1000 the timer still runs (1 ms) and the replay advances.
        setSpeed(QStringLiteral("5000"));
        QCOMPARE(w->Timer1->interval(), 1);
        play();
        tick(0.01);
        QCOMPARE_SECONDS(f->playSeconds(), 50.0);
    }

    void upDownStepsThroughTheSpeedList() {
        f->loadTrack(eastTrack());
        w->cmbSpeed->setCurrentIndex(3);  // "60x"
        w->UpDown1->click(TUpDown::updUp);
        QCOMPARE(w->cmbSpeed->currentText(), QStringLiteral("100x"));
        QCOMPARE(w->data.SpeedFactor, 100);
        w->UpDown1->click(TUpDown::updDown);
        w->UpDown1->click(TUpDown::updDown);
        QCOMPARE(w->cmbSpeed->currentText(), QStringLiteral("30x"));
        QCOMPARE(w->data.SpeedFactor, 30);
        QCOMPARE(w->Timer1->interval(), 33);
        // At the top of the list there is no higher speed.
        w->cmbSpeed->setCurrentIndex(0);
        w->UpDown1->click(TUpDown::updUp);
        QCOMPARE(w->cmbSpeed->currentIndex(), 0);
    }

    void markerRebuiltAfterZoomAndPan() {
        f->loadTrack(eastTrack());
        w->TrackBar->setValue(150);
        QCOMPARE(f->overlay(), f->expectedMarker(Lon0 + 0.0025, Lat0, 0.0));
        const QPoint before = f->pixelOf(Lon0 + 0.0025, Lat0);
        w->MVCtrl->SetCurScale(5000.0);  // zoom in
        QVERIFY(f->pixelOf(Lon0 + 0.0025, Lat0) != before);
        QCOMPARE(f->overlay(), f->expectedMarker(Lon0 + 0.0025, Lat0, 0.0));
        w->MVCtrl->SetCenter(Lat0 + 0.0005, Lon0 + 0.002);  // pan
        QCOMPARE(f->overlay(), f->expectedMarker(Lon0 + 0.0025, Lat0, 0.0));
        // The end-of-track marker too is rebuilt from what was last shown.
        play();
        tick(20);
        QVERIFY(!w->Timer1->isActive());
        w->MVCtrl->SetCurScale(10000.0);
        QCOMPARE(f->overlay(), f->expectedMarker(Lon0 + 0.01, Lat0, 0.0));
    }

    void mapFollowsAtTheMargin() {
        f->loadTrack(eastTrack());
        const QWidget* view = w->MVCtrl->widget();
        const int width = view->width();
        QVERIFY(width > 200);
        // The vehicle's rear notch 8 px behind it: put the vehicle where the notch sits exactly at
        // the margin, then one pixel farther.
        double latC = 0, lonC = 0;
        w->MVCtrl->GetCenter(latC, lonC);
        int cx = 0, cy = 0;
        w->MVCtrl->GeoToScreen(latC, lonC, cx, cy);
        const double limit = width / 2.0 - 25;
        const int inside = int(std::floor(cx + limit)) + 8;  // vehicle pixel with the notch inside
        double lat = 0, lon = 0;
        w->MVCtrl->ScreenToGeo(inside, cy, lat, lon);
        w->BuildMarker(lon, lat, 0.0, 20.0);
        w->ShowMarkerLayer();
        w->MVCtrl->GetCenter(lat, lon);
        QCOMPARE(lat, latC);
        QCOMPARE(lon, lonC);

        w->MVCtrl->ScreenToGeo(inside + 1, cy, lat, lon);
        const double vehicleLon = lon, vehicleLat = lat;
        w->BuildMarker(lon, lat, 0.0, 20.0);
        w->ShowMarkerLayer();
        // Recentred on the notch: the notch is now at the centre and the marker was rebuilt there.
        w->MVCtrl->GetCenter(lat, lon);
        QVERIFY(lon != lonC);
        QCOMPARE(f->overlay(), f->expectedMarker(vehicleLon, vehicleLat, 0.0));
        w->MVCtrl->GeoToScreen(lat, lon, cx, cy);
        QVERIFY(std::abs(f->overlay()[0][0].x() - cx) <= 1);
    }

    void mapClickSeeksWithoutRebasingTheClock() {
        f->loadTrack(eastTrack());
        play();
        tick(1);
        QCOMPARE_SECONDS(f->playSeconds(), 60.0);
        // A click just south of the segment from point 4 to point 5 seeks to the foot of the
        // perpendicular from the clicked place: a whole second into that segment.
        const QPoint p = f->pixelOf(Lon0 + 0.0045, Lat0) + QPoint(0, 3);
        double lat = 0, lon = 0;
        w->MVCtrl->ScreenToGeo(p.x(), p.y(), lat, lon);
        const double expected = 240.0 + std::nearbyint((lon - (Lon0 + 0.004)) / 0.001 * 60.0);
        QVERIFY(expected > 240.0 && expected < 300.0);
        bool handled = false;
        w->MVCtrlMouseAction(33, 0, p.x(), p.y(), handled);  // a double click is ignored
        QCOMPARE_SECONDS(f->playSeconds(), 60.0);
        w->MVCtrlMouseAction(32, 0, p.x(), p.y(), handled);
        QVERIFY(!handled);
        QCOMPARE_SECONDS(f->playSeconds(), expected);
        QCOMPARE(w->TrackBar->value(), int(expected));
        QCOMPARE(w->lblDate->text(), dateLabelText(w->data.PlayTime));
        QCOMPARE(w->data.CurPointIndex, 4);
        QVERIFY(w->Timer1->isActive());
        // The clock keeps its base: the next tick carries on from where the replay was.
        tick(1);
        QCOMPARE_SECONDS(f->playSeconds(), 120.0);
    }
};

QTEST_MAIN(TestPlaybackWindow)
#include "tst_playback_window.moc"
