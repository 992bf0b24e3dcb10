#include "app/ui/TUpDown.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

TUpDown::TUpDown(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    up_ = new QToolButton(this);
    down_ = new QToolButton(this);
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up_, down_}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
        b->setFixedSize(17, 11);
        layout->addWidget(b);
    }
    connect(up_, &QToolButton::clicked, this, [this] { click(updUp); });
    connect(down_, &QToolButton::clicked, this, [this] { click(updDown); });
    setFixedWidth(17);
}

void TUpDown::setRange(int min, int max) {
    min_ = min;
    max_ = max;
    setPosition(position_);
}

void TUpDown::setPosition(int position) {
    position_ = qBound(min_, position, max_);
    if (associate_) associate_->setText(QString::number(position_));
}

void TUpDown::setAssociate(QLineEdit* edit) { associate_ = edit; }

void TUpDown::click(Direction direction) {
    // An associated edit may have been typed into: step from what it shows.
    if (associate_) {
        bool ok = false;
        const int shown = associate_->text().toInt(&ok);
        if (ok) position_ = qBound(min_, shown, max_);
    }
    const int step = direction == updUp ? 1 : -1;
    const int wanted = position_ + step;
    bool allow = wanted >= min_ && wanted <= max_;
    emit ChangingEx(allow, wanted, direction);
    if (allow && wanted >= min_ && wanted <= max_) setPosition(wanted);
}
