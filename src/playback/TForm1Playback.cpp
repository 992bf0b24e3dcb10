// Playback: the clock and its controls.
#include "app/TForm1.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>

#include "app/ui/TSymbolButton.h"
#include "app/ui/TUpDown.h"
#include "common/DateText.h"
#include "playback/PlaybackClock.h"

using namespace telvika;
using namespace telvika::playback;

namespace {

constexpr int StopHoldMs = 1000;

// A trip is selected when the trips and information-point list has a selected row.
bool tripSelected(const TForm1& w) {
    return w.ListView1->currentItem() != nullptr;
}

// t0: the time of the track's first point.
TDateTime firstPointTime(const TForm1& w) {
    return w.data.TrackData.element(1);
}

// The clock starts anew from the moment shown.
void rebaseClock(TForm1& w) {
    w.data.PlayRefClock = oleNow();
    w.data.PlayRefTime = w.data.PlayTime;
}

// Tick marks at a tenth of the bar's range: a mark per position would be thousands of marks on a
// long track, drawn on every tick of the clock.
void fitTrackBarTicks(TForm1& w) {
    const int range = w.TrackBar->maximum() - w.TrackBar->minimum();
    w.TrackBar->setTickInterval(std::max(1, (range + 9) / 10));
}

// The player moves the track bar itself: its change handler does not take this for a seek (but
// still stops playback when the bar reaches its maximum).
void moveTrackBar(TForm1& w, int position) {
    w.data.TrackBarSeekEnabled = false;
    w.TrackBar->setValue(position);
    w.data.TrackBarSeekEnabled = true;
}

}  // namespace

void TForm1::btnPlayClick() {
    if (!tripSelected(*this)) return;
    if (Timer1->isActive()) {
        Timer1->stop();
        btnPlay->setCaption(QStringLiteral("4"));
        rebaseClock(*this);
    } else {
        Timer1->setInterval(timerInterval(data.SpeedFactor));
        Timer1->start();
        btnPlay->setCaption(QStringLiteral(";"));
        data.PlayRefClock = oleNow();
        if (data.PlayRefTime == 0.0) data.PlayRefTime = firstPointTime(*this);
    }
}

void TForm1::btnStopClick(QObject*) {
    if (!tripSelected(*this)) return;
    // The callers use Stop to reset playback; nothing it meets may interrupt them.
    try {
        Timer1->stop();
        btnPlay->setCaption(QStringLiteral("4"));
        fitTrackBarTicks(*this);  // the bar's range was set by the track's loading
        data.PlayRefClock = oleNow();
        data.PlayRefTime = firstPointTime(*this);
        moveTrackBar(*this, 1);
        lblDate->setText(QString());
        lblSpeed->setText(QStringLiteral("0 км/ч"));
        lblDistance->setText(QStringLiteral("0 м"));
        data.CurPointIndex = 0;
    } catch (...) {
        data.TrackBarSeekEnabled = true;
    }
}

void TForm1::cmbSpeedChange() {
    rebaseClock(*this);
    const TSpeedText speed = parseSpeedText(cmbSpeed->currentText());
    data.SpeedFactor = speed.factor;
    cmbSpeed->setEditText(speed.text);
    Timer1->setInterval(timerInterval(data.SpeedFactor));
}

void TForm1::cmbSpeedKeyPress(QChar& key) {
    if (!isSpeedKey(key)) key = QChar();
}

void TForm1::UpDown1ChangingEx(bool&, int, int direction) {
    // Up selects the next higher speed (the previous entry), down the next lower one, exactly as
    // the arrow keys do in the box's list, which runs the box's change handler.
    int key = 0;
    if (direction == TUpDown::updUp) key = Qt::Key_Up;
    if (direction == TUpDown::updDown) key = Qt::Key_Down;
    if (!key) return;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(cmbSpeed, &press);
}

void TForm1::cmbSpeedStep(int step) {
    // From the speed shown, which the settings and typing set as text only, not from the list's
    // own index; the new entry is selected as a choice of the user's.
    QStringList entries;
    for (int i = 0; i < cmbSpeed->count(); ++i) entries << cmbSpeed->itemText(i);
    const int target = speedStepTarget(entries, cmbSpeed->currentText(), step);
    if (target < 0) return;
    cmbSpeed->setCurrentIndex(target);
    cmbSpeedChange();
}

void TForm1::TrackBarChange() {
    if (!tripSelected(*this)) return;
    if (TrackBar->value() >= TrackBar->maximum()) {
        btnStopClick(TrackBar);
    } else if (data.TrackBarSeekEnabled) {
        data.PlayTime = trackBarMoment(TrackBar->value(), firstPointTime(*this));
        lblDate->setText(dateLabelText(data.PlayTime));
        lblDate->repaint();
        ShowMoment(data.PlayTime);
        rebaseClock(*this);
    }
}

void TForm1::Timer1Timer() {
    if (data.CurPointIndex >= data.TrackPointCount - 1 || TrackBar->value() >= TrackBar->maximum()) {
        btnStopClick(Timer1);
        return;
    }
    data.PlayTime = clockMoment(oleNow(), data.PlayRefClock, data.SpeedFactor, data.PlayRefTime);
    FindSegment(data.PlayTime);

    int skipped = -1;
    if (ToolButton3->isChecked()) {
        skipped = findStopToSkip(data.TripStops, data.PlayTime);
        if (skipped >= 0) data.PlayTime = data.TripStops[skipped].End;
    }
    lblDate->setText(dateLabelText(data.PlayTime));

    // Reaching the track bar's maximum stops and rewinds playback right here (the bar's change
    // handler); the vehicle is then shown on the last point and the panel keeps the stopped state.
    const int position = trackBarPosition(data.PlayTime, firstPointTime(*this));
    const bool endOfTrack = position >= TrackBar->maximum();
    moveTrackBar(*this, position);

    if (endOfTrack) {
        ShowEndOfTrack();
    } else {
        if (skipped >= 0) ShowStopLabel(skipped);
        ShowMoment(data.PlayTime);
        if (skipped >= 0) {
            // The caption stays for a second; no tick is pending meanwhile, and the clock starts
            // again from the stop's end, so the hold costs no track time.
            Timer1->stop();
            if (environment().hold)
                environment().hold(StopHoldMs);
            else
                QThread::msleep(StopHoldMs);
            ShowStopLabel(-1);
            Timer1->start();
            rebaseClock(*this);
        }
    }
    for (QWidget* w : std::initializer_list<QWidget*>{lblDate, btnPlay, btnStop, TrackBar, cmbSpeed})
        w->repaint();
}

void TForm1::SpeedButton1Click() {
    PopupMenu1->popup(SpeedButton1->mapToGlobal(QPoint(0, 0)));
}
