// The kind menu and the control points of the real main window against a real tracking server
// with an imported drive; kind lists shorter and longer than the menu.
#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QToolButton>
#include <QTreeWidget>

#include "DriveWindow.h"
#include "app/ui/TImageList.h"

using namespace infopoints::testing;
using telvika::Bool32;

class TestInfoPointsMenu : public TDriveWindowTest {
    Q_OBJECT
public:
    TestInfoPointsMenu() : TDriveWindowTest(QStringLiteral("infopoints-menu")) {}

private slots:
    void initTestCase() { setUpDrive(); }
    void cleanupTestCase() { tearDownDrive(); }
    void init() { prepare(); }

    void kindMenu() {
        QVERIFY(showKind(QStringLiteral("Заправки и сливы бака №1")));
        const QVector<QStringList> before = rowsOf(w->ListView1);
        QCOMPARE(before.size(), 1);
        QAction* tank1 = w->FindMenuItem(QStringLiteral("mnu6"));
        QCOMPARE(tank1->text(), QStringLiteral("Бак 1"));
        // Unticking "Бак 1" hides that kind's icons and keeps the list.
        tank1->trigger();
        QVERIFY(!tank1->isChecked());
        QVERIFY(!w->data.InfoPoints[5].VisibleIcon);
        QCOMPARE(imageOf(tank1), w->ImageList2->image(16).convertToFormat(QImage::Format_ARGB32));
        QCOMPARE(rowsOf(w->ListView1), before);
        QVERIFY(w->data.InfoPoints[6].VisibleIcon);  // the other tank keeps its icons
        tank1->trigger();
        QVERIFY(tank1->isChecked());
        QVERIFY(w->data.InfoPoints[5].VisibleIcon);
        QCOMPARE(imageOf(tank1), w->ImageList2->image(4).convertToFormat(QImage::Format_ARGB32));
        QVERIFY(w->data.InfoPoints[5].VisibleIcon.raw() == Bool32::True);

        // A kind left out of the kind list keeps its map switch.
        QVector<TInfoPoints> kinds = defaultKinds();
        kinds[7].VisibleList = false;
        useKinds(kinds);
        QCOMPARE(w->cmbInfoPoints->findText(QStringLiteral("Включения датчика №1")), -1);
        QCOMPARE(w->cmbInfoPoints->count(), 13);
        QVERIFY(w->data.InfoPoints[7].VisibleIcon);
        QAction* sensor1 = w->FindMenuItem(QStringLiteral("mnu8"));
        QCOMPARE(sensor1->text(), QStringLiteral("Датчик 1"));
        sensor1->trigger();
        QVERIFY(!w->data.InfoPoints[7].VisibleIcon);
        QCOMPARE(imageOf(sensor1), w->ImageList2->image(18).convertToFormat(QImage::Format_ARGB32));
        sensor1->trigger();
        QVERIFY(w->data.InfoPoints[7].VisibleIcon);
        QVERIFY(fx.dialogs.calls.isEmpty());
    }

    void fewAndManyKinds() {
        // One kind only (no stops kind): the menu and the list still work.
        useKinds({defaultKinds()[0]});
        QCOMPARE(w->cmbInfoPoints->count(), 2);
        QVERIFY(showKind(QStringLiteral("Контрольные точки")));
        QCOMPARE(w->ListView1->topLevelItemCount(), 0);
        QAction* stops = w->FindMenuItem(QStringLiteral("mnu2"));
        stops->trigger();
        QVERIFY(!stops->isChecked());
        QCOMPARE(imageOf(stops), w->ImageList2->image(12).convertToFormat(QImage::Format_ARGB32));
        stops->trigger();
        useKinds({});
        QCOMPARE(w->cmbInfoPoints->count(), 1);

        // Fifteen kinds: the last two have no menu item and are listed all the same.
        QVector<TInfoPoints> kinds = defaultKinds();
        kinds << kind("Ещё датчик №1", "sensor_on-num1") << kind("Ещё остановки", "parks");
        useKinds(kinds);
        QCOMPARE(w->cmbInfoPoints->count(), 16);
        QVERIFY(!w->FindMenuItem(QStringLiteral("mnu14")));
        QVERIFY(showKind(QStringLiteral("Ещё датчик №1")));
        QCOMPARE(w->ListView1->topLevelItemCount(), 3);
        QAction* last = w->FindMenuItem(QStringLiteral("mnu13"));
        last->trigger();
        QVERIFY(!w->data.InfoPoints[12].VisibleIcon);
        QVERIFY(w->data.InfoPoints[13].VisibleIcon && w->data.InfoPoints[14].VisibleIcon);
        last->trigger();
        QVERIFY(fx.dialogs.calls.isEmpty());
    }

    void controlPoints() {
        w->data.ControlPointsOn = true;
        w->data.ControlPointCount = 0;
        w->ShowControlPoints();
        QCOMPARE(w->data.ControlPointCount, 2);
        QCOMPARE(server().ControlPointsCount(), 2);  // the vehicle's set is the server's current one
        QCOMPARE(w->data.ControlPointLabels, (TArrayString{"Склад(ворота 2)", "База()"}));
        QCOMPARE(w->data.ControlCenterCoords, (TArrayString{"37.6", "55.75", "30", "60"}));
        // Radius 0: 31 times the centre, with points whatever the user's locale.
        QCOMPARE(w->data.ControlAreaCoords[1],
                 QStringList(31, QStringLiteral("30 60")).join(QLatin1Char(',')));
        const QStringList pairs = w->data.ControlAreaCoords[0].split(QLatin1Char(','));
        QCOMPARE(pairs.size(), 31);
        QCOMPARE(pairs.first(), pairs.last());
        QVERIFY(pairs[15].startsWith(QStringLiteral("37.59")));  // 250 m west of the centre

        // Switched off, nothing is read: the arrays keep what they hold.
        w->data.ControlPointsOn = false;
        w->data.ControlPointCount = 1;
        w->data.ControlPointLabels[0] = QStringLiteral("прежняя");
        const qint64 requests = server().RequestCount();
        w->ShowControlPoints();
        QCOMPARE(server().RequestCount() - requests, 1);  // only the computing state was asked for
        QCOMPARE(w->data.ControlPointCount, 1);
        QCOMPARE(w->data.ControlPointLabels[0], QStringLiteral("прежняя"));
        QVERIFY(fx.dialogs.calls.isEmpty());
    }
};

QTEST_MAIN(TestInfoPointsMenu)
#include "tst_infopoints_menu.moc"
