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

// The target of path, where the new content of path must be written: a symbolic link's target,
// else path itself.
QString replacedFile(const QString& path);

// Puts a complete file written by someone else (a driver writing by name) in place of path, with
// the same steps: its data forced to the disk, the old file's permissions carried over, one rename
// over replacedFile(path). written must lie in the same folder as replacedFile(path). On failure
// written is left for the caller to remove and error holds the Russian phrase.
bool replaceFileWith(const QString& written, const QString& path, QString* error = nullptr);

}  // namespace telvika
