#pragma once

#include <QImage>
#include <QVector>

namespace resources {

// The main window's image lists, drawn at build time and compiled into the program.

// ImageList1: 31 images of 16 x 16, white symbols on round dark buttons; 9 a pin, 10 a letter P,
// 28 a zigzag line, 29 double chevrons, 30 a wrench.
QVector<QImage> toolbarImages();

// ImageList2: 24 images of 16 x 16; 0..11 the information-point kinds in menu order (a blue P,
// an antenna, a battery, a gauge, two fuel symbols, the digits 1 to 6), 12..23 the same greyed.
QVector<QImage> kindMenuImages();

// IconsList: 168 images of 48 x 48 on black, the same vehicle pictures as the TVAllTS.res bundle
// (image n here is icon n + 1 there).
QVector<QImage> vehicleImages();

// The kind-menu button: a white down triangle on a dark rounded button, 14 x 20.
QImage menuButtonImage();

}  // namespace resources
