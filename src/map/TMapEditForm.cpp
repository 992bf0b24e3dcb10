#include "map/TMapEditForm.h"

#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>

#include <algorithm>

#include "app/ui/UserDialogs.h"
#include "common/Error.h"
#include "map/FileDialogFilter.h"
#include "map/MapListFile.h"
#include "map/MapLoadMessage.h"
#include "mvx/IMVControl.h"

const QString TMapEditForm::OpenDialogTitle = QStringLiteral("Добавить карту");
const QString TMapEditForm::OpenDialogFilter = QStringLiteral("Карты Ormanta (*.chart)|*.chart");
const QString TMapEditForm::OpenDialogDefaultExt = QStringLiteral(".chart");

namespace {

QFont tahoma(int points) {
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSize(points);
    return f;
}

}  // namespace

TMapEditForm::TMapEditForm(mvx::IMVControl& map, IUserDialogs& dialogs, const QString& iniPath,
                           QVector<int>& loadResults, bool& listEdited, QWidget* parent)
    : QDialog(parent),
      map_(map),
      dialogs_(dialogs),
      iniPath_(iniPath),
      loadResults_(loadResults),
      listEdited_(listEdited) {
    setObjectName(QStringLiteral("MapEditForm"));
    setWindowTitle(QStringLiteral("Добавление карт"));
    // A tool window whose caption has no buttons: "Закрыть" is the way out.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    setFont(tahoma(8));
    setFixedSize(453, 351);

    Label1 = new QLabel(QStringLiteral("Список загружаемых карт"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(tahoma(10));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setGeometry(8, 8, 437, 20);

    MapList = new QListWidget(this);
    MapList->setObjectName(QStringLiteral("MapList"));
    MapList->setGeometry(8, 32, 437, 204);
    MapList->setSelectionMode(QAbstractItemView::SingleSelection);
    MapList->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    MapList->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    lblMessage = new QLabel(this);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setAlignment(Qt::AlignCenter);
    lblMessage->setGeometry(8, 244, 437, 20);

    btnAddMap = new QPushButton(QStringLiteral("Загрузить карту"), this);
    btnAddMap->setObjectName(QStringLiteral("btnAddMap"));
    btnAddMap->setGeometry(8, 274, 140, 25);
    btnDelMap = new QPushButton(QStringLiteral("Удалить карту"), this);
    btnDelMap->setObjectName(QStringLiteral("btnDelMap"));
    btnDelMap->setGeometry(156, 274, 140, 25);
    btnExit = new QPushButton(QStringLiteral("Закрыть"), this);
    btnExit->setObjectName(QStringLiteral("btnExit"));
    btnExit->setGeometry(305, 318, 140, 25);
    for (QPushButton* b : {btnAddMap, btnDelMap, btnExit}) b->setAutoDefault(false);

    connect(btnAddMap, &QPushButton::clicked, this, [this] { guarded([this] { btnAddMapClick(); }); });
    connect(btnDelMap, &QPushButton::clicked, this, [this] { guarded([this] { btnDelMapClick(); }); });
    connect(btnExit, &QPushButton::clicked, this, [this] { guarded([this] { btnExitClick(); }); });
    // A click on an entry, or a move of the selection with the keys, shows that map's result.
    connect(MapList, &QListWidget::itemClicked, this, [this] { guarded([this] { MapListClick(); }); });
    connect(MapList, &QListWidget::itemSelectionChanged, this, [this] { guarded([this] { MapListClick(); }); });
}

void TMapEditForm::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        dialogs_.showException(this, telvika::messageOf(e));
    } catch (...) {
        dialogs_.showException(this, QStringLiteral("Неизвестная ошибка"));
    }
}

void TMapEditForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    guarded([this] { FormShow(); });
}

void TMapEditForm::closeEvent(QCloseEvent* event) {
    // The dialog has no close box of its own; only "Закрыть" ends it.
    if (closing_)
        QDialog::closeEvent(event);
    else
        event->ignore();
}

void TMapEditForm::reject() {
    if (closing_) QDialog::reject();  // Escape does not close the dialog
}

void TMapEditForm::setMessage(const QString& text) { lblMessage->setText(text); }

QStringList TMapEditForm::entries() const {
    QStringList list;
    for (int i = 0; i < MapList->count(); ++i) list.append(MapList->item(i)->text());
    return list;
}

bool TMapEditForm::MapInList(const QString& path) const {
    for (int i = 0; i < MapList->count(); ++i)
        if (MapList->item(i)->text() == path) return true;
    return false;
}

void TMapEditForm::FormShow() {
    const QSignalBlocker block(MapList);
    MapList->clear();
    MapList->addItems(telvika::maplist::readMapPaths(iniPath_));
    // The codes are those of the last loading of the same file; should the file have changed
    // since, they are cut or padded to the list so that entry and code stay aligned.
    loadResults_.resize(std::min<qsizetype>(loadResults_.size(), MapList->count()));
    while (loadResults_.size() < MapList->count()) loadResults_.append(telvika::maplist::NotLoadedCode);
}

void TMapEditForm::btnAddMapClick() {
    const QString path =
        dialogs_.openFile(this, OpenDialogTitle, telvika::qtNameFilter(OpenDialogFilter), OpenDialogDefaultExt);
    if (path.isEmpty()) return;
    if (MapInList(path)) {
        dialogs_.message(this, QStringLiteral("Такая карта уже находится в списке"), QString());
        return;
    }
    // A path with a line break could not be written to the list file; taking it would lose the
    // whole list at "Закрыть".
    if (path.contains(u'\n') || path.contains(u'\r')) {
        dialogs_.message(this, QStringLiteral("Путь к файлу карты содержит перевод строки; такую карту нельзя "
                                              "добавить в список"),
                         QString());
        return;
    }
    // The map is loaded before its entry is added, so a failing control leaves list and codes
    // aligned; the entry stays whatever the code says.
    const int code = map_.LoadMap(path, QString());
    {
        const QSignalBlocker block(MapList);
        MapList->addItem(path);
    }
    while (loadResults_.size() < MapList->count()) loadResults_.append(telvika::maplist::NotLoadedCode);
    loadResults_[MapList->count() - 1] = code;
    setMessage(telvika::MapLoadMessage(code));
}

void TMapEditForm::btnDelMapClick() {
    const QList<QListWidgetItem*> selected = MapList->selectedItems();
    if (selected.isEmpty()) return;
    const int row = MapList->row(selected.first());
    map_.CloseMap(selected.first()->text());
    {
        // Taking the entry leaves no entry selected, as a user who deleted one expects.
        const QSignalBlocker block(MapList);
        delete MapList->takeItem(row);
        MapList->clearSelection();
        MapList->setCurrentRow(-1);
    }
    if (row < loadResults_.size()) loadResults_.remove(row);
}

void TMapEditForm::MapListClick() {
    const QList<QListWidgetItem*> selected = MapList->selectedItems();
    if (selected.isEmpty()) return;
    const int row = MapList->row(selected.first());
    setMessage(row < loadResults_.size() ? telvika::MapLoadMessage(loadResults_[row]) : QString());
}

void TMapEditForm::btnExitClick() {
    QString error;
    // A file that cannot be written is reported; the dialog still closes, since it has no other
    // way out, and the old file stays whole.
    if (!telvika::maplist::writeMapPaths(iniPath_, entries(), &error)) dialogs_.message(this, error, QString());
    listEdited_ = true;
    closing_ = true;
    accept();
}
