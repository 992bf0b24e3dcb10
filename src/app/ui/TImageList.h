#pragma once

#include <QIcon>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QSize>
#include <QVector>

// A list of equally sized images addressed by a 0-based index.
class TImageList : public QObject {
    Q_OBJECT
public:
    TImageList(const QString& name, const QSize& size, const QVector<QImage>& images, QObject* parent);

    int Count() const { return static_cast<int>(images_.size()); }
    QSize size() const { return size_; }
    // The image at index; a null image outside the list.
    QImage image(int index) const;
    QPixmap pixmap(int index) const { return QPixmap::fromImage(image(index)); }
    QIcon icon(int index) const { return QIcon(pixmap(index)); }

private:
    QSize size_;
    QVector<QImage> images_;
};
