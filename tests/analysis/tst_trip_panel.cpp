// The "Рейс" menu and the trip panel on the real window, server and recorded day: closed, the
// window is as it was; open, it reads the trip through its own connection, its chart seeks as the
// track bar does, and the follow switch keeps the view still. Preferences stay out of TVSettings.xml.
#include <QDockWidget>
#include <QLabel>
#include <QMenuBar>
#include <QSettings>
#include <QSlider>
#include <QTableWidget>

#include "analysis/TSpeedChart.h"
#include "analysis/TTripPanel.h"
#include "mvx/IMVControl.h"
#include "tracking/TrackingFixture.h"

using namespace telvika;
using namespace trackingfixture;

class TestTripPanel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void closedPanelLeavesTheWindowAsItWas();
    void panelShowsTheTripAndItsChartSeeksLikeTheTrackBar();
    void followSwitchKeepsTheViewStill();
    void preferencesStayOutOfTheSettingsFile();

private:
    QString summaryValue(const QString& label) const {
        QTableWidget* t = w->TripPanel->summary();
        for (int r = 0; r < t->rowCount(); ++r)
            if (t->item(r, 0)->text() == label) return t->item(r, 1)->text();
        return QString();
    }
    TPlayerFixture fx{QStringLiteral("trippanel")};
    std::unique_ptr<TForm1> w;
};

void TestTripPanel::initTestCase() {
    QVERIFY(addFleet(fx));
    w = readyWindow(fx);
    QVERIFY(chooseAndWait(*w, QStringLiteral("G1"), QStringLiteral("101")));
    QVERIFY(w->data.TrackPointCount > 10);
}

void TestTripPanel::closedPanelLeavesTheWindowAsItWas() {
    QVERIFY(!w->TripDock->isVisible());
    QVERIFY(!w->mnuTripPanel->isChecked());
    QVERIFY(w->mnuFollowVehicle->isChecked());
    const QList<QAction*> top = w->MainMenu1->actions();
    QCOMPARE(top.size(), 2);
    QCOMPARE(top[0], w->MapListEdit);
    QCOMPARE(top[1]->text(), QStringLiteral("Рейс"));
    // No room is kept for the closed dock: the splitter reaches the window's bottom.
    QCOMPARE(w->centralWidget()->geometry().bottom(), w->rect().bottom());
    QVERIFY(w->mnuExportTrip->isEnabled() && w->mnuTripReport->isEnabled());
}

void TestTripPanel::panelShowsTheTripAndItsChartSeeksLikeTheTrackBar() {
    w->mnuTripPanel->trigger();
    QVERIFY(w->TripDock->isVisible());
    QVERIFY(QTest::qWaitFor([&] { return w->TripPanel->chart()->view().data().series.size() > 0; }, 10000));
    // Read through the panel's own connection: the day's stop and its minute above the limit.
    QCOMPARE(summaryValue(QStringLiteral("Список остановок")), QStringLiteral("1"));
    QCOMPARE(summaryValue(QStringLiteral("Периоды превышения скорости")), QStringLiteral("1"));
    QVERIFY(summaryValue(QStringLiteral("Максимальная скорость")).startsWith(QStringLiteral("95.1 км/ч (")));
    QCOMPARE(w->TripPanel->place()->text(), QStringLiteral("—"));  // no map loaded

    TSpeedChart* chart = w->TripPanel->chart();
    QVERIFY(QTest::qWaitForWindowExposed(chart));
    const QRect plot = chart->view().plot();
    const QPoint click(plot.left() + plot.width() / 3, plot.center().y());
    const TDateTime t0 = w->data.TrackData.time(0);
    const int expected = trackBarPosition(chart->view().momentAt(click.x()), t0);
    QTest::mouseClick(chart, Qt::LeftButton, {}, click);
    QCOMPARE(w->TrackBar->value(), expected);
    QCOMPARE(w->data.PlayTime, trackBarMoment(expected, t0));
    QCOMPARE(w->data.PlayRefTime, w->data.PlayTime);  // the clock re-based as by the bar
    QVERIFY(chart->view().hasCursor());
    QVERIFY(qAbs(chart->view().cursorSeconds() - expected) < 1e-3);
}

void TestTripPanel::followSwitchKeepsTheViewStill() {
    auto centre = [&] {
        double lat = 0, lon = 0;
        w->MVCtrl->GetCenter(lat, lon);
        return QPointF(lon, lat);
    };
    w->mnuFollowVehicle->trigger();
    QVERIFY(!w->FollowVehicle);
    const QPointF before = centre();
    w->TrackBar->setValue(w->TrackBar->maximum() - 5);  // kilometres away, far off the view
    QCOMPARE(centre(), before);
    w->mnuFollowVehicle->trigger();
    w->TrackBar->setValue(w->TrackBar->maximum() - 4);
    QVERIFY(centre() != before);
}

void TestTripPanel::preferencesStayOutOfTheSettingsFile() {
    w->close();  // saves TVSettings.xml
    w.reset();
    const QByteArray settings = fx.readAppFile(QStringLiteral("TVSettings.xml"));
    QVERIFY(settings.contains("<Settings"));
    QVERIFY(!settings.contains("TripPanel") && !settings.contains("Follow"));
    QSettings prefs(QDir(fx.appDir.path()).filePath(QStringLiteral("preferences.ini")), QSettings::IniFormat);
    QCOMPARE(prefs.value(QStringLiteral("TripPanel/Open")).toBool(), true);
    QCOMPARE(prefs.value(QStringLiteral("TripPanel/Follow")).toBool(), true);
}

QTEST_MAIN(TestTripPanel)
#include "tst_trip_panel.moc"
