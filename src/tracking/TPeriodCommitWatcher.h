#pragma once

#include <QDateTime>
#include <QObject>
#include <QVector>

#include <functional>

class QDateTimeEdit;

// Tells when the user commits a new value in one of the period pickers: a finished edit (Enter or
// leaving the field) or a pick in the calendar, and only when the value differs from the last one
// committed. A value the program sets becomes the new reference and is reported to nobody: a change
// counts as the user's only after a key, mouse or wheel input into the picker, or while its
// calendar is open.
class TPeriodCommitWatcher : public QObject {
    Q_OBJECT
public:
    TPeriodCommitWatcher(const QVector<QDateTimeEdit*>& pickers, std::function<void()> committed,
                         QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Picker {
        QDateTimeEdit* edit = nullptr;
        QDateTime committed;
        bool touched = false;  // the user has typed, clicked or scrolled in it since the last check
    };
    bool userIsEditing(const Picker& p) const;
    void check(int index);

    QVector<Picker> pickers_;
    std::function<void()> committed_;
};
