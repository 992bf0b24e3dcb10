#pragma once

#include <QString>

class QWidget;
namespace mvx {
class IMVControl;
}

// Loads the map control library from a folder at run time and creates a control widget in it.
// The library stays loaded for the life of the process (the control's code lives there).
class TMapControlLoader {
public:
    // The library file name without folder and suffix ("mvx": libmvx.so, mvx.dll).
    static QString libraryBaseName();

    // Creates a control with the given parent; throws telvika::Error when the library is missing,
    // lacks the factory or the factory fails.
    static mvx::IMVControl* create(const QString& folder, QWidget* parent);
};
