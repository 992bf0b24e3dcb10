#include "app/PlayerApplication.h"

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "common/LocaleSetup.h"

namespace telvika {

namespace {

// The texts of the file dialog's type column, which Debian's Russian catalogue of Qt 6.4 lacks.
class TFileTypeTexts : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0) return QString();
        if (qstrcmp(source, "Folder") == 0) return QStringLiteral("Папка");
        if (qstrcmp(source, "Drive") == 0) return QStringLiteral("Диск");
        if (qstrcmp(source, "Shortcut") == 0) return QStringLiteral("Ярлык");
        if (qstrcmp(source, "Unknown") == 0) return QStringLiteral("Неизвестный");
        return QString();
    }
};

}  // namespace

void setUpPlayerApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("telvika-player"));
    applyUserLocale();
    loadQtRussianTexts();
    installDesignFonts();
}

bool loadQtRussianTexts() {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(new TFileTypeTexts(QCoreApplication::instance()));
    return QCoreApplication::installTranslator(translator);
}

QString installDesignFonts() {
    const QString tahoma = QStringLiteral("Tahoma");
    if (!QFontDatabase::hasFamily(tahoma)) {
        const QDir folder(TahomaFolder);
        for (const QString& file : {QStringLiteral("tahoma.ttf"), QStringLiteral("tahomabd.ttf")})
            if (folder.exists(file)) QFontDatabase::addApplicationFont(folder.filePath(file));
    }
    const QString arial = QStringLiteral("Arial");
    const QString liberation = QStringLiteral("Liberation Sans");
    if (!QFontDatabase::hasFamily(arial) && QFontDatabase::hasFamily(liberation))
        QFont::insertSubstitution(arial, liberation);
    return QFontInfo(QFont(tahoma, 8)).family();
}

}  // namespace telvika
