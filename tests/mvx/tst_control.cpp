// The map control as the player gets it: libmvx loaded with QLibrary from the build's program
// folder, the control created through the exported factory, drawn offscreen and checked by the
// colours of its pixels.

#include "mvx/IMVControl.h"
#include "mvx/MouseAction.h"

#include <QtTest>

#include <QApplication>

#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWidget>

#include <array>
#include <cmath>

using namespace mvx;

namespace {

const QColor Land(242, 239, 233);
const QString TrackStyle = QStringLiteral("l rgb(0,0,0) 4");

// Red clearly dominates: an antialiased red line over anything but red.
bool reddish(const QColor& c) { return c.red() > c.green() + 60 && c.red() > 100; }

bool near(const QColor& a, const QColor& b, int tolerance = 8) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace

class TestControl : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void projectionRoundTripBeforeAnyMap();
    void scaleAndCentre();
    void badViewArgumentsThrow();
    void mapLoadCodesWithoutFiles();
    void trackLineIsDrawnWhereGeoToScreenSays();
    void areaIsTintedAndLaterSetsDrawOnTop();
    void iconsComeFromResourceBundles();
    void iconsOfDifferentKindsAtOnePlaceStayVisible();
    void stopCaptionBoxIsDrawn();
    void overlayIsDroppedWhenTheViewChanges();
    void movingOverlayLeavesNothingBehindOnScreen();
    void clickRaisesActionAtPixelDragPans();
    void panRedrawsUncoveredStripsLikeAFreshView();
    void wheelZoomKeepsGroundUnderPointer();
    void selfDrawRunsAfterThePicture();
    void controlDirDefaultsToLibraryFolder();

private:
    QColor pixel(int x, int y);
    IMapTable* trackTable(const QVector<QPoint>& pixels);

    QLibrary library_;
    MvxCreateControlFn create_ = nullptr;
    QWidget* host_ = nullptr;
    IMVControl* map_ = nullptr;
    QTemporaryDir dir_;
};

void TestControl::initTestCase() {
    library_.setFileName(QStringLiteral(TELVIKA_BIN_DIR "/mvx"));
    QVERIFY2(library_.load(), qPrintable(library_.errorString()));
    create_ = reinterpret_cast<MvxCreateControlFn>(library_.resolve(MVX_CREATE_CONTROL_SYMBOL));
    QVERIFY(create_);
    QVERIFY(dir_.isValid());
    QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("RESOURCES")));
    for (const char* bundle : {"TVIcons.res", "TVAllTS.res"})
        QVERIFY(QFile::copy(QStringLiteral(TELVIKA_BIN_DIR "/") + QLatin1String(bundle),
                            dir_.path() + QStringLiteral("/RESOURCES/") + QLatin1String(bundle)));
}

