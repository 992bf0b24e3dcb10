// The playback controls of the real main window (against a real tracking server process and the
// real map control): play, pause, stop, speed box and up-down, track bar seeks, the tick of the
// clock with stop skipping and its hold, and the kind menu button.
#include <QtTest>

#include <QLineEdit>
#include <QMenu>

#include "PlaybackWindowFixture.h"
#include "app/ui/TSymbolButton.h"
#include "app/ui/TUpDown.h"
#include "common/DateText.h"

using namespace telvika;

class TestPlaybackWindow : public QObject, TPlaybackWindowTest {
    Q_OBJECT
private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

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
        // At its first point the vehicle stands on that point, pointing along the segment.
        w->TrackBar->setValue(0);
        QCOMPARE(w->data.CurPointIndex, 0);
        QCOMPARE(f->overlay(), f->expectedMarker(Lon0, Lat0, 0.0));
    }

    void seekIntoTheLastSegmentAfterStop() {
        f->loadTrack(eastTrack());
        play();
        tick(1);
        w->btnStopClick(nullptr);
        w->TrackBar->setValue(590);  // between points 9 and 10
        QCOMPARE(w->data.CurPointIndex, 9);
        QCOMPARE(w->lblSpeed->text(), QStringLiteral("94.5 км/ч"));
        QCOMPARE(w->lblDistance->text(), QStringLiteral("9000 м"));
        QCOMPARE(f->overlay(), f->expectedMarker(Lon0 + 0.009 + 0.001 * 50 / 60, Lat0, 0.0));
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

    void skippedStopHoldsWithoutTrackTime() {
        const QVector<TStops> stops{
            {f->T0 + 100 * f->Second, f->T0 + 200 * f->Second, QStringLiteral("1 мин 40 с")}};
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
        // The program may set more than the four characters the keyboard may type.
        w->cmbSpeed->setEditText(QStringLiteral("1000x"));
        edit->end(false);
        QTest::keyClick(edit, Qt::Key_5);
        QCOMPARE(w->cmbSpeed->currentText(), QStringLiteral("1000x"));
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
        // The steps go from the speed shown, which the settings set as text only.
        w->cmbSpeed->setEditText(QStringLiteral("60x"));
        w->UpDown1->click(TUpDown::updDown);
        QCOMPARE(w->cmbSpeed->currentText(), QStringLiteral("30x"));
        w->cmbSpeed->setEditText(QStringLiteral("60x"));
        QTest::keyClick(w->cmbSpeed->lineEdit(), Qt::Key_Up);
        QCOMPARE(w->cmbSpeed->currentText(), QStringLiteral("100x"));
        QCOMPARE(w->data.SpeedFactor, 100);
    }
};

QTEST_MAIN(TestPlaybackWindow)
#include "tst_playback_window.moc"
