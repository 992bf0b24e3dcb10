// The main window as a user meets it: its controls, start-up without a server, the style
// resources, and the handlers of the server's notifications. The real map control library is
// loaded from the build's bin folder.
#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QSplitter>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "app/TForm1.h"
#include "app/ui/TImageList.h"
#include "app/ui/TSymbolButton.h"
#include "app/ui/TUpDown.h"
#include "app/ui/UserDialogs.h"
#include "automation/TTelvikaAutomation.h"
#include "mvx/IMVControl.h"

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private:
    QTemporaryDir appDir;
    TRecordingUserDialogs dialogs;

    // A window whose server cannot be reached: an unused socket name and no server program.
    std::unique_ptr<TForm1> unreachableWindow() {
        TPlayerEnvironment env;
        env.appDir = appDir.path();
        env.controlDir = QStringLiteral(TELVIKA_BIN_DIR);
        env.serverName = QStringLiteral("telvika-test-none-%1").arg(QCoreApplication::applicationPid());
        env.serverProgram = appDir.filePath(QStringLiteral("no-such-server"));
        env.dialogs = &dialogs;
        return std::make_unique<TForm1>(env);
    }

private slots:
    void init() { dialogs.calls.clear(); }

    void controlsCarryTheirNamesCaptionsAndDefaults();
    void kindMenuItems();
    void imageLists();
    void leftPanelKeepsItsWidth();
    void startupWithoutServer();
    void shutdownAfterFailedStartupKeepsSettings();
    void styleResourcesCopiedOnlyWhenMissing();
    void serverClosedDisablesTheList();
    void onlineDataSetsTheSkipFlag();
    void guardShowsEscapedExceptions();
    void upDownStopsAtItsLimits();
    void symbolCaptionsShowMediaIcons();
};

