#include "PlayerImages.h"

#include <QString>

// The pictures were drawn at build time and compiled in as the resource "player_images".
static void initPlayerImages() { Q_INIT_RESOURCE(player_images); }

namespace resources {

namespace {

QVector<QImage> load(const QString& folder, int count) {
    initPlayerImages();
    QVector<QImage> out;
    out.reserve(count);
    for (int i = 0; i < count; ++i) {
        QImage img(QStringLiteral(":/player_images/%1/%2.png").arg(folder).arg(i));
        out << img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    return out;
}

}  // namespace

QVector<QImage> toolbarImages() { return load(QStringLiteral("toolbar"), 31); }
QVector<QImage> kindMenuImages() { return load(QStringLiteral("kinds"), 24); }
QVector<QImage> vehicleImages() { return load(QStringLiteral("vehicles"), 168); }
QImage menuButtonImage() { return load(QStringLiteral("menubutton"), 1).value(0); }

}  // namespace resources
