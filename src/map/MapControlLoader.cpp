#include "map/MapControlLoader.h"

#include <QDir>
#include <QLibrary>

#include "common/Error.h"
#include "mvx/IMVControl.h"

QString TMapControlLoader::libraryBaseName() { return QStringLiteral("mvx"); }

mvx::IMVControl* TMapControlLoader::create(const QString& folder, QWidget* parent) {
    // The handle object lives only for this call: destroying a QLibrary does not unload the library
    // (only unload() does), so the control's code stays loaded for the life of the process and
    // nothing is left behind per window.
    QLibrary library(QDir(folder).filePath(libraryBaseName()));
    if (!library.load())
        throw telvika::Error(QStringLiteral("Библиотека карты не загружена: %1").arg(library.errorString()));
    auto factory = reinterpret_cast<MvxCreateControlFn>(library.resolve(MVX_CREATE_CONTROL_SYMBOL));
    if (!factory)
        throw telvika::Error(QStringLiteral("Библиотека карты не содержит %1").arg(QLatin1String(MVX_CREATE_CONTROL_SYMBOL)));
    mvx::IMVControl* control = nullptr;
    try {
        control = factory(parent);
    } catch (const std::exception& e) {
        throw telvika::Error(QStringLiteral("Карта не создана: %1").arg(QString::fromUtf8(e.what())));
    }
    if (!control || !control->widget()) throw telvika::Error(QStringLiteral("Карта не создана"));
    return control;
}
