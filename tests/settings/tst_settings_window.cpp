// The main window loading and saving TVSettings.xml in a temporary application folder against a
// real tracking server with fixture groups, and the settings dialog opened from the window.
#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimeEdit>
#include <QToolButton>

#include "../support/PlayerFixture.h"
#include "app/ui/TImageList.h"
#include "settings/SettingsFile.h"
#include "settings/TFormSettings.h"

using namespace telvika;

namespace {

const QString FileName = QStringLiteral("TVSettings.xml");

QImage argb(const QImage& image) {
    return image.convertToFormat(QImage::Format_ARGB32);
}

TInfoPoints kind(const QString& name, bool list, bool icon, const QString& query, const QString& code) {
    TInfoPoints k;
    k.name = name;
    k.VisibleList = list;
    k.VisibleIcon = icon;
    k.query = query;
    k.Icon = code;
    return k;
}

}  // namespace

class TestSettingsWindow : public QObject {
    Q_OBJECT
private:
    TPlayerFixture fx{QStringLiteral("settings")};

    QString settingsPath() const { return QDir(fx.appDir.path()).filePath(FileName); }

    // A window started with this settings file (none when empty).
    std::unique_ptr<TForm1> start(const QByteArray& settings = QByteArray()) {
        QFile::remove(settingsPath());
        if (!settings.isEmpty() && !fx.writeAppFile(FileName, settings))
            qWarning() << "cannot write the file";
        fx.dialogs.calls.clear();
        return fx.startedWindow();
    }

    TSettingsValues saved() const {
        const QDomDocument doc = TSettingsFile(settingsPath()).open();
        return TSettingsReader(settingsElementOf(doc)).all();
    }

    // Messages of the settings file: a box with no owner and an empty caption.
    QStringList settingsMessages() const {
        QStringList texts;
        for (const auto& c : fx.dialogs.calls)
            if (c.kind == "message" && c.caption.isEmpty() && !c.hasOwner) texts << c.text;
        return texts;
    }

    bool menuShows(TForm1& w, int i, bool checked) const {
        QAction* item = w.FindMenuItem(QString("mnu%1").arg(i));
        return item && item->isChecked() == checked &&
               argb(item->icon().pixmap(16, 16).toImage()) ==
                   argb(w.ImageList2->image(checked ? i - 2 : i + 10));
    }

    QByteArray defaultWith(const QByteArray& from, const QByteArray& to) const {
        QByteArray doc = defaultSettingsDocument();
        doc.replace(from, to);
        return doc;
    }

private slots:
    void initTestCase() {
        for (int g = 1; g <= 8; ++g) {
            QVERIFY(fx.adminOk({"add-group", QString("G%1").arg(g), QString("Группа %1").arg(g)}));
            QVERIFY(fx.adminOk({"add-vehicle", QString("G%1").arg(g), QString::number(100 + g),
                                QString("ГАЗель %1").arg(g), QString("А%1BC77").arg(g, 3, 10, QChar('0'))}));
        }
        // The map list exists, so no first-start map dialog interrupts the window.
        QVERIFY(fx.writeAppFile("MapList.ini", "[MapList]\r\nMapCount=0\r\n"));
    }

    void firstStartWritesTheDefaultDocument() {
        auto w = start();
        QCOMPARE(fx.readAppFile(FileName), defaultSettingsDocument());
        QVERIFY2(settingsMessages().isEmpty(), qPrintable(settingsMessages().join('\n')));
        QCOMPARE(w->cmbGroupName->count(), 8);
        QCOMPARE(w->cmbGroupName->currentIndex(), 7);
        QCOMPARE(w->DateBegin->date(), QDate(2007, 2, 6));
        QCOMPARE(w->TimeBegin->time(), QTime(0, 0));
        QCOMPARE(w->DateEnd->date(), QDate(2009, 6, 6));
        QCOMPARE(w->TimeEnd->time(), QTime(0, 0));
        QCOMPARE(w->cmbSpeed->currentText(), QString("60x"));
        QCOMPARE(w->data.SpeedFactor, 60);
        QCOMPARE(w->txtCont->text(), QString("60"));
        QVERIFY(!w->data.ControlPointsOn && !w->ToolButton1->isChecked());
        QVERIFY(!w->ToolButton2->isChecked());
        QVERIFY(w->ToolButton3->isChecked());
        QCOMPARE(w->IconNum, 0);
        QCOMPARE(w->data.InfoPointsCount, 13);
        QCOMPARE(w->data.InfoPoints.size(), 13);
        QCOMPARE(w->cmbInfoPoints->count(), 14);
        QCOMPARE(w->cmbInfoPoints->itemText(2), QString("Список остановок"));
        for (int i = 2; i <= 13; ++i) QVERIFY2(menuShows(*w, i, true), qPrintable(QString::number(i)));

        w->close();
        const TSettingsValues v = saved();
        QCOMPARE(v.GroupID, 7);
        QCOMPARE(v.Speed, QString("60x"));
        QCOMPARE(v.Cont, QString("60"));
        QCOMPARE(v.DateTimeBegin, settingsDateTime(QDate(2007, 2, 6), QTime(0, 0)));
        QCOMPARE(v.InfoPoints.size(), 13);
        QCOMPARE(v.InfoPoints[12].Icon, QString("Ic6"));
    }

