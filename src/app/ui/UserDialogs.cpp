#include "app/ui/UserDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

void TQtUserDialogs::message(QWidget* owner, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

void TQtUserDialogs::showException(QWidget* owner, const QString& message) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), message, QMessageBox::Ok,
                    owner);
    box.exec();
}

QString TQtUserDialogs::openFile(QWidget* owner, const QString& title, const QString& filter,
                                 const QString& defaultSuffix) {
    QFileDialog dialog(owner, title, QString(), filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setOption(QFileDialog::ReadOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}

QString TQtUserDialogs::saveFile(QWidget* owner, const QString& title, const QString& filters,
                                 QString* selectedFilter) {
    QFileDialog dialog(owner, title, QString(), filters);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    if (selectedFilter) *selectedFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().first();
}

int IUserDialogs::execDialog(QDialog& dialog) { return dialog.exec(); }

int TRecordingUserDialogs::execDialog(QDialog& dialog) {
    dialogTitles.append(dialog.windowTitle());
    if (dialogScripts.isEmpty()) return QDialog::Rejected;
    const std::function<int(QDialog&)> script = dialogScripts.takeFirst();
    dialog.show();
    const int result = script(dialog);
    dialog.hide();
    return result;
}
