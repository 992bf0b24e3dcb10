#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QDialog;
class QWidget;

// Message boxes, the file-open dialog and the standard error display go through this interface,
// so that tests can answer and record them.
class IUserDialogs {
public:
    virtual ~IUserDialogs() = default;

    // A message box with an OK button. owner may be null (a box with no owner window).
    virtual void message(QWidget* owner, const QString& text, const QString& caption) = 0;

    // The application's standard error display: a message box with the failure's message.
    virtual void showException(QWidget* owner, const QString& message) = 0;

    // The file-open dialog; an empty result means the user cancelled.
    virtual QString openFile(QWidget* owner, const QString& title, const QString& filter,
                             const QString& defaultSuffix) = 0;

    // The file-save dialog with a list of filters (";;"-separated); an empty result means the user
    // cancelled. selectedFilter gets the filter chosen.
    virtual QString saveFile(QWidget* owner, const QString& title, const QString& filters,
                             QString* selectedFilter) = 0;

    // Shows one of the program's own dialogs modally and returns its result (QDialog::Accepted or
    // Rejected, or what the dialog passed to done()). The real ones run dialog.exec().
    virtual int execDialog(QDialog& dialog);
};

// The real dialogs.
class TQtUserDialogs : public IUserDialogs {
public:
    void message(QWidget* owner, const QString& text, const QString& caption) override;
    void showException(QWidget* owner, const QString& message) override;
    QString openFile(QWidget* owner, const QString& title, const QString& filter,
                     const QString& defaultSuffix) override;
    QString saveFile(QWidget* owner, const QString& title, const QString& filters, QString* selectedFilter) override;
};

// Dialogs for a window that can no longer be shown (the display connection broke): messages go to
// the standard error stream, the file-open dialog answers "cancelled", no dialog is shown.
class TConsoleUserDialogs : public IUserDialogs {
public:
    void message(QWidget* owner, const QString& text, const QString& caption) override;
    void showException(QWidget* owner, const QString& message) override;
    QString openFile(QWidget* owner, const QString& title, const QString& filter,
                     const QString& defaultSuffix) override;
    QString saveFile(QWidget* owner, const QString& title, const QString& filters, QString* selectedFilter) override;
    int execDialog(QDialog& dialog) override;
};

// The caption a message box is given for the caption asked for. An empty title is filled in with
// the program's name by Qt's window system integration (and by window managers), so a box that is
// to have no caption gets a single blank instead.
QString messageBoxTitle(const QString& caption);

// Dialogs for tests: every call is recorded; openFile answers from a queue of paths. The program's
// own dialogs are recorded apart (dialogTitles) and answered by a queue of scripts: each script
// gets the dialog, shown but not modal, drives it (clicks its buttons) and returns the result the
// dialog's exec would give. With no script left the dialog is not shown and gives Rejected.
class TRecordingUserDialogs : public IUserDialogs {
public:
    struct Call {
        QString kind;  // "message", "exception", "openFile" or "saveFile"
        QString text;
        QString caption;
        bool hasOwner = false;
        QString filter;  // openFile: the name filter passed
    };

    void message(QWidget* owner, const QString& text, const QString& caption) override {
        calls.push_back({QStringLiteral("message"), text, caption, owner != nullptr});
    }
    void showException(QWidget* owner, const QString& message) override {
        calls.push_back({QStringLiteral("exception"), message, QString(), owner != nullptr});
    }
    QString openFile(QWidget* owner, const QString& title, const QString& filter, const QString&) override {
        calls.push_back({QStringLiteral("openFile"), title, QString(), owner != nullptr, filter});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    // saveFile answers from its own queue; the filter chosen is the one the path's suffix names.
    QString saveFile(QWidget* owner, const QString& title, const QString& filters, QString* selectedFilter) override {
        calls.push_back({QStringLiteral("saveFile"), title, QString(), owner != nullptr, filters});
        const QString path = saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
        if (selectedFilter) {
            selectedFilter->clear();
            for (const QString& f : filters.split(QStringLiteral(";;")))
                if (!path.isEmpty() && f.contains(QStringLiteral("*.") + path.section(QLatin1Char('.'), -1))) *selectedFilter = f;
        }
        return path;
    }
    int execDialog(QDialog& dialog) override;

    QVector<Call> calls;
    QStringList fileAnswers;
    QStringList saveAnswers;
    QStringList dialogTitles;  // window titles of the dialogs run, in order
    QList<std::function<int(QDialog&)>> dialogScripts;
};