    void loadAndSaveKeepEveryValue() {
        TSettingsValues v;
        v.LoadKT = true;
        v.LoadIT = true;
        v.GroupID = 2;
        v.IconNum = 17;
        v.CarID = 0;
        v.DateTimeBegin = settingsDateTime(QDate(2026, 11, 30), QTime(8, 15, 30));
        v.DateTimeEnd = settingsDateTime(QDate(2026, 12, 1), QTime(17, 45));
        v.Speed = "300x";
        v.Stops = false;
        v.Cont = "45";
        v.InfoPoints = defaultInfoPointKinds();
        v.InfoPoints[1].Icon = "Ic\"P&";
        v.InfoPoints[8].VisibleList = false;
        v.InfoPoints[9].VisibleIcon = false;
        v.InfoPoints << kind("Датчик <7>", true, false, "sensor_on-num7", "");
        QString error;
        QVERIFY2(writeSettingsFile(settingsPath(), v, &error), qPrintable(error));
        fx.dialogs.calls.clear();
        auto w = fx.startedWindow();
        QVERIFY(settingsMessages().isEmpty());

        QVERIFY(w->data.ControlPointsOn && w->ToolButton1->isChecked());
        QVERIFY(w->ToolButton2->isChecked());
        QVERIFY(!w->ToolButton3->isChecked());
        QCOMPARE(w->IconNum, 17);
        QCOMPARE(w->cmbGroupName->currentIndex(), 2);
        QCOMPARE(settingsDateTime(w->DateBegin->date(), w->TimeBegin->time()), v.DateTimeBegin);
        QCOMPARE(settingsDateTime(w->DateEnd->date(), w->TimeEnd->time()), v.DateTimeEnd);
        QCOMPARE(w->data.SpeedFactor, 300);
        QCOMPARE(w->txtCont->text(), QString("45"));
        QCOMPARE(w->data.InfoPointsCount, 14);
        // The vehicle position is kept when the group change filled the vehicle list.
        const int expectedCar = w->cmbCarDevice->count() > 0 ? 0 : -1;
        w->close();

        const TSettingsValues s = saved();
        QCOMPARE(s.LoadKT, v.LoadKT);
        QCOMPARE(s.LoadIT, v.LoadIT);
        QCOMPARE(s.GroupID, v.GroupID);
        QCOMPARE(s.IconNum, v.IconNum);
        QCOMPARE(s.CarID, expectedCar);
        QCOMPARE(s.DateTimeBegin, v.DateTimeBegin);
        QCOMPARE(s.DateTimeEnd, v.DateTimeEnd);
        QCOMPARE(s.Speed, v.Speed);
        QCOMPARE(s.Stops, v.Stops);
        QCOMPARE(s.Cont, v.Cont);
        QCOMPARE(s.InfoPoints.size(), v.InfoPoints.size());
        for (int i = 0; i < v.InfoPoints.size(); ++i) {
            QCOMPARE(s.InfoPoints[i].name, v.InfoPoints[i].name);
            QCOMPARE(s.InfoPoints[i].query, v.InfoPoints[i].query);
            QCOMPARE(s.InfoPoints[i].Icon, v.InfoPoints[i].Icon);
            QCOMPARE(bool(s.InfoPoints[i].VisibleList), bool(v.InfoPoints[i].VisibleList));
            QCOMPARE(bool(s.InfoPoints[i].VisibleIcon), bool(v.InfoPoints[i].VisibleIcon));
        }
        const QDomDocument doc = TSettingsFile(settingsPath()).open();
        QCOMPARE(TSettingsReader(settingsElementOf(doc)).integer("InfoPointsCount"), 14);
    }

