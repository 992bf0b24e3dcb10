#include "settings/TFormSettings.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QWheelEvent>

#include "app/model/SharedData.h"
#include "app/ui/TImageList.h"

namespace {

// Captions of the check boxes: fixed texts of the dialog, not the kind names of the settings file.
const char* const CheckBoxCaptions[] = {
    "Контрольные точки",           "Список остановок",
    "Периоды отсутствия сигнала",  "Периоды пропадания питания",
    "Периоды превышения скорости", "Заправки и сливы бака №1",
    "Заправки и сливы бака №2",    "Включения датчика №1",
    "Включения датчика №2",        "Включения датчика №3",
    "Включения датчика №4",        "Включения датчика №5",
    "Включения датчика №6",
};
constexpr int LeftColumnCount = 7;

// Rows of the icon list are drawn by the dialog, over the list's own selection and focus marks.
class TIconRowDelegate : public QStyledItemDelegate {
public:
    explicit TIconRowDelegate(TFormSettings* form) : QStyledItemDelegate(form), form_(form) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        form_->ComboBox2DrawItem(*painter, index.row(), option.rect);
        painter->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return QSize(option.rect.width(), TFormSettings::IconRowHeight);
    }

private:
    TFormSettings* form_;
};

}  // namespace

void TPaintBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (OnPaint) OnPaint(painter);
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
        OnClick();
}

