#include "map/MapListFile.h"

#include <QDir>

#include <algorithm>

#include "map/IniDocument.h"

namespace telvika::maplist {

namespace {

int countOf(const TIniDocument& ini) {
    return std::clamp(ini.readInteger(Section, CountKey, 0), 0, MaxMapCount);
}

}  // namespace

QString filePath(const QString& folder) { return QDir(folder).filePath(FileName); }

QString mapKey(int position) { return QStringLiteral("Map%1").arg(position); }

int readMapCount(const QString& path) { return countOf(TIniDocument::load(path)); }

QStringList readMapPaths(const QString& path) {
    const TIniDocument ini = TIniDocument::load(path);
    const int n = countOf(ini);
    QStringList paths;
    paths.reserve(n);
    for (int i = 1; i <= n; ++i) paths.append(ini.readString(Section, mapKey(i), QString()));
    return paths;
}

bool writeMapPaths(const QString& path, const QStringList& paths, QString* error) {
    TIniDocument ini = TIniDocument::load(path);
    TIniDocument::KeyValues keys;
    keys.append({CountKey, QString::number(paths.size())});
    for (int i = 0; i < paths.size(); ++i) keys.append({mapKey(i + 1), paths[i]});
    return ini.writeKeys(Section, keys, error) && ini.save(path, error);
}

}  // namespace telvika::maplist
