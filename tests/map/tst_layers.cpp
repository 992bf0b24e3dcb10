// The map's object sets of the real window, read back from the map control: information points
// per kind, control points, the track switch, and the kinds that do nothing.
#include <QtTest>

#include <QToolButton>

#include "map/LayerStyles.h"
#include "mvx/IMVControl.h"
#include "tracking/TrackingFixture.h"

using namespace trackingfixture;

class TestLayers : public QObject {
    Q_OBJECT
private:
    TPlayerFixture f{QStringLiteral("layers")};

    static QString setName(const TForm1& w, int kind) { return w.data.InfoPoints[kind].name; }

private slots:
    void initTestCase() {
        telvika::applyUserLocale();
        QVERIFY(addFleet(f));
    }
    void cleanupTestCase() { f.closeServer(); }
    void init() { f.dialogs.calls.clear(); }
    void cleanup() {
        for (const auto& c : f.dialogs.calls) qWarning() << c.kind << c.text;
    }

    void infoPointsPerKind() {
        auto w = readyWindow(f);
        w->data.InfoPoints[1].name = QStringLiteral("Стоянки 'у дома'");  // a kind named with quotes
        QVERIFY(chooseAndWait(*w, QStringLiteral("G1"), QStringLiteral("101")));
        QCOMPARE(w->ListView1->topLevelItemCount(), 2);
        QVERIFY(w->ToolButton2->isChecked());
        w->ShowInfoPoints();

        // Stops: one entry, icon 1, numbered from 0, under the kind's own (quoted) name.
        const mvx::ObjectSetInfo stops = w->MVCtrl->ObjectSet(setName(*w, 1));
        QCOMPARE(stops.records.size(), 1);
        QCOMPARE(stops.skippedRecords, 0);
        QCOMPARE(stops.records[0].style, QStringLiteral("m 'TVIcons.res' 1 rgb(0,0,0) 25"));
        QCOMPARE(stops.records[0].name, w->data.TripStops.value(0).Text + QStringLiteral(" (0)"));
        // Speeding: the maximum to two decimals, halves to even, the locale's separator.
        const mvx::ObjectSetInfo speed = w->MVCtrl->ObjectSet(setName(*w, 4));
        QCOMPARE(speed.records.size(), 1);
        QCOMPARE(speed.records[0].name, QStringLiteral("95,12 км/ч (0)"));
        QCOMPARE(speed.records[0].style, QStringLiteral("m 'TVIcons.res' 4 rgb(0,0,0) 25"));
        // The refuelling: a rise in litres with icon 5.
        const mvx::ObjectSetInfo tank = w->MVCtrl->ObjectSet(setName(*w, 5));
        QCOMPARE(tank.records.size(), 1);
        QVERIFY2(tank.records[0].name.endsWith(QStringLiteral(" л (0)")), qPrintable(tank.records[0].name));
        QVERIFY(!tank.records[0].name.startsWith(QLatin1Char('-')));
        QCOMPARE(tank.records[0].style, QStringLiteral("m 'TVIcons.res' 5 rgb(0,0,0) 25"));
        QCOMPARE(w->data.InfoPointEntryCounts.size(), w->data.InfoPointsCount);
        // A list made while the computation changed has no trip: nothing is asked for trip 0.
        w->data.CurTrip = 0;
        QVERIFY_THROWS_NO_EXCEPTION(w->ShowInfoPoints());
        QCOMPARE(w->MVCtrl->ObjectSet(setName(*w, 1)).records.size(), 1);
        w->data.CurTrip = 1;
        // Every kind but the control points has its set; those without entries are empty.
        QVERIFY(!w->MVCtrl->ObjectSetNames().contains(setName(*w, 0)));
        for (int i = 1; i < w->data.InfoPointsCount; ++i)
            QVERIFY2(w->MVCtrl->ObjectSetNames().contains(setName(*w, i)), qPrintable(setName(*w, i)));
        QCOMPARE(w->MVCtrl->ObjectSet(setName(*w, 2)).records.size(), 0);

        // A kind switched off: its set is emptied, the others keep their icons.
        w->data.InfoPoints[4].VisibleIcon = false;
        w->ShowLayer(3);
        QCOMPARE(w->MVCtrl->ObjectSet(setName(*w, 4)).records.size(), 0);
        QCOMPARE(w->MVCtrl->ObjectSet(setName(*w, 1)).records.size(), 1);
        QCOMPARE(w->MVCtrl->ObjectSet(setName(*w, 5)).records.size(), 1);

        // Kinds 0 and 6 change nothing, and neither do kind 3 with fewer than two kinds.
        auto snapshot = [&] {
            QStringList s;
            for (const QString& name : w->MVCtrl->ObjectSetNames())
                s << name + QLatin1Char('=') + QString::number(w->MVCtrl->ObjectSet(name).records.size());
            return s;
        };
        const QStringList before = snapshot();
        for (int kind : {0, 6, -1}) {
            w->ShowLayer(kind);
            w->ClearLayer(kind);
        }
        w->data.InfoPointsCount = 1;
        w->ShowLayer(3);
        w->ClearLayer(3);
        QCOMPARE(snapshot(), before);
        w->data.InfoPointsCount = static_cast<qint32>(w->data.InfoPoints.size());

        // The switch: off empties every kind's set, on reads them again.
        w->ToolButton2->click();
        QCOMPARE(w->MVCtrl->ObjectSet(setName(*w, 1)).records.size(), 0);
        QCOMPARE(w->MVCtrl->ObjectSet(setName(*w, 5)).records.size(), 0);
        w->ToolButton2->click();
        QCOMPARE(w->MVCtrl->ObjectSet(setName(*w, 1)).records.size(), 1);
        QCOMPARE(w->MVCtrl->ObjectSet(setName(*w, 4)).records.size(), 0);  // still switched off
        QVERIFY(f.dialogs.calls.isEmpty());
    }

