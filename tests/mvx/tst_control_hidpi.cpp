// The map control on a screen of twice the device pixels, as on a 200 % screen: the whole test runs
// with QT_SCALE_FACTOR=2 (set before the application starts). The map is drawn at the screen's own
// pixels, not drawn at half of them and scaled up, and a pan still shows what a fresh drawing shows.

#include "ChartFixture.h"
#include "chart/ChartCollection.h"
#include "core/Projection.h"
#include "mvx/IMVControl.h"

#include <QtTest>

#include <QLibrary>
#include <QPainter>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>

#include <memory>

using namespace mvx;

namespace {

const bool twiceThePixels = qputenv("QT_SCALE_FACTOR", "2");

int differing(const QImage& a, const QImage& b, int tolerance) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            n += std::abs(p.red() - q.red()) > tolerance || std::abs(p.green() - q.green()) > tolerance ||
                 std::abs(p.blue() - q.blue()) > tolerance;
        }
    return n;
}

}  // namespace

class TestControlHiDpi : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void mapIsDrawnAtTheScreensPixels();

private:
    struct Hosted {
        std::unique_ptr<QWidget> host;
        IMVControl* map = nullptr;
    };
    Hosted make();
    QImage drawnByCharts(double ratio, double dpi) const;

    QLibrary library_;
    MvxCreateControlFn create_ = nullptr;
    QTemporaryDir dir_;
    QString chart_;
};

void TestControlHiDpi::initTestCase() {
    QVERIFY(twiceThePixels);
    library_.setFileName(QStringLiteral(TELVIKA_BIN_DIR "/mvx"));
    QVERIFY2(library_.load(), qPrintable(library_.errorString()));
    create_ = reinterpret_cast<MvxCreateControlFn>(library_.resolve(MVX_CREATE_CONTROL_SYMBOL));
    QVERIFY(create_);
    QVERIFY(dir_.isValid());
    // A forest with a lake in it and a road across: edges of every kind at a slant.
    ChartFixture fx;
    fx.addArea({{{49.00, 55.70}, {49.20, 55.73}, {49.17, 55.90}, {49.00, 55.90}},
                {{49.08, 55.78}, {49.12, 55.79}, {49.10, 55.81}}},
               {{QStringLiteral("landuse"), QStringLiteral("forest")}});
    fx.addLine({{48.95, 55.76}, {49.25, 55.83}}, {{QStringLiteral("highway"), QStringLiteral("primary")}});
    chart_ = dir_.filePath(QStringLiteral("forest.chart"));
    QString error;
    QVERIFY2(fx.write(chart_, &error), qPrintable(error));
}

TestControlHiDpi::Hosted TestControlHiDpi::make() {
    Hosted h;
    h.host = std::make_unique<QWidget>();
    h.map = create_(h.host.get());
    auto* layout = new QVBoxLayout(h.host.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(h.map->widget());
    h.host->resize(400, 300);
    h.host->show();
    if (!QTest::qWaitForWindowExposed(h.host.get())) qFatal("window not exposed");
    h.map->LoadMap(chart_, QString());
    h.map->SetCenter(55.80, 49.10);
    h.map->SetCurScale(20000.0);
    return h;
}

// The control's view drawn straight by the charts, at the given device pixels per pixel.
QImage TestControlHiDpi::drawnByCharts(double ratio, double dpi) const {
    ChartCollection charts;
    charts.load(chart_);
    MapView view(lonLatToMercator(49.10, 55.80), 1.0, QSize(400, 300));
    view.setScaleDenominator(20000.0, dpi);
    const QSize pixels(qRound(400 * ratio), qRound(300 * ratio));
    const MapView device(view.center(), view.mercatorPerPixel() / ratio, pixels);
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    RenderOptions options;
    options.pixelRatio = ratio;
    charts.render(painter, device, options);
    return image;
}

void TestControlHiDpi::mapIsDrawnAtTheScreensPixels() {
    Hosted h = make();
    QCOMPARE(h.map->widget()->devicePixelRatioF(), 2.0);
    const QImage shot = h.map->widget()->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(shot.size(), QSize(800, 600));
    // What the charts draw at twice the pixels, and not the picture of half of them scaled up.
    const double dpi = h.map->widget()->logicalDpiX();
    QCOMPARE(differing(shot, drawnByCharts(2.0, dpi), 2), 0);
    const QImage scaledUp = drawnByCharts(1.0, dpi).scaled(800, 600, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QVERIFY(differing(shot, scaledUp, 24) > 300);

    // A drag reuses the shifted picture, in device pixels, and shows what a fresh drawing shows.
    QWidget* w = h.map->widget();
    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(200, 150));
    for (int i = 1; i <= 6; ++i) {
        QTest::mouseMove(w, QPoint(200 - 9 * i, 150 + 5 * i));
        w->grab();
    }
    const QImage afterPan = w->grab().toImage();
    QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(146, 180));
    Hosted fresh = make();
    double lat, lon;
    h.map->GetCenter(lat, lon);
    fresh.map->SetCenter(lat, lon);
    QCOMPARE(differing(afterPan, fresh.map->widget()->grab().toImage(), 0), 0);
}

QTEST_MAIN(TestControlHiDpi)
#include "tst_control_hidpi.moc"
