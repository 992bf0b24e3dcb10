// Resource bundles as the control reads them (made here by the real rcc) and font fallback.

#include "FontResolver.h"
#include "IconLibrary.h"

#include <QtTest>

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

using namespace mvx;

class TestIconsFonts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void opaquePictureTakesTheKeyAsTransparent();
    void bundleIsRegisteredOnceAndFoundWhateverTheCase();
    void missingBundleIsPickedUpWhenItAppears();
    void fontFallbackCoversCyrillic();

private:
    // Packs `pictures` (number -> image) into folder/name with rcc --binary.
    bool makeBundle(const QString& folder, const QString& name, const QMap<int, QImage>& pictures);
    QTemporaryDir dir_;
    QString resources_;
};

void TestIconsFonts::initTestCase() {
    QVERIFY(dir_.isValid());
    resources_ = dir_.filePath(QStringLiteral("RESOURCES"));
    QVERIFY(QDir().mkpath(resources_));
}

bool TestIconsFonts::makeBundle(const QString& folder, const QString& name, const QMap<int, QImage>& pictures) {
    const QString work = dir_.filePath(QStringLiteral("work-") + name);
    QDir().mkpath(work);
    QString qrc = QStringLiteral("<RCC><qresource prefix=\"/icons\">");
    for (auto it = pictures.cbegin(); it != pictures.cend(); ++it) {
        const QString file = QStringLiteral("%1.png").arg(it.key());
        if (!it.value().save(work + u'/' + file)) return false;
        qrc += QStringLiteral("<file>%1</file>").arg(file);
    }
    qrc += QStringLiteral("</qresource></RCC>");
    QFile f(work + QStringLiteral("/b.qrc"));
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write(qrc.toUtf8());
    f.close();
    QProcess rcc;
    rcc.setWorkingDirectory(work);
    rcc.start(QStringLiteral(MVX_RCC), {QStringLiteral("--binary"), QStringLiteral("b.qrc"), QStringLiteral("-o"),
                                        folder + u'/' + name});
    return rcc.waitForFinished(30000) && rcc.exitStatus() == QProcess::NormalExit && rcc.exitCode() == 0;
}

void TestIconsFonts::opaquePictureTakesTheKeyAsTransparent() {
    // A picture without alpha: magenta ground, a black square in the middle.
    QImage pic(20, 20, QImage::Format_RGB32);
    pic.fill(QColor(255, 0, 255));
    QPainter(&pic).fillRect(QRect(5, 5, 10, 10), Qt::black);
    QImage withAlpha(20, 20, QImage::Format_ARGB32);
    withAlpha.fill(QColor(255, 0, 255));  // opaque magenta, but a picture with alpha keeps it
    QVERIFY(makeBundle(resources_, QStringLiteral("keyed.res"), {{1, pic}, {2, withAlpha}}));
    IconLibrary icons;
    icons.setFolder(resources_);
    const QImage keyed = icons.icon(QStringLiteral("keyed.res"), 1, 20, QColor(255, 0, 255));
    QCOMPARE(keyed.size(), QSize(20, 20));
    QCOMPARE(keyed.format(), QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(qAlpha(keyed.pixel(1, 1)), 0);
    QCOMPARE(keyed.pixel(10, 10), qRgba(0, 0, 0, 255));
    QCOMPARE(qAlpha(icons.icon(QStringLiteral("keyed.res"), 2, 20, QColor(255, 0, 255)).pixel(1, 1)), 255);
    // Scaled into the requested square, aspect kept.
    const QImage small = icons.icon(QStringLiteral("keyed.res"), 1, 10, QColor(255, 0, 255));
    QCOMPARE(small.size(), QSize(10, 10));
    QCOMPARE(qAlpha(small.pixel(5, 5)), 255);
    QVERIFY(icons.icon(QStringLiteral("keyed.res"), 3, 20, Qt::black).isNull());  // no such icon
}

void TestIconsFonts::bundleIsRegisteredOnceAndFoundWhateverTheCase() {
    QImage red(8, 8, QImage::Format_ARGB32);
    red.fill(Qt::red);
    QVERIFY(makeBundle(resources_, QStringLiteral("TVCase.res"), {{7, red}}));
    IconLibrary icons;
    icons.setFolder(resources_);
    QCOMPARE(icons.icon(QStringLiteral("tvcase.RES"), 7, 8, Qt::black).pixel(4, 4), qRgb(255, 0, 0));
    QVERIFY(icons.hasBundle(QStringLiteral("TVCase.res")));
    QCOMPARE(icons.loadedBundles(), QStringList{QStringLiteral("tvcase.res")});
    // Once loaded the bundle is kept: replacing the file does not change what is shown.
    QImage blue(8, 8, QImage::Format_ARGB32);
    blue.fill(Qt::blue);
    QVERIFY(QFile::remove(resources_ + QStringLiteral("/TVCase.res")));
    QVERIFY(makeBundle(resources_, QStringLiteral("TVCase.res"), {{7, blue}}));
    QCOMPARE(icons.icon(QStringLiteral("TVCase.res"), 7, 8, Qt::black).pixel(4, 4), qRgb(255, 0, 0));
    // Names that could leave the folder are refused.
    QVERIFY(!icons.hasBundle(QStringLiteral("../RESOURCES/TVCase.res")));
}

void TestIconsFonts::missingBundleIsPickedUpWhenItAppears() {
    IconLibrary icons;
    icons.setFolder(resources_);
    QVERIFY(icons.icon(QStringLiteral("late.res"), 1, 8, Qt::black).isNull());
    QVERIFY(icons.icon(QStringLiteral("late.res"), 1, 8, Qt::black).isNull());  // asked again: still quiet
    QImage green(8, 8, QImage::Format_ARGB32);
    green.fill(Qt::green);
    QVERIFY(makeBundle(resources_, QStringLiteral("late.res"), {{1, green}}));
    QCOMPARE(icons.icon(QStringLiteral("late.res"), 1, 8, Qt::black).pixel(4, 4), qRgb(0, 255, 0));
    // A bundle file that is not a resource file is refused without harm.
    QFile junk(resources_ + QStringLiteral("/junk.res"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(300, 'x'));
    junk.close();
    QVERIFY(icons.icon(QStringLiteral("junk.res"), 1, 8, Qt::black).isNull());
}

void TestIconsFonts::fontFallbackCoversCyrillic() {
    for (const QString& face : {QStringLiteral("Arial"), QStringLiteral("No Such Face")}) {
        const QString family = FontResolver::family(face, 204);
        QVERIFY(QFontDatabase::families().contains(family));
        QVERIFY2(QFontDatabase::writingSystems(family).contains(QFontDatabase::Cyrillic), qPrintable(family));
    }
    QCOMPARE(FontResolver::family(QStringLiteral("No Such Face"), 204), QStringLiteral("DejaVu Sans"));
    const QFont f = FontResolver::resolve(QStringLiteral("Arial"), 204, 10.0);
    QCOMPARE(f.pointSizeF(), 10.0);
}

QTEST_MAIN(TestIconsFonts)
#include "tst_icons_fonts.moc"