void TestMainWindow::controlsCarryTheirNamesCaptionsAndDefaults() {
    auto w = unreachableWindow();
    QCOMPARE(w->windowTitle(), QStringLiteral("Плеер \"Telvika\" для программы \"Ormanta\". Версия 1.0"));

    const QList<std::pair<const char*, const char*>> labels = {
        {"Label12", "с"}, {"Label14", "по"}, {"Label2", "Группа:"}, {"Label4", "Название:"},
        {"Label5", "Номер ТС:"}, {"Label6", "№ прибора:"}, {"Label13", "№ рейса:"}, {"lblTripNum", "N/A"},
        {"Label15", "Продолжительность от, с:"}, {"Label8", "Скорость воспроизведения:"},
        {"Label9", "Полоса прокрутки трека"}, {"Label1", "Дата:"}, {"lblDate", "0"}, {"Label7", "Скорость:"},
        {"lblSpeed", "0 км/ч"}, {"Label3", "Пробег:"}, {"lblDistance", "0 м"}};
    for (auto [name, text] : labels) {
        auto* l = w->findChild<QLabel*>(QLatin1String(name));
        QVERIFY2(l, name);
        QCOMPARE(l->text(), QString::fromUtf8(text));
    }
    for (const char* bold : {"Label2", "Label4", "Label5", "Label6", "Label13", "lblTripNum"}) {
        auto* l = w->findChild<QLabel*>(QLatin1String(bold));
        QVERIFY2(l->font().bold(), bold);
        QCOMPARE(l->font().pointSize(), 9);
    }

    const QList<std::tuple<const char*, const char*, int>> boxes = {
        {"GroupBox3", "Выбор периода и ТС", 171}, {"GroupBox2", "Информационные точки", 213},
        {"GroupBox4", "Управление плеером треков", 154}, {"GroupBox5", "Информационная панель", 86}};
    for (auto [name, title, height] : boxes) {
        auto* b = w->findChild<QGroupBox*>(QLatin1String(name));
        QVERIFY2(b, name);
        QCOMPARE(b->title(), QString::fromUtf8(title));
        QCOMPARE(b->height(), height);
    }

    for (const char* name : {"DateBegin", "DateEnd"})
        QCOMPARE(w->findChild<QDateEdit*>(QLatin1String(name))->date(), QDate(2009, 2, 6));
    for (const char* name : {"TimeBegin", "TimeEnd"}) {
        auto* t = w->findChild<QTimeEdit*>(QLatin1String(name));
        QCOMPARE(t->time(), QTime(0, 0));
        QCOMPARE(t->displayFormat(), QStringLiteral("H:mm"));
    }
    QCOMPARE(w->cmbGroupName->maxVisibleItems(), 5);
    for (QComboBox* c : {w->cmbGroupName, w->cmbCarName, w->cmbCarNum, w->cmbCarDevice}) {
        QVERIFY(!c->isEditable());
        QCOMPARE(c->count(), 0);
    }

    QCOMPARE(w->cmbInfoPoints->count(), 1);
    QCOMPARE(w->cmbInfoPoints->currentText(), QStringLiteral("Список рейсов"));
    QCOMPARE(w->ListView1->columnCount(), 4);
    const QStringList headers{QStringLiteral("ID"), QStringLiteral("Начало"), QStringLiteral("Конец"),
                              QStringLiteral("Прод-ть")};
    const int widths[] = {25, 80, 80, 75};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(w->ListView1->headerItem()->text(i), headers[i]);
        QCOMPARE(w->ListView1->columnWidth(i), widths[i]);
    }
    QCOMPARE(w->ListView1->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(w->ListView1->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!w->ListView1->header()->sectionsClickable());

    QCOMPARE(w->txtCont->text(), QStringLiteral("6"));
    QCOMPARE(w->UpDown2->minimum(), 0);
    QCOMPARE(w->UpDown2->maximum(), 9999);
    QCOMPARE(w->UpDown2->position(), 6);

    QCOMPARE(w->btnPlay->caption(), QStringLiteral("4"));
    QCOMPARE(w->btnStop->caption(), QStringLiteral("<"));
    QCOMPARE(w->SpeedButton1->caption(), QStringLiteral("6"));
    QCOMPARE(w->btnPlay->size(), QSize(24, 24));
    QCOMPARE(w->SpeedButton1->size(), QSize(16, 22));
    QCOMPARE(w->SpeedButton1->focusPolicy(), Qt::NoFocus);
    const QList<std::pair<const char*, const char*>> checkButtons = {
        {"ToolButton4", "Трэк"}, {"ToolButton1", "Контрольные точки"}, {"ToolButton2", "Информационные точки"},
        {"ToolButton3", "Пропуск остановок"}};
    for (auto [name, hint] : checkButtons) {
        auto* b = w->findChild<QToolButton*>(QLatin1String(name));
        QVERIFY2(b, name);
        QVERIFY(b->isCheckable());
        QVERIFY(b->isChecked());
        QCOMPARE(b->toolTip(), QString::fromUtf8(hint));
    }
    QCOMPARE(w->btnSettings->toolTip(), QStringLiteral("Настройки"));

    QVERIFY(w->cmbSpeed->isEditable());
    QCOMPARE(w->cmbSpeed->currentText(), QStringLiteral("600x"));
    QCOMPARE(w->cmbSpeed->count(), 9);
    QCOMPARE(w->cmbSpeed->itemText(8), QStringLiteral("1x"));
    QCOMPARE(w->UpDown1->position(), 50);
    QCOMPARE(w->UpDown1->maximum(), 100);

    QVERIFY(!w->Timer1->isActive());
    QCOMPARE(w->Timer1->interval(), 1000);
    QCOMPARE(w->MapListEdit->text(), QStringLiteral("Список карт"));
    QVERIFY(w->MainMenu1->actions().contains(w->MapListEdit));
    QCOMPARE(w->MVCtrl->widget()->objectName(), QStringLiteral("MVCtrl"));
    QVERIFY(w->TrackBar);
    QCOMPARE(w->IconNum, 0);
    QVERIFY(!w->MapListEdited);
}

