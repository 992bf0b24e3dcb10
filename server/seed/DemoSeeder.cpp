#include "seed/DemoSeeder.h"

#include "common/Error.h"
#include "store/Store.h"

#ifdef TELVIKA_HAVE_DEMO
#include "demo/DemoFleet.h"
#include "demo/DemoTown.h"
#endif

namespace telvika::server {

#ifdef TELVIKA_HAVE_DEMO
namespace {
constexpr quint32 DemoSeed = 20091;
}

bool DemoSeeder::available() { return true; }

void DemoSeeder::seed(Store& store, const QString& chartPath, double endTime, int days) {
    if (!store.isEmpty())
        throw Error(QStringLiteral("В базе сервера уже есть группы; демонстрационный парк добавляется только в пустую базу"));
    demo::DemoOptions options;
    options.seed = DemoSeed;
    options.endTime = endTime;
    options.days = days;
    const demo::DemoFleet fleet = demo::generateDemoFleet(options);
    store.importFleet(fleet);
    store.setMeta(QStringLiteral("demo_seed"), QString::number(options.seed));
    store.setMeta(QStringLiteral("demo_end"), QString::number(endTime, 'g', 17));
    store.setMeta(QStringLiteral("demo_days"), QString::number(days));
    if (!chartPath.isEmpty()) {
        QString error;
        if (!demo::writeDemoTownChart(chartPath, options.seed, &error))
            throw Error(QStringLiteral("Не удалось записать карту демонстрационного города «%1»: %2").arg(chartPath, error));
    }
}
#else
bool DemoSeeder::available() { return false; }

void DemoSeeder::seed(Store&, const QString&, double, int) {
    throw Error(QStringLiteral("Эта сборка не содержит генератора демонстрационных данных"));
}
#endif

}  // namespace telvika::server