void TestControl::init() {
    host_ = new QWidget;
    map_ = create_(host_);
    QVERIFY(map_);
    map_->widget()->setObjectName(QStringLiteral("MVCtrl"));
    auto* layout = new QVBoxLayout(host_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(map_->widget());
    host_->resize(640, 480);
    host_->show();
    QVERIFY(QTest::qWaitForWindowExposed(host_));
    QCOMPARE(map_->widget()->size(), QSize(640, 480));
    map_->SetControlDir(dir_.path());
    map_->SetCenter(55.75, 37.62);
    map_->SetCurScale(20000.0);
}

void TestControl::cleanup() {
    delete host_;  // deletes the control with it
    host_ = nullptr;
    map_ = nullptr;
}

QColor TestControl::pixel(int x, int y) { return map_->widget()->grab().toImage().pixelColor(x, y); }

IMapTable* TestControl::trackTable(const QVector<QPoint>& pixels) {
    IMapTable* t = map_->CreateTable();
    t->AddField(QStringLiteral("TEXT"), QStringLiteral("metr"), QStringLiteral("metr"));
    QStringList pairs;
    for (const QPoint& p : pixels) {
        double lat = 0, lon = 0;
        map_->ScreenToGeo(p.x(), p.y(), lat, lon);
        pairs << QStringLiteral("%1 %2").arg(lon, 0, 'f', 10).arg(lat, 0, 'f', 10);
    }
    t->AddRecord();
    t->SetFieldValue(QStringLiteral("L E ") + pairs.join(u','), 0);
    return t;
}

void TestControl::projectionRoundTripBeforeAnyMap() {
    QVERIFY(map_->LoadedMaps().isEmpty());
    for (double scale : {500.0, 20000.0, 5e6}) {
        map_->SetCurScale(scale);
        for (int y = 0; y < 480; y += 37) {
            for (int x = 0; x < 640; x += 41) {
                double lat = 0, lon = 0;
                map_->ScreenToGeo(x, y, lat, lon);
                int bx = -1, by = -1;
                map_->GeoToScreen(lat, lon, bx, by);
                QCOMPARE(QPoint(bx, by), QPoint(x, y));
            }
        }
    }
    map_->SetCurScale(20000.0);
    // North up: a point further north is higher on the screen, further east is to the right.
    int x1, y1, x2, y2;
    map_->GeoToScreen(55.75, 37.62, x1, y1);
    map_->GeoToScreen(55.76, 37.63, x2, y2);
    QVERIFY(y2 < y1);
    QVERIFY(x2 > x1);
    QCOMPARE(QPoint(x1, y1), QPoint(320, 240));
}

void TestControl::scaleAndCentre() {
    map_->SetCenter(59.93, 30.31);
    map_->SetCurScale(20000.0);
    QVERIFY(std::fabs(map_->CurScale() - 20000.0) < 1e-6);
    double lat = 0, lon = 0;
    map_->GetCenter(lat, lon);
    QVERIFY(std::fabs(lat - 59.93) < 1e-9 && std::fabs(lon - 30.31) < 1e-9);
    // At 1:20000 and the screen's DPI, 100 pixels span 100 / dpi inches times 20000 on the ground.
    const double dpi = map_->widget()->logicalDpiX();
    double latA, lonA, latB, lonB;
    map_->ScreenToGeo(270, 240, latA, lonA);
    map_->ScreenToGeo(370, 240, latB, lonB);
    const double metres = (lonB - lonA) * M_PI / 180.0 * 6378137.0 * std::cos(lat * M_PI / 180.0);
    QVERIFY(std::fabs(metres - 100.0 / dpi * 0.0254 * 20000.0) < 0.5);
}

void TestControl::badViewArgumentsThrow() {
    QVERIFY_THROWS_EXCEPTION(MapError, map_->SetCenter(std::nan(""), 37.0));
    QVERIFY_THROWS_EXCEPTION(MapError, map_->SetCurScale(0.0));
    QVERIFY_THROWS_EXCEPTION(MapError, map_->SetCurScale(-5.0));
    QVERIFY_THROWS_EXCEPTION(MapError, map_->LoadObjects(QStringLiteral("name=a;metrics=[metr]"), TrackStyle, nullptr));
    double lat = 0, lon = 0;
    map_->GetCenter(lat, lon);
    QVERIFY(std::fabs(lat - 55.75) < 1e-9);  // the view is unchanged
}

void TestControl::mapLoadCodesWithoutFiles() {
    QCOMPARE(map_->LoadMap(dir_.path() + QStringLiteral("/missing.chart"), QString()), 2);
    QFile junk(dir_.path() + QStringLiteral("/junk.chart"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("this is not a map");
    junk.close();
    QCOMPARE(map_->LoadMap(junk.fileName(), QString()), 3);
    QVERIFY(map_->LoadedMaps().isEmpty());
    map_->CloseMap(junk.fileName());  // closing what is not loaded is harmless
    QCOMPARE(pixel(10, 10), Land);
}

void TestControl::trackLineIsDrawnWhereGeoToScreenSays() {
    QCOMPARE(pixel(320, 200), Land);
    IMapTable* t = trackTable({{100, 200}, {540, 200}, {540, 400}});
    QCOMPARE(map_->LoadObjects(QStringLiteral("name=nametab1;metrics=[metr]"), TrackStyle, t), 1);
    QVERIFY(near(pixel(320, 200), Qt::black, 40));
    QVERIFY(near(pixel(540, 300), Qt::black, 40));
    QCOMPARE(pixel(320, 210), Land);  // 4 pixels wide: nothing 10 pixels away
    QCOMPARE(map_->ObjectSetNames(), QStringList{QStringLiteral("nametab1")});

    // Emptying the table and reloading takes the line off the map.
    t->MoveFirst();
    t->DeleteRecord();
    map_->LoadObjects(QStringLiteral("name=nametab1;metrics=[metr]"), TrackStyle, t);
    QCOMPARE(pixel(320, 200), Land);
}

void TestControl::areaIsTintedAndLaterSetsDrawOnTop() {
    IMapTable* area = trackTable({{100, 100}, {300, 100}, {300, 300}, {100, 300}, {100, 100}});
    map_->LoadObjects(QStringLiteral("name='Контрольная точка';metrics=[metr]"), QStringLiteral("a rgb(255,0,0) 10"), area);
    const QColor tint = pixel(200, 200);
    // Ten percent red over the land colour.
    QVERIFY(near(tint, QColor(qRound(242 * 0.9 + 25.5), qRound(239 * 0.9), qRound(233 * 0.9)), 3));
    QCOMPARE(pixel(350, 200), Land);
    map_->LoadObjects(QStringLiteral("name='КТ';metrics=[metr]"), QStringLiteral("l rgb(255,0,0) 1"), area);
    QVERIFY(reddish(pixel(200, 100)));

    // A later load of the first set replaces it in place: the ring stays on top of the area.
    IMapTable* whole = trackTable({{0, 0}, {640, 0}, {640, 480}, {0, 480}, {0, 0}});
    map_->LoadObjects(QStringLiteral("name='Контрольная точка';metrics=[metr]"), QStringLiteral("a rgb(0,0,255) 100"), whole);
    QVERIFY(reddish(pixel(200, 100)));
    QCOMPARE(pixel(400, 400), QColor(0, 0, 255));
    QCOMPARE(map_->ObjectSetNames(), (QStringList{QStringLiteral("Контрольная точка"), QStringLiteral("КТ")}));
}

void TestControl::iconsComeFromResourceBundles() {
    IMapTable* t = map_->CreateTable();
    t->AddField(QStringLiteral("DOUBLE"), QStringLiteral("XCOORD"), QStringLiteral("Longitude"));
    t->AddField(QStringLiteral("DOUBLE"), QStringLiteral("YCOORD"), QStringLiteral("Latitude"));
    t->AddField(QStringLiteral("TEXT"), QStringLiteral("style"), QStringLiteral("style"));
    t->AddField(QStringLiteral("TEXT"), QStringLiteral("Name"), QStringLiteral("Name"));
    auto add = [&](int x, int y, const QString& style) {
        double lat, lon;
        map_->ScreenToGeo(x, y, lat, lon);
        t->AddRecord();
        t->SetFieldValue(lon, 0);
        t->SetFieldValue(lat, 1);
        t->SetFieldValue(style, 2);
        t->SetFieldValue(x == 100 ? QStringLiteral("ТС") : QString(), 3);
    };
    add(100, 100, QStringLiteral("m 'TVAllTS.res' 1 rgb(0,0,0) 35"));
    add(300, 100, QStringLiteral("m 'TVIcons.res' 1 rgb(0,0,0) 25"));
    add(500, 100, QStringLiteral("m 'NoSuch.res' 1 rgb(0,0,0) 25"));
    QCOMPARE(map_->LoadObjects(QStringLiteral("name='ТС:';coords=[YCOORD],[XCOORD];style=[style]"), QString(), t), 3);
    const QImage img = map_->widget()->grab().toImage();
    auto changed = [&](int cx, int cy, int half) {
        int n = 0;
        for (int y = cy - half; y <= cy + half; ++y)
            for (int x = cx - half; x <= cx + half; ++x) n += img.pixelColor(x, y) != Land;
        return n;
    };
    QVERIFY(changed(100, 100, 17) > 200);  // a vehicle picture fills much of its 35-pixel square
    QCOMPARE(changed(100, 100 + 30, 5), 0);
    // The information-point icon is a white disc: its middle is not the land colour.
    QVERIFY(changed(300, 100, 12) > 200);
    // A missing bundle still marks the place with a small ring, and nothing else breaks.
    QVERIFY(changed(500, 100, 6) > 0);
    QVERIFY(changed(500, 100, 6) < 80);

    // The record's Name shows as a tooltip where the pointer rests on the icon, and nowhere else.
    QWidget* w = map_->widget();
    QHelpEvent onIcon(QEvent::ToolTip, QPoint(105, 95), w->mapToGlobal(QPoint(105, 95)));
    QApplication::sendEvent(w, &onIcon);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), QStringLiteral("ТС"));
    QHelpEvent offIcon(QEvent::ToolTip, QPoint(200, 300), w->mapToGlobal(QPoint(200, 300)));
    QApplication::sendEvent(w, &offIcon);
    QTRY_VERIFY(!QToolTip::isVisible());
}

void TestControl::iconsOfDifferentKindsAtOnePlaceStayVisible() {
    // A stop and a refuelling at one place, each kind its own set: both icons are seen, side by
    // side, and each answers with its own name where it lies.
    auto load = [&](const QString& set, int icon, const QString& name) {
        IMapTable* t = map_->CreateTable();
        t->AddField(QStringLiteral("DOUBLE"), QStringLiteral("XCOORD"), QStringLiteral("Longitude"));
        t->AddField(QStringLiteral("DOUBLE"), QStringLiteral("YCOORD"), QStringLiteral("Latitude"));
        t->AddField(QStringLiteral("TEXT"), QStringLiteral("style"), QStringLiteral("style"));
        t->AddField(QStringLiteral("TEXT"), QStringLiteral("Name"), QStringLiteral("Name"));
        double lat, lon;
        map_->ScreenToGeo(300, 200, lat, lon);
        t->AddRecord();
        t->SetFieldValue(lon, 0);
        t->SetFieldValue(lat, 1);
        t->SetFieldValue(QStringLiteral("m 'TVIcons.res' %1 rgb(0,0,0) 25").arg(icon), 2);
        t->SetFieldValue(name, 3);
        map_->LoadObjects(QStringLiteral("name='%1';coords=[YCOORD],[XCOORD];style=[style]").arg(set), QString(), t);
    };
    auto marked = [&] {
        const QImage img = map_->widget()->grab().toImage();
        int n = 0;
        for (int y = 180; y <= 220; ++y)
            for (int x = 260; x <= 340; ++x) n += img.pixelColor(x, y) != Land;
        return n;
    };
    load(QStringLiteral("Стоянки"), 1, QStringLiteral("стоянка"));
    const int one = marked();
    QVERIFY(one > 200);
    load(QStringLiteral("Заправки"), 5, QStringLiteral("заправка"));
    QVERIFY2(marked() > one * 16 / 10, qPrintable(QStringLiteral("%1 pixels for two icons, %2 for one").arg(marked()).arg(one)));
    QWidget* w = map_->widget();
    for (const auto& [x, name] : {std::pair{288, QStringLiteral("стоянка")}, std::pair{312, QStringLiteral("заправка")}}) {
        QHelpEvent hover(QEvent::ToolTip, QPoint(x, 200), w->mapToGlobal(QPoint(x, 200)));
        QApplication::sendEvent(w, &hover);
        QTRY_COMPARE(QToolTip::text(), name);
    }
}

void TestControl::stopCaptionBoxIsDrawn() {
    IMapTable* t = map_->CreateTable();
    t->AddField(QStringLiteral("DOUBLE"), QStringLiteral("XCOORD"), QStringLiteral("Longitude"));
    t->AddField(QStringLiteral("DOUBLE"), QStringLiteral("YCOORD"), QStringLiteral("Latitude"));
    t->AddField(QStringLiteral("TEXT"), QStringLiteral("style"), QStringLiteral("style"));
    double lat, lon;
    map_->ScreenToGeo(320, 240, lat, lon);
    t->AddRecord();
    t->SetFieldValue(lon, 0);
    t->SetFieldValue(lat, 1);
    t->SetFieldValue(QStringLiteral("b :0 -20: 'Остановка: 00:05:00' 'Arial 204' 10 rgb(0, 0, 255) on "
                                    "rgb(255, 255, 255) center 0 5 1 rgb(0, 0, 0)"),
                     2);
    map_->LoadObjects(QStringLiteral("name='Остановка';coords=[YCOORD],[XCOORD];style=[style]"), QString(), t);
    const QImage img = map_->widget()->grab().toImage();
    // The box is centred 20 pixels above the point: white background, blue text, black frame.
    int white = 0, blue = 0;
    int top = 240, left = 320;
    for (int y = 200; y < 240; ++y)
        for (int x = 200; x < 440; ++x) {
            const QColor c = img.pixelColor(x, y);
            white += c == Qt::white;
            blue += c.blue() > 150 && c.red() < 100 && c.green() < 100;
            if (c == Qt::black) {
                top = std::min(top, y);
                left = std::min(left, x);
            }
        }
    QVERIFY(white > 300);
    QVERIFY(blue > 20);
    QVERIFY(top < 220 && top > 200);
    QVERIFY(left < 300 && left > 200);
    QCOMPARE(img.pixelColor(320, 240), Land);  // the point itself stays clear
    QCOMPARE(map_->ObjectSet(QStringLiteral("Остановка")).records.value(0).kind, QStringLiteral("box"));
}

void TestControl::overlayIsDroppedWhenTheViewChanges() {
    int viewChanges = 0;
    map_->SetOnViewChanged([&] {
        ++viewChanges;
        QVERIFY(map_->Overlay().isEmpty());  // dropped before the host hears of the change
    });
    OverlayPolygon outer;
    outer.points = QPolygonF{{300, 220}, {340, 220}, {340, 260}, {300, 260}};
    outer.penColor = Qt::black;
    outer.brushColor = QColor(0, 200, 0);
    map_->SetOverlay({outer});
    map_->RepaintNow();
    QCOMPARE(pixel(320, 240), QColor(0, 200, 0));

    // Polygons reaching far outside the view are drawn where they cross it.
    OverlayPolygon huge;
    huge.points = QPolygonF{{-1e7, 100}, {1e7, 100}, {1e7, 140}, {-1e7, 140}};
    huge.brushColor = QColor(200, 0, 200);
    map_->SetOverlay({outer, huge});
    QCOMPARE(pixel(320, 240), QColor(0, 200, 0));
    QCOMPARE(pixel(10, 120), QColor(200, 0, 200));
    QCOMPARE(pixel(630, 120), QColor(200, 0, 200));

    map_->SetCenter(55.751, 37.62);
    QCOMPARE(viewChanges, 1);
    QVERIFY(map_->Overlay().isEmpty());
    QCOMPARE(pixel(320, 240), Land);
    // A resize is a change of view too.
    map_->SetOverlay({outer});
    host_->resize(600, 480);
    QTRY_COMPARE(viewChanges, 2);
    QCOMPARE(pixel(320, 240), Land);
    // Setting the same centre again is no change.
    double lat, lon;
    map_->GetCenter(lat, lon);
    map_->SetCenter(lat, lon);
    QCOMPARE(viewChanges, 2);
}

void TestControl::movingOverlayLeavesNothingBehindOnScreen() {
    // What the window system shows (the backing store), not a fresh rendering: a marker moved by
    // repaints of only its old and new pixels must leave exactly what a full repaint shows.
    auto screen = [&] {
        QCoreApplication::processEvents();
        const QPoint at = map_->widget()->mapTo(host_, QPoint(0, 0));
        return QGuiApplication::primaryScreen()
            ->grabWindow(host_->winId(), at.x(), at.y(), map_->widget()->width(), map_->widget()->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    auto marker = [](double x, double y) {
        OverlayPolygon outer;
        outer.points = QPolygonF{{x, y - 12}, {x + 14, y + 10}, {x, y + 4}, {x - 14, y + 10}};
        outer.penColor = Qt::black;
        outer.penWidth = 2;
        outer.brushColor = Qt::white;
        OverlayPolygon inner = outer;
        inner.penColor = inner.brushColor = Qt::red;
        inner.penWidth = 1;
        return QVector<OverlayPolygon>{outer, inner};
    };
    map_->SetOverlay({});
    map_->RepaintNow();
    const QImage bare = screen();
    QVERIFY(!bare.isNull());
    for (int step = 0; step < 12; ++step) {
        map_->SetOverlay({});  // the old marker is dropped first, as the player does
        map_->SetOverlay(marker(100 + step * 37, 90 + step * 23));
        map_->RepaintNow();
    }
    const QImage moved = screen();
    map_->Redraw();
    map_->RepaintNow();
    QCOMPARE(moved, screen());  // the same as a whole repaint with the last marker
    QVERIFY(moved != bare);     // and the marker is there
    map_->SetOverlay({});
    map_->RepaintNow();
    QCOMPARE(screen(), bare);  // and gone without a trace
}

void TestControl::clickRaisesActionAtPixelDragPans() {
    QVector<std::array<int, 4>> actions;
    map_->SetOnMouseAction([&](int action, int msg, int x, int y, bool&) { actions.append({action, msg, x, y}); });
    QWidget* w = map_->widget();
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(123, 234));
    QCOMPARE(actions.size(), 1);
    QCOMPARE(actions[0][0], MouseAction::LeftClick);
    QCOMPARE(actions[0][2], 123);
    QCOMPARE(actions[0][3], 234);

    // Drag 100 pixels right and 50 down: the ground under the press follows the pointer.
    double latBefore, lonBefore;
    map_->ScreenToGeo(200, 200, latBefore, lonBefore);
    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(200, 200));
    for (int i = 1; i <= 10; ++i) QTest::mouseMove(w, QPoint(200 + 10 * i, 200 + 5 * i));
    QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(300, 250));
    int x, y;
    map_->GeoToScreen(latBefore, lonBefore, x, y);
    QCOMPARE(QPoint(x, y), QPoint(300, 250));
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions[1][0], MouseAction::PanFinished);  // a drag is no click

    // A press with a tiny jitter is still a click, at the press pixel.
    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(50, 60));
    QTest::mouseMove(w, QPoint(51, 61));
    QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(51, 61));
    QCOMPARE(actions.last()[0], MouseAction::LeftClick);
    QCOMPARE(actions.last()[2], 50);
}

