// The settings dialog on its own: controls and texts, the icon rows and the preview as drawn, the
// check boxes from the kinds, OK and Cancel, and the wheel with and without the pointer over the
// icon list.
#include <QtTest>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "PlayerImages.h"
#include "app/PlayerApplication.h"
#include "app/model/SharedData.h"
#include "app/ui/TImageList.h"
#include "settings/SettingsDocument.h"
#include "settings/TFormSettings.h"

namespace {

QImage argb(const QImage& image) {
    return image.convertToFormat(QImage::Format_ARGB32);
}

void wheel(QWidget* target, QPoint at, int delta) {
    QWheelEvent e(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &e);
}

}  // namespace

class TestSettingsDialog : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TImageList> icons;
    TSharedData data;
    int iconNum = 0;

    std::unique_ptr<TFormSettings> shownForm() {
        auto form = std::make_unique<TFormSettings>(data, iconNum, *icons);
        form->FormShow();
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get())) qWarning() << "the dialog was not exposed";
        return form;
    }

private slots:
    void initTestCase() {
        icons = std::make_unique<TImageList>("IconsList", QSize(48, 48), resources::vehicleImages(), nullptr);
        QCOMPARE(icons->Count(), 168);
    }

    void init() {
        data = TSharedData();
        data.InfoPoints = telvika::defaultInfoPointKinds();
        data.InfoPointsCount = data.InfoPoints.size();
        iconNum = 0;
    }

    void controlsAndTexts() {
        TFormSettings form(data, iconNum, *icons);
        QCOMPARE(form.windowTitle(), QString("Настройки"));
        QCOMPARE(form.size(), QSize(426, 454));
        QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(form.windowFlags() & Qt::Tool, Qt::Tool);
        QVERIFY(!(form.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint)));
        QCOMPARE(form.GroupBox1->title(), QString("Отображ. информ. точек в списках"));
        QCOMPARE(form.GroupBox1->size(), QSize(408, 188));
        const QStringList captions{"Контрольные точки",           "Список остановок",
                                   "Периоды отсутствия сигнала",  "Периоды пропадания питания",
                                   "Периоды превышения скорости", "Заправки и сливы бака №1",
                                   "Заправки и сливы бака №2",    "Включения датчика №1",
                                   "Включения датчика №2",        "Включения датчика №3",
                                   "Включения датчика №4",        "Включения датчика №5",
                                   "Включения датчика №6"};
        for (int i = 1; i <= 13; ++i) {
            auto* box = form.findChild<QCheckBox*>(QString("CheckBox%1").arg(i));
            QVERIFY(box);
            QCOMPARE(box->text(), captions[i - 1]);
            QVERIFY(!box->isChecked());
            auto* first = form.findChild<QCheckBox*>(i <= 7 ? "CheckBox1" : "CheckBox8");
            QCOMPARE(box->x(), first->x());  // 1 to 7 left, 8 to 13 right, top to bottom
            if (i != 1 && i != 8)
                QVERIFY(box->y() > form.findChild<QCheckBox*>(QString("CheckBox%1").arg(i - 1))->y());
        }
        QVERIFY(form.findChild<QCheckBox*>("CheckBox8")->x() > form.findChild<QCheckBox*>("CheckBox1")->x());
        QCOMPARE(form.Label1->text(), QString("Выбор иконки ТС :"));
        QCOMPARE(form.Label2->text(), QString("(Кликнуть мышкой для вывода списка)"));
        QCOMPARE(form.Label2->font().pointSize(), 7);
        QCOMPARE(form.btnOK->text(), QString("ОК"));
        QCOMPARE(form.btnCancel->text(), QString("Отмена"));
        QCOMPARE(form.PaintBox1->size(), QSize(56, 56));
        QCOMPARE(form.ComboBox1->size(), QSize(73, 153));
        QCOMPARE(form.ComboBox1->pos(), form.PaintBox1->geometry().bottomLeft() + QPoint(0, 1));
        QVERIFY(form.ComboBox1->isHidden());
    }

    void showSetsRowsChecksAndIcon() {
        data.InfoPoints[2].VisibleList = false;
        data.InfoPoints[12].VisibleList = true;
        data.InfoPointsCount = 12;  // check box 13 keeps its design state
        iconNum = 42;
        auto form = shownForm();
        QCOMPARE(form->ComboBox1->count(), 166);
        for (int r : {0, 100, 165}) QCOMPARE(form->ComboBox1->sizeHintForRow(r), 50);
        QCOMPARE(form->ComboBox1->currentRow(), 42);
        QCOMPARE(form->CheckBoxList.size(), 13);
        QVERIFY(form->FindCheckBox("CheckBox1")->isChecked());
        QVERIFY(!form->FindCheckBox("CheckBox3")->isChecked());
        QVERIFY(form->FindCheckBox("CheckBox12")->isChecked());
        QVERIFY(!form->FindCheckBox("CheckBox13")->isChecked());
        QVERIFY(!form->FindCheckBox("CheckBox1 "));

        // The preview: a framed square with the chosen icon at (4, 4).
        const QImage preview = form->PaintBox1->grab().toImage();
        QCOMPARE(preview.pixelColor(0, 0), QColor(Qt::black));
        QCOMPARE(preview.pixelColor(55, 30), QColor(Qt::black));
        QCOMPARE(preview.pixelColor(2, 2), QColor(Qt::white));
        QCOMPARE(argb(preview.copy(4, 4, 48, 48)), argb(icons->image(42)));

        // Rows: a white frame and the row's icon one pixel inside it.
        form->PaintBox1Click();
        QVERIFY(form->ComboBox1->isVisible());
        form->ComboBox1->scrollToTop();
        const QRect row1 = form->ComboBox1->visualRect(form->ComboBox1->model()->index(1, 0));
        QCOMPARE(row1.height(), 50);
        const QImage rows = form->ComboBox1->viewport()->grab().toImage();
        QCOMPARE(argb(rows.copy(row1.left() + 1, row1.top() + 1, 48, 48)), argb(icons->image(1)));
        QCOMPARE(rows.pixelColor(row1.left() + 49, row1.top() + 20), QColor(Qt::white));
    }

    void okTakesChecksAndIconCancelNothing() {
        iconNum = 5;
        {
            auto form = shownForm();
            form->FindCheckBox("CheckBox2")->setChecked(false);
            form->ComboBox1->setCurrentRow(77);
            form->btnCancel->click();
            QCOMPARE(form->result(), int(QDialog::Rejected));
        }
        QVERIFY(data.InfoPoints[1].VisibleList);
        QCOMPARE(iconNum, 5);
        {
            auto form = shownForm();
            for (QCheckBox* box : form->CheckBoxList) box->setChecked(false);
            form->FindCheckBox("CheckBox4")->setChecked(true);
            form->PaintBox1Click();
            QTest::mouseClick(form->ComboBox1->viewport(), Qt::LeftButton, {},
                              form->ComboBox1->visualRect(form->ComboBox1->model()->index(6, 0)).center());
            QCOMPARE(form->ComboBox1->currentRow(), 6);
            QVERIFY(form->ComboBox1->isHidden());  // a click in the list closes it
            form->btnOK->click();
            QCOMPARE(form->result(), int(QDialog::Accepted));
        }
        for (int i = 0; i < 13; ++i) {
            QCOMPARE(bool(data.InfoPoints[i].VisibleList), i == 3);
            QVERIFY(data.InfoPoints[i].VisibleIcon);  // not the dialog's
        }
        QCOMPARE(iconNum, 6);
    }

    void wheelAwayFromTheList() {
        iconNum = 165;
        auto form = shownForm();
        const QPoint blank(420, 300);  // no control there
        QVERIFY(!form->childAt(blank));
        form->PaintBox1Click();
        wheel(form.get(), blank, -120);
        QCOMPARE(form->ComboBox1->currentRow(), 165);  // at the last row nothing happens
        QVERIFY(form->ComboBox1->isVisible());
        wheel(form.get(), blank, 120);
        QCOMPARE(form->ComboBox1->currentRow(), 164);
        QVERIFY(form->ComboBox1->isHidden());
        // A wheel step that travels from a control up to the dialog moves one row, not two.
        wheel(form->GroupBox1, QPoint(400, 180), -120);
        QCOMPARE(form->ComboBox1->currentRow(), 165);

        form->ComboBox1->setCurrentRow(0);
        form->PaintBox1Click();
        wheel(form.get(), blank, 120);
        QCOMPARE(form->ComboBox1->currentRow(), 0);  // at row 0 wheel up does nothing
        QVERIFY(form->ComboBox1->isVisible());
    }

    void wheelOverTheList() {
        iconNum = 165;
        auto form = shownForm();
        form->PaintBox1Click();
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), form->ComboBox1->mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(form->ComboBox1, &enter);
        QVERIFY(form->MouseOverIconList);
        QWidget* viewport = form->ComboBox1->viewport();
        wheel(viewport, QPoint(10, 10), -120);
        QCOMPARE(form->ComboBox1->currentRow(), 165);  // stays on the last row
        wheel(viewport, QPoint(10, 10), 120);
        QCOMPARE(form->ComboBox1->currentRow(), 164);
        QVERIFY(form->ComboBox1->isVisible());  // over the list it stays open
        form->ComboBox1->setCurrentRow(0);
        wheel(viewport, QPoint(10, 10), 120);
        QCOMPARE(form->ComboBox1->currentRow(), 0);
        wheel(viewport, QPoint(10, 10), -120);
        QCOMPARE(form->ComboBox1->currentRow(), 1);

        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(form->ComboBox1, &leave);
        QVERIFY(!form->MouseOverIconList);
    }

    // An arrow key in the open list selects the next row and acts as a click: the list hides.
    // A key that moves nothing (up on row 0) leaves it open.
    void arrowKeysInTheListAreClicks() {
        auto form = shownForm();
        form->PaintBox1Click();
        form->ComboBox1->setFocus();
        QTest::keyClick(form->ComboBox1, Qt::Key_Up);
        QCOMPARE(form->ComboBox1->currentRow(), 0);
        QVERIFY(form->ComboBox1->isVisible());
        QTest::keyClick(form->ComboBox1, Qt::Key_Down);
        QCOMPARE(form->ComboBox1->currentRow(), 1);
        QVERIFY(form->ComboBox1->isHidden());
    }

    // With the design fonts (Tahoma 8, or its metric twin registered by the player) every
    // check-box caption fits its box uncut.
    void captionsFitInTheDesignFont() {
        if (!telvika::installDesignFonts().startsWith(QStringLiteral("Tahoma")))
            QSKIP("no Tahoma on this system and none to register (Debian's fonts-wine)");
        TFormSettings form(data, iconNum, *icons);
        for (QCheckBox* box : form.GroupBox1->findChildren<QCheckBox*>())
            QVERIFY2(box->sizeHint().width() <= box->width(),
                     qPrintable(box->text() + QStringLiteral(": %1 > %2").arg(box->sizeHint().width()).arg(box->width())));
    }
};

QTEST_MAIN(TestSettingsDialog)
#include "tst_settings_dialog.moc"