    void speedTexts() {
        auto w = start(defaultWith("<Speed>60x</Speed>", "<Speed>300X</Speed>"));
        QCOMPARE(w->data.SpeedFactor, 300);
        QCOMPARE(w->cmbSpeed->currentText(), QString("300x"));
        QVERIFY(settingsMessages().isEmpty());
        w->close();
        QCOMPARE(saved().Speed, QString("300x"));

        // A lone x fails: the message, and nothing after the speed is read.
        const QByteArray bad =
            defaultWith("<Speed>60x</Speed>", "<Speed>x</Speed>").replace("<Stops>true", "<Stops>false");
        w = start(bad);
        QCOMPARE(settingsMessages().size(), 1);
        QVERIFY(settingsMessages()[0].contains("Speed"));
        QCOMPARE(w->cmbGroupName->currentIndex(), 7);  // read before the speed
        QVERIFY(w->ToolButton3->isChecked());          // the design state: Stops was not read
        QCOMPARE(w->data.InfoPoints.size(), 0);
        QCOMPARE(w->data.InfoPointsCount, 0);  // counted before the failure, but none were read
        QCOMPARE(w->cmbInfoPoints->count(), 1);
        // What could not be read is not lost: the file is not written back at exit.
        w->close();
        QCOMPARE(fx.readAppFile(FileName), bad);
    }

    void groupBeyondTheListAndLongTexts() {
        // No group at that position: the period is still restored. Texts longer than the four
        // characters the keyboard may type are kept as they are.
        auto w = start(defaultWith("<GroupID>7</GroupID>", "<GroupID>20</GroupID>")
                           .replace("<Speed>60x</Speed>", "<Speed>1000x</Speed>")
                           .replace("<Cont>60</Cont>", "<Cont>12345</Cont>"));
        QVERIFY(settingsMessages().isEmpty());
        QCOMPARE(w->cmbGroupName->currentIndex(), -1);
        QCOMPARE(w->DateBegin->date(), QDate(2007, 2, 6));
        QCOMPARE(w->DateEnd->date(), QDate(2009, 6, 6));
        QCOMPARE(w->cmbSpeed->currentText(), QString("1000x"));
        QCOMPARE(w->txtCont->text(), QString("12345"));
        w->close();
        QCOMPARE(saved().Speed, QString("1000x"));
        QCOMPARE(saved().Cont, QString("12345"));
    }

    void emptyCont() {
        auto w = start(defaultWith("<Cont>60</Cont>", "<Cont></Cont>"));
        QVERIFY(settingsMessages().isEmpty());
        // The edit's change handler puts "0" into an empty edit.
        const QString shown = w->txtCont->text();
        QVERIFY2(shown.isEmpty() || shown == "0", qPrintable(shown));
        w->close();
        QCOMPARE(saved().Cont, shown);
    }

    void kindFlagsAndMoreThanThirteenKinds() {
        QByteArray doc = defaultSettingsDocument();
        doc.replace("<InfoPoints3 name=\"Периоды отсутствия сигнала\" VisibleList=\"true\"",
                    "<InfoPoints3 name=\"Периоды отсутствия сигнала\" VisibleList=\"false\"");
        doc.replace(
            "<InfoPoints5 name=\"Периоды превышения скорости\" VisibleList=\"true\" VisibleIcon=\"true\"",
            "<InfoPoints5 name=\"Периоды превышения скорости\" VisibleList=\"true\" VisibleIcon=\"false\"");
        doc.replace(
            "</InfoPoints>",
            "<InfoPoints14 name=\"Четырнадцатый\" VisibleList=\"true\" VisibleIcon=\"false\" query=\"x-14\" "
            "Icon=\"I14\" />\r\n<InfoPoints15 name=\"Пятнадцатый\" VisibleList=\"false\" "
            "VisibleIcon=\"true\" "
            "query=\"x-15\" Icon=\"I15\" />\r\n</InfoPoints>");
        auto w = start(doc);
        QVERIFY(settingsMessages().isEmpty());
        QCOMPARE(w->data.InfoPointsCount, 15);
        QStringList listed;
        for (int i = 0; i < w->cmbInfoPoints->count(); ++i) listed << w->cmbInfoPoints->itemText(i);
        QCOMPARE(listed.size(), 14);  // the trips list, 12 of the first 13 kinds, kind 14
        QVERIFY(!listed.contains("Периоды отсутствия сигнала"));
        QCOMPARE(listed.last(), QString("Четырнадцатый"));
        QCOMPARE(w->cmbInfoPoints->itemData(13).toInt(), 14);
        QVERIFY(menuShows(*w, 3, true));
        QVERIFY(menuShows(*w, 5, false));
        QVERIFY(menuShows(*w, 6, true));
        w->close();

        const TSettingsValues s = saved();
        QCOMPARE(s.InfoPoints.size(), 15);
        QCOMPARE(s.InfoPoints[2].name, QString("Периоды отсутствия сигнала"));
        QVERIFY(!s.InfoPoints[2].VisibleList);
        QVERIFY(!s.InfoPoints[4].VisibleIcon);
        QCOMPARE(s.InfoPoints[14].Icon, QString("I15"));
        QVERIFY(!s.InfoPoints[14].VisibleList);
    }