void TestControl::panRedrawsUncoveredStripsLikeAFreshView() {
    // Sets crossing the whole view and beyond, so that the uncovered strips cut through them.
    IMapTable* line = trackTable({{-300, 50}, {900, 420}, {100, 700}, {-100, -200}, {700, -100}});
    map_->LoadObjects(QStringLiteral("name=nametab1;metrics=[metr]"), TrackStyle, line);
    map_->LoadObjects(QStringLiteral("name=nametab2;metrics=[metr]"), QStringLiteral("l rgb(255,0,0) 2"), line);
    IMapTable* area = trackTable({{500, 300}, {800, 300}, {800, 600}, {500, 600}, {500, 300}});
    map_->LoadObjects(QStringLiteral("name='Контрольная точка';metrics=[metr]"), QStringLiteral("a rgb(0,0,255) 40"), area);
    QWidget* w = map_->widget();
    w->grab();
    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(300, 300));
    for (int i = 1; i <= 12; ++i) {
        QTest::mouseMove(w, QPoint(300 - 9 * i, 300 - 6 * i));
        w->grab();  // each step shifts the previous picture
    }
    // The picture while dragging is made of shifted pieces and strips; the release then draws the
    // whole view afresh (labels in strips are placed for the strip alone).
    const QImage panned = w->grab().toImage();
    QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(192, 228));

    double lat, lon;
    map_->GetCenter(lat, lon);
    map_->SetCenter(lat + 0.01, lon);  // any other view, then back: a full drawing
    map_->SetCenter(lat, lon);
    const QImage fresh = w->grab().toImage();
    int differing = 0;
    for (int y = 0; y < fresh.height(); ++y)
        for (int x = 0; x < fresh.width(); ++x) {
            const QColor a = panned.pixelColor(x, y), b = fresh.pixelColor(x, y);
            differing += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) > 48;
        }
    QVERIFY2(differing < 20, qPrintable(QString::number(differing)));
    // The area moved with the pointer: its corner (500,300) is now at (392,228).
    QVERIFY(near(panned.pixelColor(400, 236), QColor(qRound(242 * 0.6), qRound(239 * 0.6), qRound(233 * 0.6 + 102)), 3));
    QCOMPARE(panned.pixelColor(384, 236), Land);
}

