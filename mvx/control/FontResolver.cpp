#include "FontResolver.h"

#include <QFontDatabase>
#include <QHash>

namespace mvx {

namespace {

// Windows charset numbers that name a script we must be able to show.
QFontDatabase::WritingSystem scriptOf(int charset) {
    switch (charset) {
        case 204: return QFontDatabase::Cyrillic;
        case 161: return QFontDatabase::Greek;
        default: return QFontDatabase::Latin;
    }
}

bool covers(const QString& family, QFontDatabase::WritingSystem ws) {
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive) &&
           QFontDatabase::writingSystems(family).contains(ws);
}

}  // namespace

QString FontResolver::family(const QString& face, int charset) {
    static QHash<QString, QString> cache;
    const QString key = face + QLatin1Char('|') + QString::number(charset);
    auto it = cache.constFind(key);
    if (it != cache.constEnd()) return *it;
    const auto ws = scriptOf(charset);
    QString chosen;
    if (covers(face, ws))
        chosen = face;
    else if (covers(QStringLiteral("DejaVu Sans"), ws))
        chosen = QStringLiteral("DejaVu Sans");
    else
        chosen = QFont().family();
    cache.insert(key, chosen);
    return chosen;
}

QFont FontResolver::resolve(const QString& face, int charset, double pointSize) {
    QFont f(family(face, charset));
    f.setPointSizeF(pointSize);
    return f;
}

}  // namespace mvx
