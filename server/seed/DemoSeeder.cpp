#include "seed/DemoSeeder.h"

#include "common/Error.h"
#include "compute/UtcTime.h"
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
    options.utcOffsetSeconds = localOffsetSeconds(endTime);  // the town keeps the user's clock
    const demo::DemoFleet fleet = demo::generateDemoFleet(options);
    // The map first (written beside and then renamed over the old one), then the fleet and its
    // values in one transaction: a stop at any moment leaves either a seeded store or an empty one,
    // which the next start seeds again.
    if (!chartPath.isEmpty()) {
        QString error;
        if (!demo::writeDemoTownChart(chartPath, options.seed, &error))
            throw Error(QStringLiteral("Не удалось записать карту демонстрационного города «%1»: %2").arg(chartPath, error));
    }
    store.importFleet(fleet, {{QStringLiteral("demo_seed"), QString::number(options.seed)},
                              {QStringLiteral("demo_end"), QString::number(endTime, 'g', 17)},
                              {QStringLiteral("demo_days"), QString::number(days)},
                              {QStringLiteral("demo_utc_offset"), QString::number(options.utcOffsetSeconds)}});
}
#else
bool DemoSeeder::available() { return false; }

void DemoSeeder::seed(Store&, const QString&, double, int) {
    throw Error(QStringLiteral("Эта сборка не содержит генератора демонстрационных данных"));
}
#endif

}  // namespace telvika::server
