#include "common/LocaleSetup.h"

#include <QLocale>

namespace telvika {

void applyUserLocale() {
    const QLocale system = QLocale::system();
    if (system.language() == QLocale::C || system.name() == QLatin1String("C"))
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

}  // namespace telvika