    void unreadableFilesAreLeftUnchanged() {
        const QByteArray truncated = defaultSettingsDocument().left(300);
        const QByteArray noChild = "<?xml version=\"1.0\"?><AppSettings xmlns=\"urn:x\"></AppSettings>";
        const QByteArray noFlag = defaultWith(" VisibleList=\"true\" VisibleIcon=\"true\" query=\"blinds\"",
                                              " VisibleList=\"true\" query=\"blinds\"");
        for (const QByteArray& bytes : {truncated, noChild, noFlag}) {
            auto w = start(bytes);
            QCOMPARE(settingsMessages().size(), 1);
            const QString expected = bytes == truncated ? "TVSettings.xml"
                                     : bytes == noChild ? "раздела настроек"
                                                        : "VisibleIcon";
            QVERIFY2(settingsMessages()[0].contains(expected), qPrintable(settingsMessages()[0]));
            // A file that could not be read completely is not written back at exit.
            w->close();
            QCOMPARE(settingsMessages().size(), 1);
            QCOMPARE(fx.readAppFile(FileName), bytes);
        }
    }

    void fileWithoutKindsIsReplacedByTheDefault() {
        QByteArray doc = defaultSettingsDocument();
        const qsizetype from = doc.indexOf("<InfoPoints>");
        const qsizetype to = doc.indexOf("</InfoPoints>");
        doc.replace(from, to - from, "<InfoPoints>\r\n");
        doc.replace("<Speed>60x</Speed>", "<Speed>10x</Speed>");
        auto w = start(doc);
        QVERIFY(settingsMessages().isEmpty());
        QCOMPARE(fx.readAppFile(FileName), defaultSettingsDocument());
        QCOMPARE(w->data.SpeedFactor, 60);
        QCOMPARE(w->data.InfoPoints.size(), 13);
        w->close();
    }

    void dialogCancelChangesNothingButRefreshes() {
        auto w = start();
        w->IconNum = 9;
        w->cmbInfoPoints->addItem("устаревший пункт");
        w->cmbInfoPoints->setCurrentIndex(w->cmbInfoPoints->count() - 1);
        bool shownTicked = false;
        int shownRow = -1;
        w->execSettingsDialog = [&](QDialog& d) {
            auto& f = static_cast<TFormSettings&>(d);
            shownTicked = f.FindCheckBox("CheckBox2")->isChecked();
            shownRow = f.ComboBox1->currentRow();
            f.FindCheckBox("CheckBox2")->setChecked(false);
            f.ComboBox1->setCurrentRow(99);
            f.btnCancel->click();
            return f.result();
        };
        w->btnSettings->click();
        QVERIFY(shownTicked);
        QCOMPARE(shownRow, 9);
        QCOMPARE(w->IconNum, 9);
        QVERIFY(w->data.InfoPoints[1].VisibleList);
        // The kind list was rebuilt all the same.
        QCOMPARE(w->cmbInfoPoints->count(), 14);
        QCOMPARE(w->cmbInfoPoints->currentIndex(), 0);
        QVERIFY(w->cmbInfoPoints->findText("устаревший пункт") < 0);
        w->close();
    }

    void dialogOkWithEveryKindCleared() {
        auto w = start();
        w->execSettingsDialog = [&](QDialog& d) {
            auto& f = static_cast<TFormSettings&>(d);
            for (QCheckBox* box : f.CheckBoxList) box->setChecked(false);
            f.ComboBox1->setCurrentRow(42);
            f.btnOK->click();
            return f.result();
        };
        w->btnSettings->click();
        QCOMPARE(w->IconNum, 42);
        QCOMPARE(w->cmbInfoPoints->count(), 1);
        QCOMPARE(w->cmbInfoPoints->itemText(0), QString("Список рейсов"));
        w->close();
        const TSettingsValues s = saved();
        QCOMPARE(s.IconNum, 42);
        for (const TInfoPoints& k : s.InfoPoints) QVERIFY(!k.VisibleList && k.VisibleIcon);
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_settings_window.moc"