void TestMainWindow::kindMenuItems() {
    auto w = unreachableWindow();
    const QStringList names{QStringLiteral("mnu2"), QStringLiteral("mnu3"), QStringLiteral("mnu4"),
                            QStringLiteral("mnu5"), QStringLiteral("N5"), QStringLiteral("mnu6"),
                            QStringLiteral("mnu7"), QStringLiteral("N6"), QStringLiteral("mnu8"),
                            QStringLiteral("mnu9"), QStringLiteral("mnu10"), QStringLiteral("mnu11"),
                            QStringLiteral("mnu12"), QStringLiteral("mnu13")};
    const QList<QAction*> actions = w->PopupMenu1->actions();
    QCOMPARE(actions.size(), names.size());
    for (int i = 0; i < names.size(); ++i) QCOMPARE(actions[i]->objectName(), names[i]);
    QVERIFY(w->FindMenuItem(QStringLiteral("N5"))->isSeparator());
    QCOMPARE(w->FindMenuItem(QStringLiteral("mnu2"))->text(), QStringLiteral("Остановки"));
    QCOMPARE(w->FindMenuItem(QStringLiteral("mnu7"))->text(), QStringLiteral("Бак 2"));
    QCOMPARE(w->FindMenuItem(QStringLiteral("mnu13"))->text(), QStringLiteral("Датчик 6"));
    for (int i = 2; i <= 13; ++i) {
        QAction* a = w->FindMenuItem(QStringLiteral("mnu%1").arg(i));
        QVERIFY(a->isCheckable() && a->isChecked());
    }
    QVERIFY(w->FindMenuItem(QStringLiteral("mnu14")) == nullptr);
    QVERIFY(w->FindMenuItem(QStringLiteral("MNU2")) == nullptr);  // names match exactly

    // Triggering an item leaves its mark to the handler: the automatic flip is undone and the
    // handler flips the mark once.
    QAction* a = w->FindMenuItem(QStringLiteral("mnu3"));
    a->trigger();
    QVERIFY(!a->isChecked());
    a->trigger();
    QVERIFY(a->isChecked());
}

void TestMainWindow::imageLists() {
    auto w = unreachableWindow();
    QCOMPARE(w->ImageList1->Count(), 31);
    QCOMPARE(w->ImageList2->Count(), 24);
    QCOMPARE(w->IconsList->Count(), 168);
    QCOMPARE(w->ImageList1->image(9).size(), QSize(16, 16));
    QCOMPARE(w->IconsList->image(167).size(), QSize(48, 48));
    // Vehicle pictures stand on black: the corners are black.
    const QImage car = w->IconsList->image(0);
    QCOMPARE(QColor(car.pixel(0, 0)), QColor(Qt::black));
    // Coloured and greyed kind images differ; the greyed ones have no saturation.
    for (int i = 0; i < 12; ++i) {
        const QImage coloured = w->ImageList2->image(i);
        const QImage grey = w->ImageList2->image(i + 12);
        QVERIFY(coloured != grey);
        int saturated = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                if (QColor::fromRgba(grey.pixel(x, y)).alpha() > 0 && QColor::fromRgba(grey.pixel(x, y)).hsvSaturation() > 40)
                    ++saturated;
        QCOMPARE(saturated, 0);
    }
    QVERIFY(!w->ToolButton1->icon().isNull());
}

void TestMainWindow::leftPanelKeepsItsWidth() {
    auto w = unreachableWindow();
    w->resize(1200, 800);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    for (QGroupBox* b : w->findChildren<QGroupBox*>())
        QVERIFY2(b->minimumSizeHint().width() <= 266, qPrintable(b->objectName() + QString::number(b->minimumSizeHint().width())));
    QCOMPARE(w->Panel2->width(), 266);
    w->resize(1600, 900);
    QTRY_COMPARE(w->Panel1->width(), 1600 - 266 - 5);
    QCOMPARE(w->Panel2->width(), 266);
    // The splitter gives the user the panel's width.
    w->Splitter1->setSizes({320, 1600 - 320 - 5});
    QCOMPARE(w->Panel2->width(), 320);
    QCOMPARE(w->MVCtrl->widget()->size(), w->Panel1->size());
    w->close();
}

