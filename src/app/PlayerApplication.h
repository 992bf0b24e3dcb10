#pragma once

// Settings of the player's application object, shared by the program entry and the tests that run
// the window as the program does.
namespace telvika {

// Names the application and applies the user's locale. No display name is set: a window system
// would append it to every window title ("... — Telvika"), and the captions of the main window and
// of the message boxes must be exactly the system's own.
void setUpPlayerApplication();

}  // namespace telvika
