// The information-point lists of the real main window against a real tracking server with an
// imported drive: the duration filter, the value column, the duration box and its up-down, and the
// list click that moves playback to the row's entry.
#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QToolButton>
#include <QTreeWidget>

#include "DriveWindow.h"
#include "app/ui/TUpDown.h"
#include "common/DateText.h"
#include "common/NumberText.h"
#include "infopoints/InfoPointList.h"

using namespace infopoints::testing;

class TestInfoPointsWindow : public TDriveWindowTest {
    Q_OBJECT
public:
    TestInfoPointsWindow() : TDriveWindowTest(QStringLiteral("infopoints")) {}

private slots:
    void initTestCase() { setUpDrive(); }
    void cleanupTestCase() { tearDownDrive(); }
    void init() { prepare(); }

    void durationFilter() {
        QVERIFY(showKind(QStringLiteral("Включения датчика №1")));
        QCOMPARE(w->ListView1->headerItem()->text(3), QStringLiteral("Прод-ть"));
        // Under the default 6 the 5-second switch-on is hidden; 6 seconds are enough.
        QCOMPARE(column(3), (QStringList{"00:00:20", "00:00:06", "00:00:07"}));
        QCOMPARE(column(0), (QStringList{"1", "2", "3"}));
        // The server's current list is the one shown.
        QCOMPARE(server().TripEntriesCount(), 4);

        // Changing the box relists: 0 lists every entry.
        w->txtCont->setText(QStringLiteral("0"));
        QCOMPARE(column(3), (QStringList{"00:00:05", "00:00:20", "00:00:06", "00:00:07"}));
        QCOMPARE(column(0), (QStringList{"1", "2", "3", "4"}));
        server().SetTripIndex(1);
        server().SetTripEntriesListTypeName(QStringLiteral("sensor_on"));
        server().SetTripEntriesListKindName(QStringLiteral("num1"));
        for (int e = 1; e <= 4; ++e) {
            server().SetTripEntryIndex(e);
            QCOMPARE(rowsOf(w->ListView1)[e - 1][1], server().TripEntryBegin());
            QCOMPARE(rowsOf(w->ListView1)[e - 1][2], server().TripEntryEnd());
        }

        // A day count counts: 1 day 2 hours passes 9999 s, 2 hours do not.
        QVERIFY(showKind(QStringLiteral("Включения датчика №2")));
        QCOMPARE(column(3), (QStringList{"1 02:00:00", "02:00:00"}));
        w->txtCont->setText(QStringLiteral("9999"));
        QCOMPARE(column(3), QStringList{"1 02:00:00"});
    }

    void valueColumns() {
        QVERIFY(showKind(QStringLiteral("Периоды превышения скорости")));
        QCOMPARE(w->ListView1->headerItem()->text(3), QStringLiteral("Скорость"));
        QCOMPARE(column(3), QStringList{"101,25"});  // unrounded, the locale's comma

        QVERIFY(showKind(QStringLiteral("Заправки и сливы бака №1")));
        QCOMPARE(w->ListView1->headerItem()->text(3), QStringLiteral("Объем, л"));
        QCOMPARE(w->ListView1->topLevelItemCount(), 1);
        server().SetTripEntryIndex(1);  // the list shown is still the server's current one
        const double litres = server().TripEntryTank1End() - server().TripEntryTank1Begin();
        QVERIFY2(litres > 40 && litres < 60, qPrintable(QString::number(litres)));
        QCOMPARE(column(3), QStringList{telvika::generalText(litres)});

        QVERIFY(showKind(QStringLiteral("Заправки и сливы бака №2")));
        QCOMPARE(w->ListView1->headerItem()->text(3), QStringLiteral("Объем, л"));
        QVERIFY(showKind(QStringLiteral("Периоды отсутствия сигнала")));
        QCOMPARE(w->ListView1->headerItem()->text(3), QStringLiteral("Прод-ть"));
        QCOMPARE(w->ListView1->topLevelItemCount(), 0);
    }

