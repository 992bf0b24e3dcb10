#pragma once

#include <QImage>
#include <QVector>

namespace resources {

// Draws the pictures of the main window's image lists. Used at build time by make_player_images,
// which stores them as PNG files compiled into the player (see PlayerImages.h).
QVector<QImage> drawToolbarImages();   // 31 images of 16 x 16
QVector<QImage> drawKindMenuImages();  // 24 images of 16 x 16
QVector<QImage> drawVehicleImages();   // 168 images of 48 x 48 on black
// The picture of the small button that opens the kind menu: a white down triangle on a dark
// rounded button, in the look of the toolbar images; 14 x 20.
QImage drawMenuButtonImage();

}  // namespace resources
