#include "MapListFuzz.h"

#include <cstdio>
#include <algorithm>
#include <cstdlib>

#include "map/IniDocument.h"
#include "map/MapListFile.h"

using namespace telvika;

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "map list fuzz: %s\n", what);
    std::abort();
}

// The document the player reads from the bytes of a file.
TIniDocument documentOf(const QByteArray& bytes) {
    return TIniDocument::fromText(QString::fromUtf8(bytes));
}

bool fitsOnOneLine(const QString& s) {
    return !s.contains(u'\n') && !s.contains(u'\r') && !s.contains(QChar(0));
}

// Writes the paths, saves and reads the file's bytes again; the list must read back as written.
void writeAndCheck(TIniDocument ini, const QStringList& paths) {
    QString error;
    if (!maplist::writeMapPaths(ini, paths, &error)) {
        if (error.isEmpty()) fail("a refused write without a message");
        if (std::all_of(paths.begin(), paths.end(), fitsOnOneLine)) fail("a one-line path list was refused");
        return;
    }
    const TIniDocument back = documentOf(ini.text().toUtf8());
    if (maplist::readMapCount(back) != paths.size()) fail("MapCount read back differs");
    if (maplist::readMapPaths(back) != paths) fail("the paths read back differ");
}

}  // namespace

int runMapListFuzzInput(const uint8_t* data, size_t size) {
    const TIniDocument ini = documentOf(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const int count = maplist::readMapCount(ini);
    if (count < 0 || count > maplist::MaxMapCount) fail("MapCount out of range");
    const QStringList paths = maplist::readMapPaths(ini);
    if (paths.size() != count) fail("the number of paths is not MapCount");
    writeAndCheck(ini, paths);
    if (!paths.isEmpty()) writeAndCheck(ini, paths.mid(0, paths.size() - 1));
    return count;
}