    void durationBoxKeys() {
        QVERIFY(showKind(QStringLiteral("Включения датчика №1")));
        w->txtCont->setFocus();
        w->txtCont->end(false);
        QTest::keyClick(w->txtCont, Qt::Key_A);
        QTest::keyClick(w->txtCont, Qt::Key_Minus);
        QCOMPARE(w->txtCont->text(), QStringLiteral("6"));
        QCOMPARE(w->ListView1->topLevelItemCount(), 3);
        // Clearing the box leaves "0" and lists everything.
        QTest::keyClick(w->txtCont, Qt::Key_Backspace);
        QCOMPARE(w->txtCont->text(), QStringLiteral("0"));
        QCOMPARE(w->ListView1->topLevelItemCount(), 4);
        QTest::keyClick(w->txtCont, Qt::Key_7);
        QCOMPARE(w->txtCont->text(), QStringLiteral("07"));
        QCOMPARE(column(3), (QStringList{"00:00:20", "00:00:07"}));
        w->txtCont->clear();
        QCOMPARE(w->txtCont->text(), QStringLiteral("0"));
        QCOMPARE(w->ListView1->topLevelItemCount(), 4);
        // Editing and navigation keys work as in any edit; four characters at most are typed.
        QTest::keyClicks(w->txtCont, QStringLiteral("123"));
        QTest::keyClick(w->txtCont, Qt::Key_Home);
        QTest::keyClick(w->txtCont, Qt::Key_Delete);
        QCOMPARE(w->txtCont->text(), QStringLiteral("123"));
        QTest::keyClicks(w->txtCont, QStringLiteral("45"));
        QCOMPARE(w->txtCont->text(), QStringLiteral("4123"));
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->txtCont->setFocus();
        QTest::keyClick(w->txtCont, Qt::Key_Tab);
        QVERIFY(!w->txtCont->hasFocus());
        w->txtCont->setText(QStringLiteral("0"));

        // The up-down steps the box within 0 .. 9999, and the list follows.
        w->UpDown2->click(TUpDown::updDown);
        QCOMPARE(w->txtCont->text(), QStringLiteral("0"));
        w->txtCont->setText(QStringLiteral("19"));
        QCOMPARE(column(3), QStringList{"00:00:20"});
        w->UpDown2->click(TUpDown::updUp);
        QCOMPARE(w->txtCont->text(), QStringLiteral("20"));
        QCOMPARE(column(3), QStringList{"00:00:20"});
        w->UpDown2->click(TUpDown::updUp);
        QCOMPARE(w->ListView1->topLevelItemCount(), 0);
        w->txtCont->setText(QStringLiteral("9999"));
        w->UpDown2->click(TUpDown::updUp);
        QCOMPARE(w->txtCont->text(), QStringLiteral("9999"));

        // Text pasted past the key filter is refused with a message; the list stays.
        w->txtCont->setText(QStringLiteral("0"));
        QCOMPARE(w->ListView1->topLevelItemCount(), 4);
        w->txtCont->setText(QStringLiteral("1a"));
        QCOMPARE(fx.dialogs.calls.size(), 1);
        QVERIFY(fx.dialogs.calls[0].text.contains(QStringLiteral("1a")));
        QCOMPARE(w->ListView1->topLevelItemCount(), 4);
        fx.dialogs.calls.clear();

        // A key into an empty box puts "0" first; other characters are dropped.
        {
            const QSignalBlocker quiet(w->txtCont);
            w->txtCont->clear();
        }
        QChar key(u'x');
        w->txtContKeyPress(key);
        QVERIFY(key.isNull());
        QCOMPARE(w->txtCont->text(), QStringLiteral("0"));
        key = QChar(u'5');
        w->txtContKeyPress(key);
        QCOMPARE(key, QChar(u'5'));
        QVERIFY(fx.dialogs.calls.isEmpty());
    }

    void clickSeeksToTheRowsEntry() {
        QVERIFY(showKind(QStringLiteral("Включения датчика №1")));
        QCOMPARE(w->ListView1->topLevelItemCount(), 3);  // the 5-second entry is hidden
        const double t0 = w->data.TrackData.time(0);
        for (int row : {0, 2, 1}) {
            QTreeWidgetItem* item = w->ListView1->topLevelItem(row);
            // Another routine (the map's information points) points the server at another list.
            w->SelectEntryList(QStringLiteral("sensor_on-num3"));
            w->ListView1->setCurrentItem(item);
            w->ListView1Click();
            const double begin = telvika::parseRegionalDateTime(item->text(1));
            QCOMPARE(w->TrackBar->value(), infopoints::trackBarPosition(begin, t0));
        }
        QCOMPARE(w->TrackBar->value(), 1800);  // 20 s entry at 1200, 6 s at 1800, 7 s at 2400
        w->ListView1->setCurrentItem(w->ListView1->topLevelItem(0));
        w->ListView1Click();
        QCOMPARE(w->TrackBar->value(), 1200);
        QVERIFY(fx.dialogs.calls.isEmpty());
    }

    void clickWithoutTrackTriesAgain() {
        QVERIFY(showKind(QStringLiteral("Включения датчика №1")));
        // No track and no trip chosen, as after a new computation: the click refreshes the control
        // points, tries to load the track and fails the second time with a message.
        w->data.TrackData = TTrackData();
        w->data.TrackPointCount = 0;
        w->data.TrackPoints.clear();
        w->data.CurTrip = 0;
        w->data.ControlPointsOn = true;
        w->data.ControlPointCount = 0;
        w->ToolButton1->setChecked(true);
        w->ToolButton2->setChecked(false);
        setTrackBar(0, 100, 5);
        w->ListView1->setCurrentItem(w->ListView1->topLevelItem(1));
        emit w->ListView1->itemClicked(w->ListView1->topLevelItem(1), 0);
        QCOMPARE(fx.dialogs.calls.size(), 1);
        QCOMPARE(fx.dialogs.calls[0].kind, QStringLiteral("exception"));
        QCOMPARE(w->data.ControlPointCount, 2);
        QCOMPARE(w->TrackBar->value(), 5);
        w->ToolButton2->setChecked(true);
    }

    void noTripsKeepsTheList() {
        QVERIFY(compute(EmptyDevice));
        QCOMPARE(server().TripsCount(), 0);
        w->ListView1->clear();
        w->ListView1->addTopLevelItem(new QTreeWidgetItem(QStringList{"1", "a", "b", "c"}));
        w->ListView1->headerItem()->setText(3, QStringLiteral("Скорость"));
        QVERIFY(showKind(QStringLiteral("Включения датчика №1")));
        w->txtCont->setText(QStringLiteral("0"));
        QCOMPARE(rowsOf(w->ListView1), (QVector<QStringList>{{"1", "a", "b", "c"}}));
        QCOMPARE(w->ListView1->headerItem()->text(3), QStringLiteral("Скорость"));
        QVERIFY(fx.dialogs.calls.isEmpty());
        QVERIFY(compute(Device));
    }
};

QTEST_MAIN(TestInfoPointsWindow)
#include "tst_infopoints_window.moc"
