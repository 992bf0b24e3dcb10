#pragma once

#include <QString>
#include <QStringList>

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
};

// The real dialogs.
class TQtUserDialogs : public IUserDialogs {
public:
    void message(QWidget* owner, const QString& text, const QString& caption) override;
    void showException(QWidget* owner, const QString& message) override;
    QString openFile(QWidget* owner, const QString& title, const QString& filter,
                     const QString& defaultSuffix) override;
};

// Dialogs for tests: every call is recorded; openFile answers from a queue of paths.
class TRecordingUserDialogs : public IUserDialogs {
public:
    struct Call {
        QString kind;  // "message", "exception" or "openFile"
        QString text;
        QString caption;
        bool hasOwner = false;
    };

    void message(QWidget* owner, const QString& text, const QString& caption) override {
        calls.push_back({QStringLiteral("message"), text, caption, owner != nullptr});
    }
    void showException(QWidget* owner, const QString& message) override {
        calls.push_back({QStringLiteral("exception"), message, QString(), owner != nullptr});
    }
    QString openFile(QWidget* owner, const QString& title, const QString&, const QString&) override {
        calls.push_back({QStringLiteral("openFile"), title, QString(), owner != nullptr});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }

    QVector<Call> calls;
    QStringList fileAnswers;
};
