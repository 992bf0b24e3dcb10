#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "common/Error.h"
#include "common/FileReplace.h"

namespace telvika {

QDomDocument parseSettingsDocument(const QByteArray& bytes, const QString& path) {
    QDomDocument doc;
    QString message;
    int line = 0;
    int column = 0;
    if (!doc.setContent(bytes, false, &message, &line, &column)) {
        while (message.endsWith(QLatin1Char('.'))) message.chop(1);
        throw Error(QStringLiteral("Файл настроек %1 не является правильным XML-документом (строка %2, "
                                   "позиция %3): %4.")
                        .arg(QDir::toNativeSeparators(path), QString::number(line), QString::number(column),
                             message));
    }
    return doc;
}

bool TSettingsFile::exists() const {
    return QFileInfo(path_).isFile();
}

void TSettingsFile::writeDefault() const {
    writeBytes(defaultSettingsDocument());
}

QDomDocument TSettingsFile::open() const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Не удалось открыть файл настроек %1: %2.")
                        .arg(QDir::toNativeSeparators(path_), file.errorString()));
    return parseSettingsDocument(file.readAll(), path_);
}

void TSettingsFile::save(const TSettingsValues& values) const {
    QDomDocument doc = exists() ? open() : parseSettingsDocument(settingsSkeleton(), path_);
    writeSettingsValues(doc, settingsElementOf(doc), values);
    writeBytes(serializeSettingsDocument(doc));
}

void TSettingsFile::writeBytes(const QByteArray& bytes) const {
    QString reason;
    if (!replaceFileContents(path_, bytes, &reason))
        throw Error(QStringLiteral("Не удалось записать файл настроек %1: %2. Прежний файл не изменён.")
                        .arg(QDir::toNativeSeparators(path_), reason));
}

bool writeSettingsFile(const QString& path, const TSettingsValues& values, QString* error) {
    try {
        QDomDocument doc = parseSettingsDocument(settingsSkeleton(), path);
        writeSettingsValues(doc, settingsElementOf(doc), values);
        TSettingsFile(path).writeBytes(serializeSettingsDocument(doc));
        return true;
    } catch (const Error& e) {
        if (error) *error = e.message();
        return false;
    }
}

}  // namespace telvika
