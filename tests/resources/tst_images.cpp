// The player's image lists and the icon bundles made at build time: counts, sizes, the motifs'
// distinctness, and that the vehicle pictures of IconsList and TVAllTS.res are the same.

#include "PlayerImages.h"

#include <QtTest>

#include <QFile>
#include <QPainter>
#include <QResource>
#include <QSet>

namespace {

// Mean absolute channel difference of two images of the same size.
double meanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_ARGB32), y = b.convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    for (int r = 0; r < x.height(); ++r)
        for (int c = 0; c < x.width(); ++c) {
            const QRgb p = x.pixel(c, r), q = y.pixel(c, r);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

int opaquePixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += qAlpha(img.pixel(x, y)) > 128;
    return n;
}

QByteArray bytesOf(const QImage& img) {
    const QImage c = img.convertToFormat(QImage::Format_ARGB32);
    return QByteArray(reinterpret_cast<const char*>(c.constBits()), c.sizeInBytes());
}

}  // namespace

class TestImages : public QObject {
    Q_OBJECT
private slots:
    void toolbarList();
    void kindMenuList();
    void vehicleList();
    void bundlesHoldNumberedIcons();
    void iconsListMatchesVehicleBundle();
};

void TestImages::toolbarList() {
    const QVector<QImage> images = resources::toolbarImages();
    QCOMPARE(images.size(), 31);
    QSet<QByteArray> distinct;
    for (const QImage& img : images) {
        QCOMPARE(img.size(), QSize(16, 16));
        QVERIFY(img.hasAlphaChannel());
        QCOMPARE(qAlpha(img.pixel(0, 0)), 0);  // round button: the corners are clear
        QVERIFY(qAlpha(img.pixel(8, 8)) == 255);
        distinct.insert(bytesOf(img));
    }
    QCOMPARE(distinct.size(), 31);
    // A white symbol on the dark button: the used images have light pixels in their middle.
    for (int i : {9, 10, 28, 29, 30}) {
        int light = 0;
        for (int y = 4; y < 12; ++y)
            for (int x = 4; x < 12; ++x) light += qGray(images[i].pixel(x, y)) > 170;
        QVERIFY2(light >= 4, qPrintable(QString::number(i)));
    }
}

void TestImages::kindMenuList() {
    const QVector<QImage> images = resources::kindMenuImages();
    QCOMPARE(images.size(), 24);
    QSet<QByteArray> shown;
    for (int i = 0; i < 24; ++i) QCOMPARE(images[i].size(), QSize(16, 16));
    for (int i = 0; i < 12; ++i) {
        shown.insert(bytesOf(images[i]));
        // The hidden variant has the same shape, only grey.
        QCOMPARE(opaquePixels(images[i + 12]), opaquePixels(images[i]));
        QVERIFY(bytesOf(images[i]) != bytesOf(images[i + 12]));
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const QColor c = images[i + 12].pixelColor(x, y);
                if (c.alpha() > 200) QVERIFY(std::abs(c.red() - c.blue()) < 8);
            }
    }
    QCOMPARE(shown.size(), 12);
    // Image 0 is a blue P.
    int blue = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const QColor c = images[0].pixelColor(x, y);
            blue += c.alpha() > 200 && c.blue() > c.red() + 80;
        }
    QVERIFY(blue > 20);
}

void TestImages::vehicleList() {
    const QVector<QImage> images = resources::vehicleImages();
    QCOMPARE(images.size(), 168);
    QSet<QByteArray> distinct;
    for (const QImage& img : images) {
        QCOMPARE(img.size(), QSize(48, 48));
        QCOMPARE(img.pixelColor(0, 0), QColor(Qt::black));
        QCOMPARE(img.pixelColor(47, 47), QColor(Qt::black));
        int drawn = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 48; ++x) drawn += img.pixel(x, y) != qRgb(0, 0, 0);
        QVERIFY(drawn > 150);
        distinct.insert(bytesOf(img));
    }
    QCOMPARE(distinct.size(), 168);
}

void TestImages::bundlesHoldNumberedIcons() {
    const QString dir = QStringLiteral(TELVIKA_BIN_DIR);
    QVERIFY(QResource::registerResource(dir + QStringLiteral("/TVIcons.res"), QStringLiteral("/kinds")));
    QVERIFY(QResource::registerResource(dir + QStringLiteral("/TVAllTS.res"), QStringLiteral("/cars")));
    for (int n = 0; n <= 12; ++n) {
        const QImage img(QStringLiteral(":/kinds/icons/%1.png").arg(n));
        QVERIFY2(!img.isNull(), qPrintable(QString::number(n)));
        QVERIFY(img.width() >= 35 && img.width() == img.height());
        QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
    }
    QVERIFY(QImage(QStringLiteral(":/kinds/icons/13.png")).isNull());
    for (int n = 1; n <= 168; ++n) QVERIFY2(!QImage(QStringLiteral(":/cars/icons/%1.png").arg(n)).isNull(), qPrintable(QString::number(n)));
    QVERIFY(QImage(QStringLiteral(":/cars/icons/0.png")).isNull());
    QVERIFY(QImage(QStringLiteral(":/cars/icons/169.png")).isNull());
    // Refuelling (5) and drain (6) differ.
    QVERIFY(bytesOf(QImage(QStringLiteral(":/kinds/icons/5.png"))) != bytesOf(QImage(QStringLiteral(":/kinds/icons/6.png"))));
}

void TestImages::iconsListMatchesVehicleBundle() {
    QVERIFY(QResource::registerResource(QStringLiteral(TELVIKA_BIN_DIR "/TVAllTS.res"), QStringLiteral("/same")));
    const QVector<QImage> list = resources::vehicleImages();
    for (int n : {0, 1, 13, 14, 57, 100, 165, 167}) {
        // The bundle picture on black at the list's size against the list image, and against
        // another vehicle as the yardstick of a real difference.
        const QImage pic(QStringLiteral(":/same/icons/%1.png").arg(n + 1));
        QImage onBlack(48, 48, QImage::Format_ARGB32_Premultiplied);
        onBlack.fill(Qt::black);
        QPainter p(&onBlack);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRectF(1, 1, 46, 46), pic);
        p.end();
        const double same = meanDifference(onBlack, list[n]);
        const double other = meanDifference(onBlack, list[(n + 15) % 168]);
        QVERIFY2(same < 6.0 && same * 3 < other, qPrintable(QStringLiteral("%1: %2 vs %3").arg(n).arg(same).arg(other)));
    }
}

QTEST_MAIN(TestImages)
#include "tst_images.moc"
