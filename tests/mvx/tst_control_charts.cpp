// The map control over real .chart base maps: the first map centres a view the host never set,
// and a pan that reuses the shifted base picture shows exactly what a fresh drawing shows.

#include "ChartFixture.h"
#include "mvx/IMVControl.h"

#include <QtTest>

#include <QLibrary>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>

#include <cmath>
#include <memory>

using namespace mvx;

namespace {

const QColor Land(242, 239, 233);
const QColor Forest(0xad, 0xd1, 0x9e);

}  // namespace

class TestControlCharts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void firstMapCentresAnUnsetView();
    void hostCentreWins();
    void panReusesTheBaseWithoutSeams();
    void closeMapRemovesTheBase();

private:
    struct Hosted {
        std::unique_ptr<QWidget> host;
        IMVControl* map = nullptr;
    };
    Hosted make();

    QLibrary library_;
    MvxCreateControlFn create_ = nullptr;
    QTemporaryDir dir_;
    QString chart_;
};

void TestControlCharts::initTestCase() {
    library_.setFileName(QStringLiteral(TELVIKA_BIN_DIR "/mvx"));
    QVERIFY2(library_.load(), qPrintable(library_.errorString()));
    create_ = reinterpret_cast<MvxCreateControlFn>(library_.resolve(MVX_CREATE_CONTROL_SYMBOL));
    QVERIFY(create_);
    QVERIFY(dir_.isValid());
    // A forest square on bare land: its edges are sharp colour changes to look for.
    ChartFixture fx;
    fx.addArea({{{49.00, 55.70}, {49.20, 55.70}, {49.20, 55.90}, {49.00, 55.90}, {49.00, 55.70}}},
               {{QStringLiteral("landuse"), QStringLiteral("forest")}});
    chart_ = dir_.filePath(QStringLiteral("forest.chart"));
    QString error;
    QVERIFY2(fx.write(chart_, &error), qPrintable(error));
}

TestControlCharts::Hosted TestControlCharts::make() {
    Hosted h;
    h.host = std::make_unique<QWidget>();
    h.map = create_(h.host.get());
    auto* layout = new QVBoxLayout(h.host.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(h.map->widget());
    h.host->resize(400, 300);
    h.host->show();
    if (!QTest::qWaitForWindowExposed(h.host.get())) qFatal("window not exposed");
    return h;
}

void TestControlCharts::firstMapCentresAnUnsetView() {
    Hosted h = make();
    QCOMPARE(h.map->LoadMap(chart_, QString()), 0);
    QCOMPARE(h.map->LoadMap(chart_, QString()), 1);
    double lat, lon;
    h.map->GetCenter(lat, lon);
    QVERIFY(std::fabs(lon - 49.10) < 1e-6);
    QVERIFY(std::fabs(lat - 55.80) < 0.01);  // the Mercator middle of the square
    // The whole square is in view: forest in the middle, land at the corners.
    const QImage img = h.map->widget()->grab().toImage();
    QCOMPARE(img.pixelColor(200, 150), Forest);
    QCOMPARE(img.pixelColor(2, 2), Land);
    int x0, y0, x1, y1;
    h.map->GeoToScreen(55.90, 49.00, x0, y0);
    h.map->GeoToScreen(55.70, 49.20, x1, y1);
    QVERIFY(x0 >= 0 && y0 >= 0 && x1 <= 400 && y1 <= 300);
    QCOMPARE(img.pixelColor((x0 + x1) / 2, y0 + 3), Forest);
    QCOMPARE(img.pixelColor((x0 + x1) / 2, y0 - 3), Land);
}

void TestControlCharts::hostCentreWins() {
    Hosted h = make();
    h.map->SetCenter(55.0, 37.0);
    QCOMPARE(h.map->LoadMap(chart_, QString()), 0);
    double lat, lon;
    h.map->GetCenter(lat, lon);
    QVERIFY(std::fabs(lat - 55.0) < 1e-9 && std::fabs(lon - 37.0) < 1e-9);
}

void TestControlCharts::panReusesTheBaseWithoutSeams() {
    Hosted panned = make();
    QCOMPARE(panned.map->LoadMap(chart_, QString()), 0);
    panned.map->SetCenter(55.90, 49.20);  // the square's north-east corner in the middle
    panned.map->SetCurScale(50000.0);
    panned.map->widget()->grab();  // draws the base once for this view
    QWidget* w = panned.map->widget();
    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(200, 150));
    for (int i = 1; i <= 8; ++i) {
        QTest::mouseMove(w, QPoint(200 - 10 * i, 150 + 7 * i));
        w->grab();  // every step paints, so each shift reuses the previous picture
    }
    const QImage afterPan = w->grab().toImage();  // still dragging: shifted picture plus strips
    QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(120, 206));

    Hosted fresh = make();
    QCOMPARE(fresh.map->LoadMap(chart_, QString()), 0);
    double lat, lon;
    panned.map->GetCenter(lat, lon);
    fresh.map->SetCenter(lat, lon);
    fresh.map->SetCurScale(panned.map->CurScale());
    const QImage direct = fresh.map->widget()->grab().toImage();
    QCOMPARE(afterPan.size(), direct.size());
    int differing = 0;
    for (int y = 0; y < direct.height(); ++y)
        for (int x = 0; x < direct.width(); ++x) differing += afterPan.pixel(x, y) != direct.pixel(x, y);
    QCOMPARE(differing, 0);
    // And the corner moved with the pointer: 80 pixels left, 56 down.
    int x, y;
    panned.map->GeoToScreen(55.90, 49.20, x, y);
    QCOMPARE(QPoint(x, y), QPoint(120, 206));
    QCOMPARE(afterPan.pixelColor(110, 216), Forest);
    QCOMPARE(afterPan.pixelColor(130, 196), Land);
}

void TestControlCharts::closeMapRemovesTheBase() {
    Hosted h = make();
    QCOMPARE(h.map->LoadMap(chart_, QString()), 0);
    QCOMPARE(h.map->widget()->grab().toImage().pixelColor(200, 150), Forest);
    h.map->CloseMap(chart_);
    QVERIFY(h.map->LoadedMaps().isEmpty());
    QCOMPARE(h.map->widget()->grab().toImage().pixelColor(200, 150), Land);
}

QTEST_MAIN(TestControlCharts)
#include "tst_control_charts.moc"
