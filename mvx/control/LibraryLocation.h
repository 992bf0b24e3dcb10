#pragma once

#include <QString>

namespace mvx {

// The folder of the shared library this code is linked into (the control's own folder), or the
// application's folder where the platform cannot tell.
QString libraryFolder();

}  // namespace mvx