TFormSettings::TFormSettings(TSharedData& data, int& iconNum, const TImageList& icons, QWidget* parent)
    : QDialog(parent), data_(data), iconNum_(iconNum), icons_(icons) {
    setObjectName(QStringLiteral("FormSettings"));
    setWindowTitle(QStringLiteral("Настройки"));
    // A tool window without caption buttons that stays on top.
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(426, 454);

    GroupBox1 = new QGroupBox(QStringLiteral("Отображ. информ. точек в списках"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(9, 8, 408, 188);
    for (int i = 1; i <= 13; ++i) {
        auto* box = new QCheckBox(QString::fromUtf8(CheckBoxCaptions[i - 1]), GroupBox1);
        box->setObjectName(QStringLiteral("CheckBox%1").arg(i));
        const bool left = i <= LeftColumnCount;
        const int row = left ? i - 1 : i - 1 - LeftColumnCount;
        box->setGeometry(left ? 12 : 212, 22 + row * 23, 188, 19);
    }

    Label1 = new QLabel(QStringLiteral("Выбор иконки ТС :"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(12, 212, 120, 16);
    Label2 = new QLabel(QStringLiteral("(Кликнуть мышкой для вывода списка)"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(QFont(QStringLiteral("Tahoma"), 7));
    Label2->setGeometry(12, 230, 200, 14);

    PaintBox1 = new TPaintBox(this);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->setGeometry(220, 206, 56, 56);
    PaintBox1->OnPaint = [this](QPainter& p) { PaintBox1Paint(p); };
    PaintBox1->OnClick = [this] { PaintBox1Click(); };

    // The icon list opens right under the preview.
    ComboBox1 = new QListWidget(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(220, 262, 73, 153);
    ComboBox1->setItemDelegate(new TIconRowDelegate(this));
    ComboBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ComboBox1->setUniformItemSizes(true);
    ComboBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ComboBox1->hide();
    connect(ComboBox1, &QListWidget::clicked, this, [this] { ComboBox2Change(); });

    btnOK = new QPushButton(QStringLiteral("ОК"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(254, 420, 75, 25);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    btnCancel = new QPushButton(QStringLiteral("Отмена"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(340, 420, 75, 25);
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });

    // The wheel is the dialog's wherever the pointer is; the list's own enter and leave.
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
}

void TFormSettings::FormShow() {
    ComboBox1->clear();
    for (int r = 0; r < IconRows; ++r) {
        auto* item = new QListWidgetItem(ComboBox1);
        item->setSizeHint(QSize(IconRowHeight, IconRowHeight));
    }
    selectRow(0);
    CheckBoxList = GroupBox1->findChildren<QCheckBox*>();
    ShowListedKinds();
    // An icon number outside the list keeps row 0.
    if (iconNum_ >= 0 && iconNum_ < IconRows) selectRow(iconNum_);
}

QCheckBox* TFormSettings::FindCheckBox(const QString& name) const {
    for (QCheckBox* box : CheckBoxList)
        if (box->objectName() == name) return box;
    return nullptr;
}

void TFormSettings::ShowListedKinds() {
    const int count = std::min<int>(data_.InfoPointsCount, data_.InfoPoints.size());
    for (int i = 1; i <= count; ++i)
        if (QCheckBox* box = FindCheckBox(QStringLiteral("CheckBox%1").arg(i)))
            box->setChecked(data_.InfoPoints[i - 1].VisibleList);
}

void TFormSettings::btnOKClick() {
    const int count = std::min<int>(data_.InfoPointsCount, data_.InfoPoints.size());
    for (int i = 1; i <= count; ++i)
        if (QCheckBox* box = FindCheckBox(QStringLiteral("CheckBox%1").arg(i)))
            data_.InfoPoints[i - 1].VisibleList = box->isChecked();
    if (selectedRow() >= 0) iconNum_ = selectedRow();
    accept();
}

void TFormSettings::btnCancelClick() {
    reject();
}

void TFormSettings::PaintBox1Paint(QPainter& canvas) {
    // A framed square with the default pen and brush, the chosen icon inside.
    canvas.setPen(QPen(Qt::black, 1));
    canvas.setBrush(Qt::white);
    canvas.drawRect(0, 0, 55, 55);
    if (selectedRow() >= 0) canvas.drawImage(4, 4, icons_.image(selectedRow()));
}

void TFormSettings::PaintBox1Click() {
    ComboBox1->show();
}

void TFormSettings::ComboBox2DrawItem(QPainter& canvas, int row, const QRect& rect) {
    canvas.setBrush(Qt::NoBrush);
    canvas.setPen(QPen(Qt::white, 1));
    canvas.drawRect(rect.adjusted(0, 0, -1, -1));
    canvas.drawImage(rect.left() + 1, rect.top() + 1, icons_.image(row));
}

void TFormSettings::ComboBox2Change() {
    ComboBox1->hide();
    PaintBox1->update();
}

void TFormSettings::FormMouseWheelDown() {
    if (MouseOverIconList) {
        selectRow(std::min(selectedRow() + 1, lastRow()));
    } else if (selectedRow() < lastRow()) {
        selectRow(selectedRow() + 1);
        ComboBox1->hide();
        PaintBox1->update();
    }
}

void TFormSettings::FormMouseWheelUp() {
    if (MouseOverIconList) {
        selectRow(std::max(selectedRow() - 1, 0));
    } else if (selectedRow() >= 1) {
        selectRow(selectedRow() - 1);
        ComboBox1->hide();
        PaintBox1->update();
    }
}

void TFormSettings::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

bool TFormSettings::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ComboBox1) {
        if (event->type() == QEvent::Enter) MouseOverIconList = true;
        if (event->type() == QEvent::Leave) MouseOverIconList = false;
        if (event->type() == QEvent::KeyPress) {
            // A key that moves the selection (the arrows, Home, End, the page keys) is a click in
            // the list, as in a list box of the original platform: the list hides and the preview
            // shows the new icon.
            // A key the list does not take (Escape, Enter) goes on to the dialog as before.
            const int before = selectedRow();
            static_cast<QObject*>(ComboBox1)->event(event);
            if (selectedRow() != before) ComboBox2Change();
            return event->isAccepted();
        }
    }
    if (event->type() == QEvent::Wheel && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        auto* wheel = static_cast<QWheelEvent*>(event);
        // A wheel event travels from the widget under the pointer up to its parents (and the list
        // hands it on to its scroll bar); the dialog handles it once, at the widget under the
        // pointer. It is never marked as handled.
        const QPoint at = w->mapFromGlobal(wheel->globalPosition().toPoint());
        if (w->rect().contains(at) && !w->childAt(at) && wheel->angleDelta().y() != 0) {
            if (wheel->angleDelta().y() < 0)
                FormMouseWheelDown();
            else
                FormMouseWheelUp();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormSettings::selectRow(int row) {
    if (row >= 0 && row < ComboBox1->count()) ComboBox1->setCurrentRow(row);
}

int TFormSettings::selectedRow() const {
    return ComboBox1->currentRow();
}

int TFormSettings::lastRow() const {
    return ComboBox1->count() - 1;
}
