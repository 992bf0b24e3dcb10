// Construction of the main window: controls, layout, non-visual parts and the wiring of every
// control's events to its handler.
#include "app/TForm1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDomDocument>
#include <QElapsedTimer>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QSlider>
#include <QSplitter>
#include <QTimeEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>

#include "app/ui/TImageList.h"
#include "app/ui/TListPopupStyle.h"
#include "app/ui/TSymbolButton.h"
#include "app/ui/TUpDown.h"
#include "app/ui/UserDialogs.h"
#include "ServerClosedError.h"
#include "common/Error.h"
#include "map/MapControlLoader.h"
#include "tracking/TPeriodCommitWatcher.h"
#include "mvx/IMVControl.h"
#include "PlayerImages.h"

namespace {

const QString WindowCaption = QStringLiteral("Плеер \"Telvika\" для программы \"Ormanta\". Версия 1.0");
constexpr int PanelWidth = 266;
constexpr int MaxTypedLength = 4;  // characters the duration and speed boxes take from the keyboard

template <class W>
W* named(W* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

QLabel* label(const QString& name, const QString& text, QWidget* parent) {
    return named(new QLabel(text, parent), name);
}

QFrame* bevel(const QString& name, QFrame::Shape shape, QWidget* parent) {
    auto* f = named(new QFrame(parent), name);
    f->setFrameShape(shape);
    f->setFrameShadow(QFrame::Sunken);
    return f;
}

QFont tahoma(int points, bool bold = false) {
    QFont f(QStringLiteral("Tahoma"), points);
    f.setBold(bold);
    return f;
}

QGroupBox* groupBox(const QString& name, const QString& caption, int height, QWidget* parent) {
    auto* box = named(new QGroupBox(caption, parent), name);
    box->setFixedHeight(height);
    box->setFont(QFont(QStringLiteral("Arial"), 8));  // the caption's font; see keepWindowFont
    return box;
}

// Controls inside a group box keep the window's font, not the box caption's.
void keepWindowFont(QGroupBox* box, const QFont& font) {
    for (QWidget* w : box->findChildren<QWidget*>())
        if (!w->testAttribute(Qt::WA_SetFont)) w->setFont(font);
}

}  // namespace

TForm1::TForm1(const TPlayerEnvironment& environment, QWidget* parent)
    : QMainWindow(parent), XMLDocument2(std::make_unique<QDomDocument>()), env_(environment) {
    setObjectName(QStringLiteral("Form1"));
    if (env_.dialogs) {
        dialogs_ = env_.dialogs;
    } else {
        ownDialogs_ = std::make_unique<TQtUserDialogs>();
        dialogs_ = ownDialogs_.get();
    }
    setWindowTitle(WindowCaption);
    setFont(tahoma(8));
    resize(873, 761);

    buildNonVisual();
    buildControls();

    // The hosted map control; failing to create it fails the window.
    const QString controlDir = env_.controlDir.isEmpty() ? env_.appDir : env_.controlDir;
    MVCtrl = TMapControlLoader::create(controlDir, Panel1);
    MVCtrl->widget()->setObjectName(QStringLiteral("MVCtrl"));
    Panel1->layout()->addWidget(MVCtrl->widget());

    wireEvents();
    buildTripAnalysis();
}

TForm1::~TForm1() {
    if (!destroyed_) guarded([this] { FormDestroy(); });
}

QAction* TForm1::FindMenuItem(const QString& name) const {
    if (!PopupMenu1) return nullptr;
    for (QAction* a : PopupMenu1->actions())
        if (a->objectName() == name) return a;
    return nullptr;
}

void TForm1::buildNonVisual() {
    ImageList1 = new TImageList(QStringLiteral("ImageList1"), QSize(16, 16), resources::toolbarImages(), this);
    ImageList2 = new TImageList(QStringLiteral("ImageList2"), QSize(16, 16), resources::kindMenuImages(), this);
    IconsList = new TImageList(QStringLiteral("IconsList"), QSize(48, 48), resources::vehicleImages(), this);

    Timer1 = named(new QTimer(this), QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer1->setTimerType(Qt::PreciseTimer);

    PopupMenu1 = named(new QMenu(this), QStringLiteral("PopupMenu1"));
    const QStringList captions{QStringLiteral("Остановки"), QStringLiteral("Сигнал"), QStringLiteral("Питание"),
                               QStringLiteral("Скорость"), QStringLiteral("Бак 1"), QStringLiteral("Бак 2"),
                               QStringLiteral("Датчик 1"), QStringLiteral("Датчик 2"), QStringLiteral("Датчик 3"),
                               QStringLiteral("Датчик 4"), QStringLiteral("Датчик 5"), QStringLiteral("Датчик 6")};
    for (int i = 2; i <= 13; ++i) {
        if (i == 6 || i == 8) {
            QAction* sep = PopupMenu1->addSeparator();
            sep->setObjectName(i == 6 ? QStringLiteral("N5") : QStringLiteral("N6"));
        }
        QAction* item = PopupMenu1->addAction(captions[i - 2]);
        item->setObjectName(QStringLiteral("mnu%1").arg(i));
        item->setCheckable(true);
        item->setChecked(true);
        item->setIcon(ImageList2->icon(i - 2));
        item->setIconVisibleInMenu(true);
    }

    MainMenu1 = named(menuBar(), QStringLiteral("MainMenu1"));
    MapListEdit = MainMenu1->addAction(QStringLiteral("Список карт"));
    MapListEdit->setObjectName(QStringLiteral("MapListEdit"));
}

void TForm1::buildControls() {
    Splitter1 = named(new QSplitter(Qt::Horizontal, this), QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(5);
    Splitter1->setChildrenCollapsible(false);
    setCentralWidget(Splitter1);

    Panel2 = named(new QWidget(Splitter1), QStringLiteral("Panel2"));
    auto* left = new QVBoxLayout(Panel2);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    buildPeriodBox(Panel2);
    buildInfoPointsBox(Panel2);
    buildPlayerBox(Panel2);
    buildInfoPanel(Panel2);
    for (QGroupBox* box : {GroupBox3, GroupBox2, GroupBox4, GroupBox5}) {
        keepWindowFont(box, font());
        left->addWidget(box);
    }
    left->addStretch(1);

    Panel1 = named(new QWidget(Splitter1), QStringLiteral("Panel1"));
    auto* right = new QVBoxLayout(Panel1);
    right->setContentsMargins(0, 0, 0, 0);

    Splitter1->addWidget(Panel2);
    Splitter1->addWidget(Panel1);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({PanelWidth, 873 - PanelWidth - 5});
    Panel2->setMinimumWidth(120);
}

void TForm1::buildPeriodBox(QWidget* panel) {
    GroupBox3 = groupBox(QStringLiteral("GroupBox3"), QStringLiteral("Выбор периода и ТС"), 171, panel);
    auto* grid = new QGridLayout(GroupBox3);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(1);

    const QDate designDate(2009, 2, 6);
    auto dateEdit = [&](const QString& name) {
        auto* e = named(new QDateEdit(designDate, GroupBox3), name);
        e->setCalendarPopup(true);
        e->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        return e;
    };
    auto timeEdit = [&](const QString& name) {
        auto* e = named(new QTimeEdit(QTime(0, 0), GroupBox3), name);
        e->setDisplayFormat(QStringLiteral("H:mm"));
        return e;
    };
    Label12 = label(QStringLiteral("Label12"), QStringLiteral("с"), GroupBox3);
    DateBegin = dateEdit(QStringLiteral("DateBegin"));
    TimeBegin = timeEdit(QStringLiteral("TimeBegin"));
    Label14 = label(QStringLiteral("Label14"), QStringLiteral("по"), GroupBox3);
    DateEnd = dateEdit(QStringLiteral("DateEnd"));
    TimeEnd = timeEdit(QStringLiteral("TimeEnd"));
    grid->addWidget(Label12, 0, 0);
    grid->addWidget(DateBegin, 0, 1);
    grid->addWidget(TimeBegin, 0, 2);
    grid->addWidget(Label14, 1, 0);
    grid->addWidget(DateEnd, 1, 1);
    grid->addWidget(TimeEnd, 1, 2);
    Bevel4 = bevel(QStringLiteral("Bevel4"), QFrame::HLine, GroupBox3);
    grid->addWidget(Bevel4, 2, 0, 1, 3);

    auto combo = [&](const QString& name) {
        auto* c = named(new QComboBox(GroupBox3), name);
        c->setEditable(false);
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        c->setMinimumContentsLength(8);
        return c;
    };
    const QFont captionFont = tahoma(9, true);
    auto caption = [&](const QString& name, const QString& text) {
        QLabel* l = label(name, text, GroupBox3);
        l->setFont(captionFont);
        return l;
    };
    Label2 = caption(QStringLiteral("Label2"), QStringLiteral("Группа:"));
    cmbGroupName = combo(QStringLiteral("cmbGroupName"));
    cmbGroupName->setMaxVisibleItems(5);
    // The group list shows at most five rows when dropped down, whatever the application style.
    auto* popupStyle = new TListPopupStyle;
    popupStyle->setParent(cmbGroupName);
    cmbGroupName->setStyle(popupStyle);
    Label4 = caption(QStringLiteral("Label4"), QStringLiteral("Название:"));
    cmbCarName = combo(QStringLiteral("cmbCarName"));
    Label5 = caption(QStringLiteral("Label5"), QStringLiteral("Номер ТС:"));
    cmbCarNum = combo(QStringLiteral("cmbCarNum"));
    Label6 = caption(QStringLiteral("Label6"), QStringLiteral("№ прибора:"));
    cmbCarDevice = combo(QStringLiteral("cmbCarDevice"));
    Label13 = caption(QStringLiteral("Label13"), QStringLiteral("№ рейса:"));
    lblTripNum = caption(QStringLiteral("lblTripNum"), QStringLiteral("N/A"));

    int row = 3;
    for (auto [l, w] : {std::pair<QWidget*, QWidget*>{Label2, cmbGroupName}, {Label4, cmbCarName},
                        {Label5, cmbCarNum}, {Label6, cmbCarDevice}, {Label13, lblTripNum}}) {
        grid->addWidget(l, row, 0, 1, 1);
        grid->addWidget(w, row, 1, 1, 2);
        ++row;
    }
    grid->setColumnStretch(1, 1);
}

void TForm1::buildInfoPointsBox(QWidget* panel) {
    GroupBox2 = groupBox(QStringLiteral("GroupBox2"), QStringLiteral("Информационные точки"), 213, panel);
    auto* v = new QVBoxLayout(GroupBox2);
    v->setContentsMargins(6, 4, 6, 4);
    v->setSpacing(3);

    cmbInfoPoints = named(new QComboBox(GroupBox2), QStringLiteral("cmbInfoPoints"));
    cmbInfoPoints->addItem(QStringLiteral("Список рейсов"), 0);
    cmbInfoPoints->setCurrentIndex(0);
    v->addWidget(cmbInfoPoints);

    ListView1 = named(new QTreeWidget(GroupBox2), QStringLiteral("ListView1"));
    ListView1->setColumnCount(4);
    ListView1->setHeaderLabels({QStringLiteral("ID"), QStringLiteral("Начало"), QStringLiteral("Конец"),
                                QStringLiteral("Прод-ть")});
    ListView1->header()->setMinimumSectionSize(16);
    const int widths[] = {25, 80, 80, 75};
    for (int i = 0; i < 4; ++i) ListView1->setColumnWidth(i, widths[i]);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->header()->setMinimumSectionSize(16);
    ListView1->header()->setSectionsClickable(false);
    ListView1->header()->setSectionsMovable(false);
    ListView1->header()->setStretchLastSection(false);
    // The selection stays visible when the list loses the focus.
    QPalette pal = ListView1->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    ListView1->setPalette(pal);
    v->addWidget(ListView1, 1);

    auto* row = new QHBoxLayout;
    Label15 = label(QStringLiteral("Label15"), QStringLiteral("Продолжительность от, с:"), GroupBox2);
    txtCont = named(new QLineEdit(QStringLiteral("6"), GroupBox2), QStringLiteral("txtCont"));
    txtCont->setFixedWidth(48);
    UpDown2 = named(new TUpDown(GroupBox2), QStringLiteral("UpDown2"));
    UpDown2->setRange(0, 9999);
    UpDown2->setPosition(6);
    UpDown2->setAssociate(txtCont);
    row->addWidget(Label15);
    row->addStretch(1);
    row->addWidget(txtCont);
    row->addWidget(UpDown2);
    row->setSpacing(0);
    v->addLayout(row);
}

void TForm1::buildPlayerBox(QWidget* panel) {
    GroupBox4 = groupBox(QStringLiteral("GroupBox4"), QStringLiteral("Управление плеером треков"), 154, panel);
    auto* v = new QVBoxLayout(GroupBox4);
    v->setContentsMargins(4, 4, 4, 4);
    v->setSpacing(3);

    auto* top = new QHBoxLayout;
    top->setSpacing(3);
    btnPlay = named(new TSymbolButton(QStringLiteral("4"), GroupBox4), QStringLiteral("btnPlay"));
    btnStop = named(new TSymbolButton(QStringLiteral("<"), GroupBox4), QStringLiteral("btnStop"));
    for (TSymbolButton* b : {btnPlay, btnStop}) {
        b->setFixedSize(24, 24);
        b->setIconSize(QSize(16, 16));
        top->addWidget(b);
    }
    Bevel2 = bevel(QStringLiteral("Bevel2"), QFrame::VLine, GroupBox4);
    top->addWidget(Bevel2);

    ToolBar1 = named(new QToolBar(GroupBox4), QStringLiteral("ToolBar1"));
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setContentsMargins(0, 0, 0, 0);
    ToolBar1->layout()->setSpacing(0);
    ToolBar1->layout()->setContentsMargins(0, 0, 0, 0);
    auto checkButton = [&](const QString& name, const QString& hint, int image) {
        auto* b = named(new QToolButton(ToolBar1), name);
        b->setCheckable(true);
        b->setChecked(true);
        b->setToolTip(hint);
        b->setIcon(ImageList1->icon(image));
        b->setAutoRaise(true);
        b->setFixedSize(23, 22);
        ToolBar1->addWidget(b);
        return b;
    };
    ToolButton4 = checkButton(QStringLiteral("ToolButton4"), QStringLiteral("Трэк"), 28);
    ToolButton1 = checkButton(QStringLiteral("ToolButton1"), QStringLiteral("Контрольные точки"), 9);
    ToolButton2 = checkButton(QStringLiteral("ToolButton2"), QStringLiteral("Информационные точки"), 10);
    SpeedButton1 = named(new TSymbolButton(QStringLiteral("6"), ToolBar1), QStringLiteral("SpeedButton1"));
    SpeedButton1->setFixedSize(16, 22);
    SpeedButton1->setIconSize(QSize(14, 20));
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setAutoRaise(true);
    ToolBar1->addWidget(SpeedButton1);
    ToolButton3 = checkButton(QStringLiteral("ToolButton3"), QStringLiteral("Пропуск остановок"), 29);
    btnSettings = named(new QToolButton(ToolBar1), QStringLiteral("btnSettings"));
    btnSettings->setToolTip(QStringLiteral("Настройки"));
    btnSettings->setIcon(ImageList1->icon(30));
    btnSettings->setAutoRaise(true);
    btnSettings->setFixedSize(23, 22);
    ToolBar1->addWidget(btnSettings);
    top->addWidget(ToolBar1, 1);
    v->addLayout(top);

    Bevel3 = bevel(QStringLiteral("Bevel3"), QFrame::HLine, GroupBox4);
    v->addWidget(Bevel3);

    auto* speedRow = new QHBoxLayout;
    Label8 = label(QStringLiteral("Label8"), QStringLiteral("Скорость воспроизведения:"), GroupBox4);
    cmbSpeed = named(new QComboBox(GroupBox4), QStringLiteral("cmbSpeed"));
    cmbSpeed->setEditable(true);
    cmbSpeed->setInsertPolicy(QComboBox::NoInsert);
    cmbSpeed->addItems({QStringLiteral("600x"), QStringLiteral("300x"), QStringLiteral("100x"), QStringLiteral("60x"),
                        QStringLiteral("30x"), QStringLiteral("10x"), QStringLiteral("6x"), QStringLiteral("3x"),
                        QStringLiteral("1x")});
    cmbSpeed->setEditText(QStringLiteral("600x"));
    cmbSpeed->setFixedWidth(54);
    UpDown1 = named(new TUpDown(GroupBox4), QStringLiteral("UpDown1"));
    UpDown1->setRange(0, 100);
    UpDown1->setPosition(50);
    speedRow->addWidget(Label8);
    speedRow->addStretch(1);
    speedRow->addWidget(cmbSpeed);
    speedRow->addWidget(UpDown1);
    speedRow->setSpacing(0);
    v->addLayout(speedRow);

    Bevel1 = bevel(QStringLiteral("Bevel1"), QFrame::HLine, GroupBox4);
    v->addWidget(Bevel1);
    Label9 = label(QStringLiteral("Label9"), QStringLiteral("Полоса прокрутки трека"), GroupBox4);
    v->addWidget(Label9);
    TrackBar = named(new QSlider(Qt::Horizontal, GroupBox4), QStringLiteral("TrackBar"));
    TrackBar->setRange(0, 10);
    TrackBar->setTickPosition(QSlider::TicksBelow);
    v->addWidget(TrackBar);
}

void TForm1::buildInfoPanel(QWidget* panel) {
    GroupBox5 = groupBox(QStringLiteral("GroupBox5"), QStringLiteral("Информационная панель"), 86, panel);
    auto* form = new QFormLayout(GroupBox5);
    form->setContentsMargins(6, 2, 6, 2);
    form->setVerticalSpacing(2);
    Label1 = label(QStringLiteral("Label1"), QStringLiteral("Дата:"), GroupBox5);
    lblDate = label(QStringLiteral("lblDate"), QStringLiteral("0"), GroupBox5);
    Label7 = label(QStringLiteral("Label7"), QStringLiteral("Скорость:"), GroupBox5);
    lblSpeed = label(QStringLiteral("lblSpeed"), QStringLiteral("0 км/ч"), GroupBox5);
    Label3 = label(QStringLiteral("Label3"), QStringLiteral("Пробег:"), GroupBox5);
    lblDistance = label(QStringLiteral("lblDistance"), QStringLiteral("0 м"), GroupBox5);
    form->addRow(Label1, lblDate);
    form->addRow(Label7, lblSpeed);
    form->addRow(Label3, lblDistance);
}

void TForm1::wireEvents() {
    auto g = [this](auto handler) { return [this, handler] { guarded(handler); }; };

    MVCtrl->SetOnMouseAction([this](int action, int uMsg, int x, int y, bool& handled) {
        guarded([&] { MVCtrlMouseAction(action, uMsg, x, y, handled); });
    });
    MVCtrl->SetOnSelfDraw([this](QPainter&, const QRect&) { guarded([this] { MVCtrlSelfDraw(); }); });

    // Combo boxes react to the user's choice only (activated); setting the index from the program
    // never runs the change handler.
    connect(cmbGroupName, &QComboBox::activated, this, g([this] { cmbGroupNameChange(); }));
    for (QComboBox* c : {cmbCarName, cmbCarNum, cmbCarDevice})
        connect(c, &QComboBox::activated, this, [this, c] { guarded([this, c] { cmbChange(c); }); });
    // The period pickers answer a new value the user commits (a finished edit or a calendar pick);
    // values the program sets send nothing, nor does a picker that loses the focus as the window goes.
    new TPeriodCommitWatcher({DateBegin, TimeBegin, DateEnd, TimeEnd}, [this] {
        if (!destroyed_) guarded([this] { DateTimeChange(); });
    }, this);
    connect(cmbInfoPoints, &QComboBox::activated, this, g([this] { cmbInfoPointsChange(); }));
    connect(ListView1, &QTreeWidget::itemClicked, this, g([this] { ListView1Click(); }));
    connect(txtCont, &QLineEdit::textChanged, this, g([this] { txtContChange(); }));
    txtCont->installEventFilter(this);
    connect(btnPlay, &QToolButton::clicked, this, g([this] { btnPlayClick(); }));
    connect(btnStop, &QToolButton::clicked, this, [this] { guarded([this] { btnStopClick(btnStop); }); });
    connect(cmbSpeed->lineEdit(), &QLineEdit::textEdited, this, g([this] { cmbSpeedChange(); }));
    connect(cmbSpeed, &QComboBox::activated, this, g([this] { cmbSpeedChange(); }));
    cmbSpeed->lineEdit()->installEventFilter(this);
    cmbSpeed->installEventFilter(this);
    connect(UpDown1, &TUpDown::ChangingEx, this, [this](bool& allow, int value, TUpDown::Direction dir) {
        guarded([&] { UpDown1ChangingEx(allow, value, dir); });
    });
    connect(TrackBar, &QSlider::valueChanged, this, g([this] { TrackBarChange(); }));
    connect(Timer1, &QTimer::timeout, this, g([this] { Timer1Timer(); }));
    connect(ToolButton4, &QToolButton::clicked, this, g([this] { ToolButton4Click(); }));
    connect(ToolButton1, &QToolButton::clicked, this, g([this] { ToolButton1Click(); }));
    connect(ToolButton2, &QToolButton::clicked, this, g([this] { ToolButton2Click(); }));
    connect(SpeedButton1, &QToolButton::clicked, this, g([this] { SpeedButton1Click(); }));
    connect(btnSettings, &QToolButton::clicked, this, g([this] { btnSettingsClick(); }));
    for (int i = 2; i <= 13; ++i) {
        QAction* item = FindMenuItem(QStringLiteral("mnu%1").arg(i));
        connect(item, &QAction::triggered, this, [this, item](bool checked) {
            // A checkable action flips its own mark before this runs; the handler flips it, so the
            // automatic flip is undone first.
            item->setChecked(!checked);
            guarded([this, item] { mnuClick(item); });
        });
    }
    connect(MapListEdit, &QAction::triggered, this, g([this] { MapListEditClick(); }));
}

void TForm1::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const telvika::automation::ServerClosedError&) {
        // The server closed as it announced; the announcement comes next and the window forgets it.
    } catch (const std::exception& e) {
        dialogs_->showException(this, telvika::messageOf(e));
    } catch (...) {
        dialogs_->showException(this, QStringLiteral("Неизвестная ошибка"));
    }
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The start-up sequence runs once, at the start of the message loop after the first show.
    if (!formShowQueued_) {
        formShowQueued_ = true;
        QTimer::singleShot(0, this, [this] { runStartupSequence(); });
    }
}

void TForm1::runStartupSequence() {
    // The sequence blocks the GUI thread (the server may take seconds to start): the window is
    // painted first, so that it is never shown black, and the wait cursor stays up meanwhile.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    if (QWindow* handle = windowHandle()) {
        QElapsedTimer waited;
        waited.start();
        while (!handle->isExposed() && waited.elapsed() < 500)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    }
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    guarded([this] { FormShow(); });
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!destroyed_) guarded([this] { FormDestroy(); });
    event->accept();
}

