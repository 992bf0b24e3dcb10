#pragma once

#include <QObject>
#include <QPointer>

#include "common/PosixSignalWatcher.h"

class TForm1;

// Ends the player as its close button does when the session ends outside the window.
// - SIGTERM (a logout, a service manager), SIGINT (Ctrl+C) and SIGHUP (the terminal went away)
//   close the main window: playback stops, then the settings are saved; the message loop ends
//   even when a modal dialog is open. A second such signal during that close ends the process at
//   once.
// - Loss of the display: Qt's X11 (and Wayland) integration reports a broken connection with a
//   warning and then ends the process with exit(1), with no event or hook of its own in between.
//   The warning is the last moment at which every object is still alive, so the watcher listens
//   to Qt's messages and runs the window's shutdown there (TForm1::DisplayLost), before passing
//   the message on.
// One watcher per process.
class TSessionEndWatcher : public QObject {
    Q_OBJECT
public:
    explicit TSessionEndWatcher(TForm1& window, QObject* parent = nullptr);
    ~TSessionEndWatcher() override;

    // True for the message with which Qt's window system integration reports a broken connection.
    static bool isDisplayLostMessage(const QString& message);

private:
    void closeWindow();
    void displayLost();
    static void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message);

    QPointer<TForm1> window_;
    telvika::PosixSignalWatcher signals_;
    bool closing_ = false;
};
