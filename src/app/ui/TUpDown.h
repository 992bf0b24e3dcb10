#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

// An up-down control: two small arrow buttons with a position in a range. When associated with an
// edit, a click steps the position and writes it into the edit. ChangingEx is raised for every
// click, also when the position is already at the end of the range (allowChange then comes in
// false).
class TUpDown : public QWidget {
    Q_OBJECT
public:
    enum Direction { updNone, updUp, updDown };
    Q_ENUM(Direction)

    explicit TUpDown(QWidget* parent = nullptr);

    void setRange(int min, int max);
    int minimum() const { return min_; }
    int maximum() const { return max_; }
    int position() const { return position_; }
    void setPosition(int position);
    void setAssociate(QLineEdit* edit);

    // What a click on an arrow does (also used by tests).
    void click(Direction direction);

signals:
    // newValue is the position the click would give; the handler may clear allowChange.
    void ChangingEx(bool& allowChange, int newValue, TUpDown::Direction direction);

private:
    QToolButton* up_;
    QToolButton* down_;
    QLineEdit* associate_ = nullptr;
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
};
