#include "analysis/SafeTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <filesystem>
#include <system_error>

namespace telvika::analysis {

TSafeTarget::TSafeTarget(const QString& target) : target_(target) {
    const QFileInfo info(target);
    const QString suffix = info.suffix().isEmpty() ? QString() : QStringLiteral(".") + info.suffix();
    const QString tag = QString::number(QRandomGenerator::global()->generate64(), 36);
    temp_ = info.dir().filePath(QStringLiteral(".%1.%2.tmp%3").arg(info.completeBaseName(), tag, suffix));
}

TSafeTarget::~TSafeTarget() {
    if (!committed_) QFile::remove(temp_);
}

bool TSafeTarget::commit(QString* error) {
    const QFileInfo written(temp_);
    if (!written.isFile()) {
        if (error) *error = saveFailedText(target_, QStringLiteral("файл не был записан"));
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(temp_.toStdU16String()),
                            std::filesystem::path(target_.toStdU16String()), ec);
    if (ec) {
        if (error) *error = saveFailedText(target_, QString::fromLocal8Bit(ec.message()));
        return false;
    }
    committed_ = true;
    return true;
}

QString saveFailedText(const QString& target, const QString& reason) {
    return QStringLiteral("Не удалось сохранить файл «%1»: %2").arg(QDir::toNativeSeparators(target), reason);
}

}  // namespace telvika::analysis
