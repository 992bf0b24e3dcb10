#pragma once

#include <QToolButton>

// A button whose caption is a character of a symbol font ("4" play, ";" pause, "<" stop, "6" down
// triangle). The picture is shown as the matching standard media icon; the caption stays readable
// (caption(), and the "caption" property) so the state of the button can be inspected. A screen
// reader gets a Russian name and description of what the symbol stands for (no tooltip is added).
class TSymbolButton : public QToolButton {
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
public:
    explicit TSymbolButton(const QString& caption, QWidget* parent = nullptr);

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);

private:
    QString caption_;
};
