#pragma once

#include <QByteArray>
#include <QString>

namespace telvika {

// Replaces the whole content of a file in one step: the bytes go to a new file beside it, every
// write and the flush are checked, the data is forced to the disk, and only then is the new file
// renamed over the old one. On any failure (a full disk, a size limit, no right to write) the
// temporary file is removed and the old file stays byte for byte; error then holds a Russian
// phrase saying what failed (the system's own text may follow in brackets), to be put into the
// caller's sentence naming the file. A symbolic link is followed: its target is replaced, and an
// existing file's permissions carry over to the new one.
//
// QSaveFile is not used for this: in Qt 6.4 its commit() reports success when the final write of
// a small buffered file fails, which empties the file on a full disk.
bool replaceFileContents(const QString& path, const QByteArray& bytes, QString* error = nullptr);

}  // namespace telvika
