// Test helper: saves the settings file given as its argument over and over, alternating between a
// small and a large document, and prints one line after every completed save. The test kills it
// at random moments.
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

#include "settings/SettingsFile.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) return 2;
    const telvika::TSettingsFile file(QString::fromLocal8Bit(argv[1]));

    telvika::TSettingsValues small = telvika::defaultSettingsValues();
    small.InfoPoints.last().Icon = QStringLiteral("Ic13");
    telvika::TSettingsValues large = small;
    while (large.InfoPoints.size() < 400) {
        TInfoPoints k = large.InfoPoints[large.InfoPoints.size() % 13];
        k.name += QStringLiteral(" — дополнительный вид номер %1").arg(large.InfoPoints.size() + 1);
        large.InfoPoints.push_back(k);
    }
    large.InfoPoints.last().Icon = QStringLiteral("Ic400");

    for (qint64 n = 0;; ++n) {
        try {
            file.save(n % 2 == 0 ? large : small);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
        std::printf("%lld\n", static_cast<long long>(n));
        std::fflush(stdout);
    }
}