void TestMainWindow::startupWithoutServer() {
    auto w = unreachableWindow();
    w->guarded([&] { w->FormShow(); });
    // First the start-up message, with no owner window...
    QVERIFY(dialogs.calls.size() >= 1);
    QCOMPARE(dialogs.calls[0].kind, QStringLiteral("message"));
    QCOMPARE(dialogs.calls[0].text, QStringLiteral("Ошибка запуска ПО Telvika"));
    QCOMPARE(dialogs.calls[0].caption, QStringLiteral("Ошибка"));
    QVERIFY(!dialogs.calls[0].hasOwner);
    // ... then the failed connection's own message through the standard error display.
    QCOMPARE(dialogs.calls.size(), 2);
    QCOMPARE(dialogs.calls[1].kind, QStringLiteral("exception"));
    QVERIFY(dialogs.calls[1].text.contains(QStringLiteral("no-such-server")));
    QVERIFY(w->StartupDone);
    QVERIFY(!w->SettingsLoaded);
}

void TestMainWindow::shutdownAfterFailedStartupKeepsSettings() {
    const QString settings = appDir.filePath(QStringLiteral("TVSettings.xml"));
    const QByteArray stored = "<?xml version=\"1.0\"?>\r\n<AppSettings><Settings><GroupID>3</GroupID></Settings></AppSettings>\r\n";
    writeFile(settings, stored);
    {
        auto w = unreachableWindow();
        w->show();
        // ... then the standard error display with the failed connection's message; the window stays.
        QTRY_VERIFY(w->StartupDone);
        QTRY_COMPARE(dialogs.calls.size(), 2);
        QCOMPARE(dialogs.calls[1].kind, QStringLiteral("exception"));
        QVERIFY(!dialogs.calls[1].text.isEmpty());
        QVERIFY(w->isVisible());
        QVERIFY(!w->SettingsLoaded);
        QCOMPARE(w->cmbGroupName->count(), 0);
        QVERIFY(w->data.MarkerShape.isEmpty());  // the steps after the failure did not run
        w->close();
    }
    QCOMPARE(readAll(settings), stored);
}

void TestMainWindow::styleResourcesCopiedOnlyWhenMissing() {
    auto w = unreachableWindow();
    QTemporaryDir controlDir;
    QDir(controlDir.path()).mkdir(QStringLiteral("RESOURCES"));
    const QString res = controlDir.filePath(QStringLiteral("RESOURCES"));
    w->MVCtrl->SetControlDir(controlDir.path());
    writeFile(appDir.filePath(QStringLiteral("TVAllTS.res")), "new vehicles");
    writeFile(appDir.filePath(QStringLiteral("TVIcons.res")), "new icons");
    writeFile(res + QStringLiteral("/TVAllTS.res"), "old vehicles");

    w->InstallStyleResources();
    QCOMPARE(readAll(res + QStringLiteral("/TVAllTS.res")), QByteArray("old vehicles"));
    QCOMPARE(readAll(res + QStringLiteral("/TVIcons.res")), QByteArray("new icons"));

    // A missing resource folder is not created.
    QTemporaryDir bare;
    w->MVCtrl->SetControlDir(bare.path());
    w->InstallStyleResources();
    QVERIFY(!QDir(bare.filePath(QStringLiteral("RESOURCES"))).exists());
    QFile::remove(appDir.filePath(QStringLiteral("TVAllTS.res")));
    QFile::remove(appDir.filePath(QStringLiteral("TVIcons.res")));
}

void TestMainWindow::serverClosedDisablesTheList() {
    auto w = unreachableWindow();
    w->data.TrackingServer = new TTelvikaAutomation(w.get(), QStringLiteral("unused"));
    w->ServerClosed();
    QVERIFY(w->data.TrackingServer == nullptr);
    QVERIFY(!w->ListView1->isEnabled());
}

