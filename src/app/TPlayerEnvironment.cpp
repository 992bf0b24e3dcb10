#include "app/TPlayerEnvironment.h"

#include <QCoreApplication>

TPlayerEnvironment TPlayerEnvironment::standard() {
    TPlayerEnvironment env;
    env.appDir = QCoreApplication::applicationDirPath();
    return env;
}