    void vehiclesAddedMeanwhile() {
        auto w = readyWindow(f);
        chooseGroup(*w, groupIndex(*w, QStringLiteral("G1")));
        QVERIFY(settle(*w));
        QCOMPARE(w->MVCtrl->ObjectSet(QStringLiteral("ТС:")).records.size(), 3);
        // The server counts one more vehicle than the window has read: only those read are drawn.
        QVERIFY(f.adminOk({"add-vehicle", "G1", "104", "УАЗ", "Т004ТТ77"}));
        w->IconNum = 4;
        w->ShowLayer(5);
        const mvx::ObjectSetInfo cars = w->MVCtrl->ObjectSet(QStringLiteral("ТС:"));
        QCOMPARE(cars.records.size(), 3);
        QCOMPARE(cars.records[0].style, QStringLiteral("m 'TVAllTS.res' 5 rgb(0,0,0) 35"));
        w->ClearLayer(5);
        QCOMPARE(w->MVCtrl->ObjectSet(QStringLiteral("ТС:")).records.size(), 0);
        QVERIFY(f.dialogs.calls.isEmpty());
    }

    void controlPointsWithQuotes() {
        auto w = readyWindow(f);
        TSharedData& d = w->data;
        d.ControlPointCount = 2;
        d.ControlAreaCoords = {QStringLiteral("37.60 55.75,37.61 55.75,37.61 55.76"),
                               QStringLiteral("37.70 55.75,37.71 55.75,37.71 55.76")};
        d.ControlCenterCoords = {QStringLiteral("37.605"), QStringLiteral("55.755"), QStringLiteral("37.705"),
                                 QStringLiteral("55.755")};
        d.ControlPointLabels = {QStringLiteral("Склад"), QStringLiteral("Кафе 'Ромашка'")};
        w->ShowLayer(4);
        const mvx::ObjectSetInfo areas = w->MVCtrl->ObjectSet(QStringLiteral("Контрольная точка"));
        const mvx::ObjectSetInfo outlines = w->MVCtrl->ObjectSet(QStringLiteral("КТ"));
        const mvx::ObjectSetInfo labels = w->MVCtrl->ObjectSet(QStringLiteral("centersKT"));
        QCOMPARE(areas.records.size(), 2);
        QCOMPARE(outlines.records.size(), 2);
        QCOMPARE(areas.defaultStyle, QStringLiteral("a rgb(255,0,0) 10"));
        QCOMPARE(outlines.defaultStyle, QStringLiteral("l rgb(255,0,0) 1"));
        QCOMPARE(areas.records[1].name, QStringLiteral("Кафе 'Ромашка'"));
        QCOMPARE(labels.records.size(), 2);
        QCOMPARE(labels.skippedRecords, 0);
        QCOMPARE(labels.records[1].style, QStringLiteral("t 'Кафе ''Ромашка''' 'Arial 204' 8 rgb(0,0,0)"));
        QCOMPARE(labels.records[0].lonLat.value(0), QPointF(37.605, 55.755));
        QCOMPARE(d.tblCheckAreas->FieldValue(0, 0).toString(), QStringLiteral("L E ") + d.ControlAreaCoords[0]);

        w->ToolButton1->click();  // off
        QVERIFY(!d.ControlPointsOn);
        for (const char* name : {"Контрольная точка", "КТ", "centersKT"})
            QCOMPARE(w->MVCtrl->ObjectSet(QString::fromUtf8(name)).records.size(), 0);
        QVERIFY(f.dialogs.calls.isEmpty());
    }
};

QTEST_MAIN(TestLayers)
#include "tst_layers.moc"
