#pragma once

#include <QByteArray>
#include <QDomDocument>
#include <QString>

#include "settings/SettingsDocument.h"

namespace telvika {

// The settings file on disk. Every write replaces the whole file in one step (a temporary file
// beside it, renamed over it), so that a crash or a kill during a write leaves either the old or
// the new file, never a truncated one. Failures throw telvika::Error with a message for the user.
class TSettingsFile {
public:
    explicit TSettingsFile(QString path) : path_(std::move(path)) {}

    const QString& path() const { return path_; }
    bool exists() const;

    // Writes the default document (replacing the file when there is one).
    void writeDefault() const;
    // Reads and parses the file.
    QDomDocument open() const;

    // Writes the values into the file's document and writes it back. The document is the file's
    // own when there is a file (its Settings element is emptied and refilled), the one-line
    // skeleton otherwise. A file that is not well-formed or whose root has no child element fails
    // and is left unchanged.
    void save(const TSettingsValues& values) const;

    // Writes bytes as the whole file in one step.
    void writeBytes(const QByteArray& bytes) const;

private:
    QString path_;
};

// The document of the bytes of a settings file; throws telvika::Error naming the path, the line
// and the column when the bytes are not a well-formed XML document.
QDomDocument parseSettingsDocument(const QByteArray& bytes, const QString& path);

// A settings document holding exactly these values, written to path in one step (tools and the
// demo use it to preset a group, vehicle and period). False with a message on failure.
bool writeSettingsFile(const QString& path, const TSettingsValues& values, QString* error);

}  // namespace telvika
