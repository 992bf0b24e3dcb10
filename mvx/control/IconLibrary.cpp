#include "IconLibrary.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPainter>
#include <QResource>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcMvxIcons, "mvx.icons")

namespace mvx {

namespace {

QString stampOf(const QString& path) {
    const QFileInfo fi(path);
    return fi.exists() ? fi.lastModified().toString(Qt::ISODateWithMs) + QString::number(fi.size()) : QString();
}

}  // namespace

IconLibrary::~IconLibrary() { clear(); }

void IconLibrary::clear() {
    for (const Bundle& b : std::as_const(bundles_))
        if (b.ok) QResource::unregisterResource(b.path, b.root);
    bundles_.clear();
    scaled_.clear();
    warned_.clear();
}

void IconLibrary::setFolder(const QString& folder) {
    if (folder == folder_) return;
    clear();
    folder_ = folder;
}

void IconLibrary::warnOnce(const QString& message) {
    if (warned_.contains(message)) return;
    warned_.insert(message, true);
    qCWarning(lcMvxIcons).noquote() << message;
}

IconLibrary::Bundle* IconLibrary::bundle(const QString& name) {
    const QString key = name.trimmed().toLower();
    if (key.isEmpty() || key.contains(u'/') || key.contains(u'\\')) {
        warnOnce(QStringLiteral("bad resource bundle name \"%1\"").arg(name));
        return nullptr;
    }
    auto it = bundles_.find(key);
    if (it != bundles_.end()) {
        if (it->ok) return &*it;
        if (stampOf(it->path) == it->failedStamp) return nullptr;  // unchanged since it failed
    }
    // The folder may spell the file name in another case (bundles come from a case-blind system).
    QString path = QDir(folder_).filePath(name.trimmed());
    if (!QFileInfo::exists(path)) {
        const QStringList entries = QDir(folder_).entryList(QDir::Files);
        for (const QString& e : entries)
            if (e.toLower() == key) path = QDir(folder_).filePath(e);
    }
    Bundle b;
    b.path = path;
    b.root = QStringLiteral("/mvxbundle%1").arg(++nextRoot_);
    b.ok = QFileInfo::exists(path) && QResource::registerResource(path, b.root);
    if (!b.ok) {
        b.failedStamp = stampOf(path);
        warnOnce(QStringLiteral("resource bundle \"%1\" cannot be loaded from %2").arg(name, folder_));
    }
    it = bundles_.insert(key, b);
    return it->ok ? &*it : nullptr;
}

bool IconLibrary::hasBundle(const QString& name) { return bundle(name) != nullptr; }

QStringList IconLibrary::loadedBundles() const {
    QStringList out;
    for (auto it = bundles_.cbegin(); it != bundles_.cend(); ++it)
        if (it->ok) out << it.key();
    out.sort();
    return out;
}

QImage IconLibrary::icon(const QString& name, int index, int size, const QColor& key) {
    // On a screen of more device pixels than its own measure, the picture has that many more, so
    // that it is drawn sharp at its size.
    const int pixels = std::max(1, static_cast<int>(std::lround(size * ratio_)));
    const QString cacheKey =
        QStringLiteral("%1|%2|%3|%4").arg(name.trimmed().toLower()).arg(index).arg(pixels).arg(key.rgb());
    auto cached = scaled_.constFind(cacheKey);
    if (cached != scaled_.constEnd()) return *cached;

    Bundle* b = bundle(name);
    if (!b) return QImage();
    QImage source(QStringLiteral(":%1/icons/%2.png").arg(b->root).arg(index));
    if (source.isNull()) {
        warnOnce(QStringLiteral("no icon %1 in resource bundle \"%2\"").arg(index).arg(name));
        scaled_.insert(cacheKey, QImage());
        return QImage();
    }
    if (!source.hasAlphaChannel()) {
        source = source.convertToFormat(QImage::Format_ARGB32);
        const QRgb transparent = key.rgb();
        for (int y = 0; y < source.height(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(source.scanLine(y));
            for (int x = 0; x < source.width(); ++x)
                if ((line[x] & 0xFFFFFF) == (transparent & 0xFFFFFF)) line[x] = 0;
        }
    }
    QImage out(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    {
        const QImage fitted = source.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QPainter p(&out);
        p.drawImage((pixels - fitted.width()) / 2, (pixels - fitted.height()) / 2, fitted);
    }
    out.setDevicePixelRatio(static_cast<double>(pixels) / size);
    scaled_.insert(cacheKey, out);
    return out;
}

}  // namespace mvx
