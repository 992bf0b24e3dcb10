// Unattended run of the player, for the demo on a machine without a display (under Xvfb): the
// same main window with the shipped environment, driven as a user would drive it. It waits for
// the start-up and the first trip of the restored selection, presses Play, saves screenshots of
// the screen at two moments and closes the window, which writes the settings back as usual.
//   telvika-player-demo SECONDS FIRST.png SECOND.png
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <functional>

#include "app/PlayerApplication.h"
#include "app/TForm1.h"
#include "app/ui/TSymbolButton.h"
#include "common/DateText.h"

namespace {

bool saveScreen(TForm1& form, const QString& path) {
    QPixmap shot;
    if (QScreen* screen = QGuiApplication::primaryScreen()) shot = screen->grabWindow(0);
    if (shot.isNull()) shot = form.grab();
    return shot.save(path, "PNG");
}

// Runs the event loop until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, int ms) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void wait(int ms) {
    waitFor([] { return false; }, ms);
}

// Row of the trip that lasts longest (its begin and end columns).
int longestTrip(const QTreeWidget& list) {
    int best = 0;
    double longest = -1.0;
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        try {
            const double d = telvika::parseRegionalDateTime(list.topLevelItem(i)->text(2)) -
                             telvika::parseRegionalDateTime(list.topLevelItem(i)->text(1));
            if (d > longest) longest = d, best = i;
        } catch (const std::exception&) {
        }
    }
    return best;
}

// Wall-clock seconds that the loaded trip replays for at the speed in use: its track time without
// the stops that are skipped, plus the hold after each of them.
double replaySeconds(const TForm1& form) {
    const TTrackData& track = form.data.TrackData;
    const int n = form.data.TrackPointCount;
    const double t0 = track.time(0), tEnd = track.time(n - 1);
    double seconds = (tEnd - t0) * 86400.0;
    double holds = 0.0;
    if (form.ToolButton3->isChecked()) {
        for (const TStops& s : form.data.TripStops) {
            const double skipped = (qMin(s.End, tEnd) - qMax(s.Begin, t0)) * 86400.0;
            if (skipped > 0) seconds -= skipped, holds += 1.0;
        }
    }
    return seconds / qMax(1, int(form.data.SpeedFactor)) + holds;
}

void say(const QString& text) {
    std::fprintf(stdout, "demo: %s\n", qPrintable(text));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    telvika::setUpPlayerApplication();
    if (argc != 4) {
        std::fprintf(stderr, "usage: telvika-player-demo SECONDS FIRST.png SECOND.png\n");
        return 2;
    }
    const int seconds = qMax(2, QString::fromLocal8Bit(argv[1]).toInt());
    const QString first = QString::fromLocal8Bit(argv[2]);
    const QString second = QString::fromLocal8Bit(argv[3]);

    std::unique_ptr<TForm1> form;
    try {
        form = std::make_unique<TForm1>(TPlayerEnvironment::standard());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "demo: the main window cannot be created: %s\n", e.what());
        return 1;
    }
    if (QScreen* screen = QGuiApplication::primaryScreen()) form->setGeometry(screen->availableGeometry());
    form->showMaximized();

    if (!waitFor([&] { return form->StartupDone && form->data.MarkerShape.size() == 2; }, 180000)) {
        std::fprintf(stderr, "demo: the start-up did not finish\n");
        return 1;
    }
    say(QStringLiteral("started: %1 groups, group «%2», vehicle «%3»")
            .arg(form->cmbGroupName->count())
            .arg(form->cmbGroupName->currentText(), form->cmbCarName->currentText()));
    // The restored selection asks the server for its period; the first trip is loaded when it ends.
    // Restoring the group and then the vehicle sends two requests; the second result reloads the
    // trips (and stops playback), so Play is pressed once the window has been quiet for a while.
    auto tripShown = [&] { return form->ListView1->topLevelItemCount() > 0 && form->data.TrackPointCount > 1; };
    bool haveTrip = waitFor(tripShown, 120000);
    if (haveTrip) {
        wait(3000);
        haveTrip = waitFor([&] { return tripShown() && !form->data.OwnComputing; }, 60000);
    }
    if (!haveTrip) {
        std::fprintf(stderr, "demo: the restored period has no trip to play; nothing was replayed\n");
        form->close();
        return 1;
    }
    // The longest trip, so that the replay is still going at both screenshots.
    const int longest = longestTrip(*form->ListView1);
    if (longest != form->ListView1->indexOfTopLevelItem(form->ListView1->currentItem())) {
        form->ListView1->setCurrentItem(form->ListView1->topLevelItem(longest));
        form->ListView1Click();
    }
    const double replay = replaySeconds(*form);
    say(QStringLiteral("%1 trips listed; trip %2 has %3 points and replays in %4 s at %5x")
            .arg(form->ListView1->topLevelItemCount())
            .arg(form->lblTripNum->text())
            .arg(form->data.TrackPointCount)
            .arg(replay, 0, 'f', 1)
            .arg(form->data.SpeedFactor));
    // Two moments inside the replay and inside the time given: a third and two thirds of the way.
    const double span = qMin(double(seconds), replay);
    const int firstMs = int(span * 1000 / 3), secondMs = int(span * 2000 / 3);
    QElapsedTimer played;
    if (!form->Timer1->isActive()) form->btnPlay->click();
    played.start();

    QStringList shown;
    bool ok1 = false, ok2 = false;
    for (int shot = 0; shot < 2; ++shot) {
        wait(int((shot == 0 ? firstMs : secondMs) - played.elapsed()));
        const bool saved = saveScreen(*form, shot == 0 ? first : second);
        (shot == 0 ? ok1 : ok2) = saved;
        shown << form->lblDate->text();
        say(QStringLiteral("date %1, speed %2, distance %3").arg(form->lblDate->text(), form->lblSpeed->text(),
                                                                    form->lblDistance->text()));
    }
    const bool moving = !shown[0].isEmpty() && !shown[1].isEmpty() && shown[0] != shown[1];
    form->close();
    if (!ok1 || !ok2) {
        std::fprintf(stderr, "demo: a screenshot could not be written\n");
        return 1;
    }
    if (!moving) {
        std::fprintf(stderr, "demo: the panel did not show two moments of the replay (%s / %s)\n",
                     qPrintable(shown[0]), qPrintable(shown[1]));
        return 1;
    }
    return 0;
}
