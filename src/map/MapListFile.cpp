#include "map/MapListFile.h"

#include <QDir>
#include <QHash>

#include <algorithm>

#include "map/IniDocument.h"

namespace telvika::maplist {

QString filePath(const QString& folder) { return QDir(folder).filePath(FileName); }

QString mapKey(int position) { return QStringLiteral("Map%1").arg(position); }

int readMapCount(const TIniDocument& ini) {
    return std::clamp(ini.readInteger(Section, CountKey, 0), 0, MaxMapCount);
}

int readMapCount(const QString& path) { return readMapCount(TIniDocument::load(path)); }

QStringList readMapPaths(const QString& path) { return readMapPaths(TIniDocument::load(path)); }

QStringList readMapPaths(const TIniDocument& ini) {
    const int n = readMapCount(ini);
    // One pass over the section, not one per position: a long list must not read in quadratic time.
    QHash<QString, QString> values;
    for (const auto& [key, value] : ini.readSection(Section)) {
        const QString folded = key.toCaseFolded();
        if (!values.contains(folded)) values.insert(folded, value);
    }
    QStringList paths;
    paths.reserve(n);
    for (int i = 1; i <= n; ++i) paths.append(values.value(mapKey(i).toCaseFolded()));
    return paths;
}

bool writeMapPaths(TIniDocument& ini, const QStringList& paths, QString* error) {
    TIniDocument::KeyValues keys;
    keys.append({CountKey, QString::number(paths.size())});
    for (int i = 0; i < paths.size(); ++i) keys.append({mapKey(i + 1), paths[i]});
    return ini.writeKeys(Section, keys, error);
}

bool writeMapPaths(const QString& path, const QStringList& paths, QString* error) {
    TIniDocument ini = TIniDocument::load(path);
    return writeMapPaths(ini, paths, error) && ini.save(path, error);
}

}  // namespace telvika::maplist
