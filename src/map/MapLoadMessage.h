#pragma once

#include <QString>

namespace telvika {

// The text shown for a result code of the map control's LoadMap; a code without a text gives an
// empty text.
QString MapLoadMessage(int code);

}  // namespace telvika
