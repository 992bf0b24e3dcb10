#include "app/ui/TImageList.h"

TImageList::TImageList(const QString& name, const QSize& size, const QVector<QImage>& images, QObject* parent)
    : QObject(parent), size_(size) {
    setObjectName(name);
    images_.reserve(images.size());
    for (const QImage& img : images)
        images_.push_back(img.size() == size ? img : img.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

QImage TImageList::image(int index) const {
    if (index < 0 || index >= images_.size()) return QImage();
    return images_[index];
}
