#include "app/ui/UserDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

#include <cstdio>

QString messageBoxTitle(const QString& caption) {
    return caption.isEmpty() ? QStringLiteral(" ") : caption;
}

void TQtUserDialogs::message(QWidget* owner, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, messageBoxTitle(caption), text, QMessageBox::Ok, owner);
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

void TConsoleUserDialogs::message(QWidget*, const QString& text, const QString& caption) {
    const QString line = caption.isEmpty() ? text : caption + QStringLiteral(": ") + text;
    std::fprintf(stderr, "telvika-player: %s\n", line.toUtf8().constData());
}

void TConsoleUserDialogs::showException(QWidget* owner, const QString& message) {
    TConsoleUserDialogs::message(owner, message, QString());
}

QString TConsoleUserDialogs::openFile(QWidget*, const QString&, const QString&, const QString&) {
    return QString();
}

QString TConsoleUserDialogs::saveFile(QWidget*, const QString&, const QString&, QString*) { return QString(); }

int TConsoleUserDialogs::execDialog(QDialog&) { return QDialog::Rejected; }

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
