#pragma once

#include <QDialog>
#include <QVector>

#include <functional>

class IUserDialogs;
class QLabel;
class QListWidget;
class QPushButton;
namespace mvx {
class IMVControl;
}

// The map list dialog "Добавление карт": the maps of MapList.ini in a list, a button that picks a
// map and loads it at once, a button that unloads the selected map at once and takes it off the
// list, and "Закрыть", the only way out, which writes the list back to the file. The load result
// codes of the listed maps (the main window's MapLoadResults) are kept aligned with the list.
class TMapEditForm : public QDialog {
    Q_OBJECT
public:
    TMapEditForm(mvx::IMVControl& map, IUserDialogs& dialogs, const QString& iniPath, QVector<int>& loadResults,
                 bool& listEdited, QWidget* parent = nullptr);

    // Controls (objectName = name).
    QLabel* Label1 = nullptr;
    QListWidget* MapList = nullptr;
    QLabel* lblMessage = nullptr;
    QPushButton* btnAddMap = nullptr;
    QPushButton* btnDelMap = nullptr;
    QPushButton* btnExit = nullptr;

    // The file-open dialog's settings.
    static const QString OpenDialogTitle;
    static const QString OpenDialogFilter;  // in the "description|patterns" form
    static const QString OpenDialogDefaultExt;

    // Handlers.
    void FormShow();
    void btnAddMapClick();
    void btnDelMapClick();
    void MapListClick();
    void btnExitClick();

    // Whether the list holds an entry equal to path (exact, case-sensitive).
    bool MapInList(const QString& path) const;

    // The list's entries in order.
    QStringList entries() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void guarded(const std::function<void()>& handler);
    void setMessage(const QString& text);

    mvx::IMVControl& map_;
    IUserDialogs& dialogs_;
    QString iniPath_;
    QVector<int>& loadResults_;
    bool& listEdited_;
    bool closing_ = false;
};
