// The one entry point the player resolves in libmvx: it creates the control as a child of the
// host's window; the returned object is the widget and is deleted with its parent.

#include "TMVControl.h"

extern "C" Q_DECL_EXPORT mvx::IMVControl* mvxCreateControl(QWidget* parent) {
    try {
        return new mvx::TMVControl(parent);
    } catch (...) {
        return nullptr;
    }
}
