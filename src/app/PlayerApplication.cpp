#include "app/PlayerApplication.h"

#include <QCoreApplication>

#include "common/LocaleSetup.h"

namespace telvika {

void setUpPlayerApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("telvika-player"));
    applyUserLocale();
}

}  // namespace telvika
