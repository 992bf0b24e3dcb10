// The map control over real .chart base maps: the first map centres a view the host never set,
// a pan that reuses the shifted base picture shows exactly what a fresh drawing shows, and the
// base map's names give way to the objects drawn over them.

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
    void streetNameGivesWayToAnObjectOverIt();

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

void TestControlCharts::streetNameGivesWayToAnObjectOverIt() {
    // A long street through the view: at 1:5000 its name lies on the middle of the view.
    ChartFixture fx;
    fx.addLine({{49.00, 55.80}, {49.20, 55.80}},
               {{QStringLiteral("highway"), QStringLiteral("residential")}, {QStringLiteral("name"), QStringLiteral("улица Длинная")}});
    const QString street = dir_.filePath(QStringLiteral("street.chart"));
    QVERIFY(fx.write(street));
    Hosted h = make();
    QCOMPARE(h.map->LoadMap(street, QString()), 0);
    h.map->SetCenter(55.80, 49.10);
    h.map->SetCurScale(5000.0);
    // The name's dark grey letters, and the red ones of the object's label.
    auto letters = [&](bool red) {
        const QImage img = h.map->widget()->grab().toImage();
        int n = 0;
        for (int y = 135; y <= 165; ++y)
            for (int x = 100; x <= 300; ++x) {
                const QColor c = img.pixelColor(x, y);
                n += red ? c.red() > 150 && c.green() < 90
                         : c.red() < 120 && std::abs(c.red() - c.green()) < 12 && std::abs(c.green() - c.blue()) < 12;
            }
        return n;
    };
    QVERIFY(letters(false) > 30);
    // A control point's label on the street's middle: the street's name is left out.
    IMapTable* t = h.map->CreateTable();
    t->AddField(QStringLiteral("DOUBLE"), QStringLiteral("XCOORD"), QStringLiteral("Longitude"));
    t->AddField(QStringLiteral("DOUBLE"), QStringLiteral("YCOORD"), QStringLiteral("Latitude"));
    t->AddField(QStringLiteral("TEXT"), QStringLiteral("style"), QStringLiteral("style"));
    auto place = [&](int x, int y) {
        while (t->GetRecordCount() > 0) {
            t->MoveFirst();
            t->DeleteRecord();
        }
        double lat, lon;
        h.map->ScreenToGeo(x, y, lat, lon);
        t->AddRecord();
        t->SetFieldValue(lon, 0);
        t->SetFieldValue(lat, 1);
        t->SetFieldValue(QStringLiteral("t 'КТ-7' 'Arial 204' 8 rgb(255,0,0)"), 2);
        h.map->LoadObjects(QStringLiteral("name=centersKT;coords=[YCOORD],[XCOORD];style=[style]"), QString(), t);
    };
    place(200, 150);
    QCOMPARE(letters(false), 0);
    QVERIFY(letters(true) > 5);
    // Elsewhere, it leaves the name alone.
    place(60, 60);
    QVERIFY(letters(false) > 30);
}

QTEST_MAIN(TestControlCharts)
#include "tst_control_charts.moc"