void TestControl::wheelZoomKeepsGroundUnderPointer() {
    const double before = map_->CurScale();
    double lat, lon;
    map_->ScreenToGeo(100, 380, lat, lon);
    QWheelEvent in(QPointF(100, 380), map_->widget()->mapToGlobal(QPointF(100, 380)), QPoint(), QPoint(0, 120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(map_->widget(), &in);
    // (the centre moves, so the scale at the centre's latitude shifts a little too)
    QVERIFY(std::fabs(map_->CurScale() - before / std::sqrt(2.0)) < 1e-3 * before);
    int x, y;
    map_->GeoToScreen(lat, lon, x, y);
    QCOMPARE(QPoint(x, y), QPoint(100, 380));

    // A handler that claims the wheel keeps the view.
    map_->SetOnMouseAction([](int action, int, int, int, bool& handled) { handled = action == MouseAction::WheelZoom; });
    const double now = map_->CurScale();
    QWheelEvent again(QPointF(100, 380), map_->widget()->mapToGlobal(QPointF(100, 380)), QPoint(), QPoint(0, -240),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(map_->widget(), &again);
    QCOMPARE(map_->CurScale(), now);
}

void TestControl::selfDrawRunsAfterThePicture() {
    IMapTable* t = trackTable({{0, 240}, {640, 240}});
    map_->LoadObjects(QStringLiteral("name=nametab1;metrics=[metr]"), TrackStyle, t);
    QRect seen;
    map_->SetOnSelfDraw([&](QPainter& p, const QRect& r) {
        seen = r;
        p.fillRect(QRect(310, 230, 20, 20), QColor(255, 128, 0));
    });
    QCOMPARE(pixel(320, 240), QColor(255, 128, 0));  // over the track line
    QCOMPARE(seen, QRect(0, 0, 640, 480));
    QVERIFY(near(pixel(100, 240), Qt::black, 40));
}

void TestControl::controlDirDefaultsToLibraryFolder() {
    std::unique_ptr<QWidget> other(new QWidget);
    IMVControl* fresh = create_(other.get());
    QCOMPARE(QDir(fresh->GetControlDir()).canonicalPath(), QDir(QStringLiteral(TELVIKA_BIN_DIR)).canonicalPath());
    fresh->SetControlDir(dir_.path());
    QCOMPARE(fresh->GetControlDir(), QDir::cleanPath(dir_.path()));
}

QTEST_MAIN(TestControl)
#include "tst_control.moc"