void TestMainWindow::onlineDataSetsTheSkipFlag() {
    auto w = unreachableWindow();
    w->OnlineDataReceived();
    QVERIFY(w->data.SkipNextEndComputing);
    QCOMPARE(w->data.SkipNextEndComputing.raw(), -1);
    w->data.SkipNextEndComputing = false;
    w->cmbCarDevice->addItem(QStringLiteral("101"));
    w->cmbCarDevice->setCurrentIndex(0);
    w->OnlineDataReceived();
    QVERIFY(w->data.SkipNextEndComputing);
}

void TestMainWindow::guardShowsEscapedExceptions() {
    auto w = unreachableWindow();
    w->guarded([] { throw std::runtime_error("сбой"); });
    QCOMPARE(dialogs.calls.size(), 1);
    QCOMPARE(dialogs.calls[0].kind, QStringLiteral("exception"));
    QCOMPARE(dialogs.calls[0].text, QStringLiteral("сбой"));
    QVERIFY(dialogs.calls[0].hasOwner);
    // A library's own English message comes inside a Russian sentence.
    w->guarded([] { throw std::length_error("vector::reserve"); });
    QCOMPARE(dialogs.calls.size(), 2);
    QCOMPARE(dialogs.calls[1].text,
             QStringLiteral("Операция не выполнена из-за внутренней ошибки: vector::reserve"));
}

void TestMainWindow::upDownStopsAtItsLimits() {
    auto w = unreachableWindow();
    QVector<std::pair<bool, int>> seen;
    connect(w->UpDown2, &TUpDown::ChangingEx, this,
            [&](bool& allow, int value, TUpDown::Direction) { seen.push_back({allow, value}); });
    w->txtCont->setText(QStringLiteral("9998"));
    w->UpDown2->click(TUpDown::updUp);
    QCOMPARE(w->txtCont->text(), QStringLiteral("9999"));
    w->UpDown2->click(TUpDown::updUp);  // refused at the maximum, but still reported
    QCOMPARE(w->txtCont->text(), QStringLiteral("9999"));
    QCOMPARE(seen.size(), 2);
    QVERIFY(seen[0].first);
    QVERIFY(!seen[1].first);
    QCOMPARE(seen[1].second, 10000);
    w->txtCont->setText(QStringLiteral("0"));
    w->UpDown2->click(TUpDown::updDown);
    QCOMPARE(w->txtCont->text(), QStringLiteral("0"));
    // A handler may refuse a change inside the range.
    connect(w->UpDown1, &TUpDown::ChangingEx, this, [](bool& allow, int, TUpDown::Direction) { allow = false; });
    w->UpDown1->click(TUpDown::updUp);
    QCOMPARE(w->UpDown1->position(), 50);
}

void TestMainWindow::symbolCaptionsShowMediaIcons() {
    auto w = unreachableWindow();
    const QImage play = w->btnPlay->icon().pixmap(16, 16).toImage();
    w->btnPlay->setCaption(QStringLiteral(";"));
    QCOMPARE(w->btnPlay->caption(), QStringLiteral(";"));
    QCOMPARE(w->btnPlay->property("caption").toString(), QStringLiteral(";"));
    const QImage pause = w->btnPlay->icon().pixmap(16, 16).toImage();
    QVERIFY(play != pause);
    QCOMPARE(w->btnPlay->accessibleName(), QStringLiteral("Пауза"));
    w->btnPlay->setCaption(QStringLiteral("4"));
    QCOMPARE(w->btnPlay->icon().pixmap(16, 16).toImage(), play);
    QVERIFY(w->btnStop->icon().pixmap(16, 16).toImage() != play);
    // A screen reader reads what the symbols stand for, in Russian; no tooltip is added.
    QCOMPARE(w->btnPlay->accessibleName(), QStringLiteral("Воспроизведение"));
    QCOMPARE(w->btnStop->accessibleName(), QStringLiteral("Стоп"));
    QCOMPARE(w->SpeedButton1->accessibleName(), QStringLiteral("Виды информационных точек"));
    for (TSymbolButton* b : {w->btnPlay, w->btnStop, w->SpeedButton1}) {
        QVERIFY(!b->accessibleDescription().isEmpty());
        QVERIFY(b->toolTip().isEmpty());
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
