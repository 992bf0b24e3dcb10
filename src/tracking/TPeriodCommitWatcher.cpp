#include "tracking/TPeriodCommitWatcher.h"

#include <QCalendarWidget>
#include <QDateTimeEdit>
#include <QEvent>
#include <QTimer>

TPeriodCommitWatcher::TPeriodCommitWatcher(const QVector<QDateTimeEdit*>& pickers, std::function<void()> committed,
                                           QObject* parent)
    : QObject(parent), committed_(std::move(committed)) {
    for (QDateTimeEdit* edit : pickers) pickers_.push_back({edit, edit->dateTime()});
    for (int i = 0; i < pickers_.size(); ++i) {
        QDateTimeEdit* edit = pickers_[i].edit;
        edit->installEventFilter(this);
        for (QWidget* child : edit->findChildren<QWidget*>()) child->installEventFilter(this);
        connect(edit, &QDateTimeEdit::dateTimeChanged, this, [this, i](const QDateTime& value) {
            // A change while the user is not in the picker comes from the program.
            if (!userIsEditing(pickers_[i])) pickers_[i].committed = value;
        });
        connect(edit, &QDateTimeEdit::editingFinished, this, [this, i] { check(i); });
        if (edit->calendarPopup()) {
            // The calendar hands its date to the picker through its own connection to the same
            // signals; the check runs after it, once the event that picked the date is over.
            QCalendarWidget* calendar = edit->calendarWidget();
            auto later = [this, i] { QTimer::singleShot(0, this, [this, i] { check(i); }); };
            connect(calendar, &QCalendarWidget::clicked, this, later);
            connect(calendar, &QCalendarWidget::activated, this, later);
        }
    }
}

bool TPeriodCommitWatcher::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::MouseButtonPress || type == QEvent::Wheel) {
        for (Picker& p : pickers_)
            if (watched == p.edit || p.edit->isAncestorOf(qobject_cast<QWidget*>(watched))) p.touched = true;
    }
    return QObject::eventFilter(watched, event);
}

bool TPeriodCommitWatcher::userIsEditing(const Picker& p) const {
    if (p.touched) return true;
    const QCalendarWidget* calendar = p.edit->calendarPopup() ? p.edit->calendarWidget() : nullptr;
    return calendar && calendar->isVisible();
}

void TPeriodCommitWatcher::check(int index) {
    Picker& p = pickers_[index];
    const QDateTime value = p.edit->dateTime();
    p.touched = false;
    if (value == p.committed) return;
    p.committed = value;
    committed_();
}
