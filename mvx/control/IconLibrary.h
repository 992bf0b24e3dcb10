#pragma once

#include <QColor>
#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>

namespace mvx {

// The icon pictures of resource bundles: Qt binary resource files (rcc --binary) holding numbered
// images as /icons/<n>.png. A bundle is looked up by file name in the resource folder, registered
// once and kept; scaled pictures are cached per icon and size, premultiplied for fast drawing.
class IconLibrary {
public:
    IconLibrary() = default;
    ~IconLibrary();
    IconLibrary(const IconLibrary&) = delete;
    IconLibrary& operator=(const IconLibrary&) = delete;

    // The folder holding the bundles; changing it forgets every bundle and picture.
    void setFolder(const QString& folder);
    QString folder() const { return folder_; }

    // Device pixels per pixel of the screen's own measure: pictures are made with that many more
    // pixels (and say so), so that they are drawn sharp on a screen of more device pixels.
    void setPixelRatio(double ratio) { ratio_ = ratio > 0 ? ratio : 1.0; }

    // Icon number `index` of the bundle scaled into a size x size square (aspect kept, centred).
    // Pictures without an alpha channel take `key` as their transparent colour. A null image when
    // the bundle or the icon is missing; each such failure is logged once.
    QImage icon(const QString& bundle, int index, int size, const QColor& key);

    // Whether the bundle can be (or has been) loaded, loading it if needed.
    bool hasBundle(const QString& bundle);
    QStringList loadedBundles() const;

private:
    struct Bundle {
        QString path;
        QString root;  // where its resources are mapped
        bool ok = false;
        QString failedStamp;  // existence and time of the file when loading failed
    };
    Bundle* bundle(const QString& name);
    void warnOnce(const QString& message);
    void clear();

    QString folder_;
    QHash<QString, Bundle> bundles_;  // by lower-case file name
    QHash<QString, QImage> scaled_;   // by bundle|index|size|key
    QHash<QString, bool> warned_;
    int nextRoot_ = 0;
    double ratio_ = 1.0;
};

}  // namespace mvx