void TForm1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && StartupDone)
        guarded([this] { FormActivate(); });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
    auto* ke = static_cast<QKeyEvent*>(event);
    auto* edit = watched == txtCont ? txtCont : watched == cmbSpeed->lineEdit() ? cmbSpeed->lineEdit() : nullptr;
    const QString text = ke->text();
    // Typed characters pass through the key-press handler, which may discard them (a null key);
    // navigation and editing keys (Tab, Enter, Escape, Delete, arrows, shortcuts) work as in any edit.
    const bool typed = ke->key() == Qt::Key_Backspace ||
                       (!text.isEmpty() && text.at(0).isPrint() && !(ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier)));
    if (edit && typed) {
        QChar key = ke->key() == Qt::Key_Backspace ? QChar(8) : text.at(0);
        if (edit == txtCont)
            guarded([&] { txtContKeyPress(key); });
        else
            guarded([&] { cmbSpeedKeyPress(key); });
        // The boxes take at most four characters from the keyboard; the program may set more.
        const bool full = key != QChar(8) && edit->text().size() - edit->selectedText().size() >= MaxTypedLength;
        if (key.isNull() || full) return true;
    }
    // The arrow keys in the speed box step from the speed shown (the up-down sends them too).
    if ((watched == cmbSpeed || watched == cmbSpeed->lineEdit()) && !(ke->modifiers() & Qt::AltModifier) &&
        (ke->key() == Qt::Key_Up || ke->key() == Qt::Key_Down)) {
        guarded([&] { cmbSpeedStep(ke->key() == Qt::Key_Up ? -1 : 1); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
