// Build-time tool: draws the map icon bundles' pictures and writes them with a resource
// collection file per bundle, for rcc --binary to turn into TVIcons.res and TVAllTS.res.
//   make_icon_bundles <output folder>

#include "BundleImages.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTextStream>

#include <cstdio>
#include <functional>

namespace {

bool writeBundle(const QDir& out, const QString& name, int first, int last, int size,
                 const std::function<QImage(int, int)>& draw) {
    if (!out.mkpath(name)) return false;
    QFile qrc(out.filePath(name + QStringLiteral(".qrc")));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    QTextStream s(&qrc);
    s << "<RCC>\n  <qresource prefix=\"/icons\">\n";
    for (int n = first; n <= last; ++n) {
        const QString file = QStringLiteral("%1/%2.png").arg(name).arg(n);
        if (!draw(n, size).save(out.filePath(file), "PNG")) return false;
        s << "    <file alias=\"" << n << ".png\">" << file << "</file>\n";
    }
    s << "  </qresource>\n</RCC>\n";
    return s.status() == QTextStream::Ok;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon_bundles <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) return 1;
    // Pictures are stored larger than drawn on the map (25 and 35 pixels) so that scaling down
    // keeps them sharp.
    if (!writeBundle(out, QStringLiteral("TVIcons"), 0, resources::KindIconCount - 1, 64, resources::kindIcon) ||
        !writeBundle(out, QStringLiteral("TVAllTS"), 1, resources::VehicleIconCount, 96, resources::vehicleIcon)) {
        std::fprintf(stderr, "make_icon_bundles: cannot write to %s\n", argv[1]);
        return 1;
    }
    return 0;
}
