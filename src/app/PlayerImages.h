#pragma once

#include <QImage>
#include <QVector>

// The pictures of the main window's three image lists, made at build time.
QVector<QImage> playerToolbarImages();   // ImageList1: 31 images of 16 x 16
QVector<QImage> playerKindMenuImages();  // ImageList2: 24 images of 16 x 16
QVector<QImage> playerVehicleImages();   // IconsList: 168 images of 48 x 48 on black
