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
    if (haveTrip) {
        say(QStringLiteral("%1 trips listed; trip %2 has %3 points")
                .arg(form->ListView1->topLevelItemCount())
                .arg(form->lblTripNum->text())
                .arg(form->data.TrackPointCount));
        if (!form->Timer1->isActive()) form->btnPlay->click();
    } else {
        say(QStringLiteral("no trip to play in the restored period"));
    }
    wait(seconds * 1000 / 2);
    const bool ok1 = saveScreen(*form, first);
    say(QStringLiteral("date %1, speed %2, distance %3").arg(form->lblDate->text(), form->lblSpeed->text(),
                                                                form->lblDistance->text()));
    wait(seconds * 1000 / 2);
    const bool ok2 = saveScreen(*form, second);
    say(QStringLiteral("date %1, speed %2, distance %3").arg(form->lblDate->text(), form->lblSpeed->text(),
                                                                form->lblDistance->text()));
    form->close();
    if (!ok1 || !ok2) {
        std::fprintf(stderr, "demo: a screenshot could not be written\n");
        return 1;
    }
    return 0;
}
