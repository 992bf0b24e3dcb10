// Build-time tool: draws the main window's image lists and writes them as PNG files with a
// resource collection file, which the build compiles into the player.
//   make_player_images <output folder>

#include "PlayerImageArt.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>

namespace {

bool writeList(const QDir& out, QTextStream& qrc, const QString& folder, const QVector<QImage>& images) {
    if (!out.mkpath(folder)) return false;
    for (int i = 0; i < images.size(); ++i) {
        const QString file = QStringLiteral("%1/%2.png").arg(folder).arg(i);
        if (!images[i].save(out.filePath(file), "PNG")) return false;
        qrc << "    <file>" << file << "</file>\n";
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_player_images <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QFile qrcFile(out.filePath(QStringLiteral("player_images.qrc")));
    if (!QDir().mkpath(out.path()) || !qrcFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "make_player_images: cannot write to %s\n", argv[1]);
        return 1;
    }
    QTextStream qrc(&qrcFile);
    qrc << "<RCC>\n  <qresource prefix=\"/player_images\">\n";
    const bool ok = writeList(out, qrc, QStringLiteral("toolbar"), resources::drawToolbarImages()) &&
                    writeList(out, qrc, QStringLiteral("kinds"), resources::drawKindMenuImages()) &&
                    writeList(out, qrc, QStringLiteral("vehicles"), resources::drawVehicleImages()) &&
                    writeList(out, qrc, QStringLiteral("menubutton"), {resources::drawMenuButtonImage()});
    qrc << "  </qresource>\n</RCC>\n";
    qrc.flush();
    if (!ok || qrc.status() != QTextStream::Ok) {
        std::fprintf(stderr, "make_player_images: cannot write to %s\n", argv[1]);
        return 1;
    }
    return 0;
}
