#include "app/PlayerImages.h"

#ifdef TELVIKA_HAVE_PLAYER_IMAGES
#include "PlayerImageLists.h"
QVector<QImage> playerToolbarImages() { return toolbarImages(); }
QVector<QImage> playerKindMenuImages() { return kindMenuImages(); }
QVector<QImage> playerVehicleImages() { return vehicleImages(); }
#else
QVector<QImage> playerToolbarImages() { return {}; }
QVector<QImage> playerKindMenuImages() { return {}; }
QVector<QImage> playerVehicleImages() { return {}; }
#endif
