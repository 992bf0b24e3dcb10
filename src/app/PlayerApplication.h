#pragma once

#include <QString>

// Settings of the player's application object, shared by the program entry and the tests that run
// the window as the program does.
namespace telvika {

// Names the application, applies the user's locale, loads Qt's own Russian texts and makes the
// window's design fonts available. No display name is set: a window system would append it to
// every window title ("... — Telvika"), and the captions of the main window and of the message
// boxes must be exactly the system's own.
void setUpPlayerApplication();

// Loads Qt's Russian catalogue (the file dialog, the standard buttons, the edit menus) whatever the
// process locale, since the whole interface is Russian. False when the catalogue is not installed.
bool loadQtRussianTexts();

// The window is designed in Tahoma 8 points, its group box captions in Arial 8. Where the system
// has no Tahoma, the metric-compatible Tahoma of Debian's fonts-wine is registered for the
// program; where it has no Arial, Liberation Sans (same metrics) stands in for it. Returns the
// family that the name "Tahoma" now resolves to.
QString installDesignFonts();

// Folder of the Tahoma files registered when the system has none (Debian's fonts-wine).
inline const QString TahomaFolder = QStringLiteral("/usr/share/wine/fonts");

}  // namespace telvika
