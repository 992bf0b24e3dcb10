#pragma once

#include <QString>
#include <QStringList>

#include "map/IniDocument.h"

namespace telvika {

// The list of maps loaded at every start: MapList.ini beside the executable, section MapList,
// key MapCount (the number of maps N) and keys Map1..MapN (the full path of each map, in list
// order). Keys beyond N that a longer list left behind stay in the file and are not read.
namespace maplist {

inline const QString Section = QStringLiteral("MapList");
inline const QString CountKey = QStringLiteral("MapCount");
inline const QString FileName = QStringLiteral("MapList.ini");

// A count above this is not a list anybody made; it is read as this many positions, so a damaged
// file cannot make the player allocate or try to load without bound.
constexpr int MaxMapCount = 4096;

// The load result code "Карта не загружена": what an entry reads as before the control answered.
constexpr int NotLoadedCode = 11;

// The file's path in a folder.
QString filePath(const QString& folder);

// The key of a list position (1-based): "Map1", "Map2", ...
QString mapKey(int position);

// MapCount of the file: missing, not a number or negative counts as 0; capped at MaxMapCount.
// A missing or unreadable file has no maps.
int readMapCount(const QString& path);

// The paths of positions 1..MapCount in order; a missing key is an empty path.
QStringList readMapPaths(const QString& path);

// The same reads and write on a document in memory.
int readMapCount(const TIniDocument& ini);
QStringList readMapPaths(const TIniDocument& ini);
bool writeMapPaths(TIniDocument& ini, const QStringList& paths, QString* error = nullptr);

// Writes MapCount = the number of paths and Map1..MapN = the paths in order, at the top of the
// section and in key order; every other line of the file stays as it was. The old file is only
// replaced by a complete new one. False with a message for the user on failure (nothing written).
bool writeMapPaths(const QString& path, const QStringList& paths, QString* error = nullptr);

}  // namespace maplist
}  // namespace telvika
