#pragma once

#include <QString>

namespace telvika {

// Turns a file-dialog filter written as pairs "description|patterns|description|patterns..."
// (patterns separated by ';') into Qt name filters joined by ";;": each becomes
// "description (patterns)", or the description alone when it already ends with its patterns in
// parentheses. "Карты Ormanta (*.chart)|*.chart" gives "Карты Ormanta (*.chart)".
QString qtNameFilter(const QString& filter);

}  // namespace telvika
