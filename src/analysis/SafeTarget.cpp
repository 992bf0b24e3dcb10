#include "analysis/SafeTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include "common/FileReplace.h"

namespace telvika::analysis {

TSafeTarget::TSafeTarget(const QString& target) : target_(target) {
    // Beside the file that will be replaced: a symbolic link's target may lie in another folder.
    const QFileInfo info(replacedFile(target));
    const QString suffix = info.suffix().isEmpty() ? QString() : QStringLiteral(".") + info.suffix();
    const QString tag = QString::number(QRandomGenerator::global()->generate64(), 36);
    temp_ = info.dir().filePath(QStringLiteral(".%1.%2.tmp%3").arg(info.completeBaseName(), tag, suffix));
}

TSafeTarget::~TSafeTarget() {
    if (!committed_) QFile::remove(temp_);
}

bool TSafeTarget::commit(QString* error) {
    if (!QFileInfo(temp_).isFile()) {
        if (error) *error = saveFailedText(target_, QStringLiteral("файл не был записан"));
        return false;
    }
    QString reason;
    if (!replaceFileWith(temp_, target_, &reason)) {
        if (error) *error = saveFailedText(target_, reason);
        return false;
    }
    committed_ = true;
    return true;
}

QString saveFailedText(const QString& target, const QString& reason) {
    return QStringLiteral("Не удалось сохранить файл «%1»: %2").arg(QDir::toNativeSeparators(target), reason);
}

}  // namespace telvika::analysis
