#include "app/ui/TSymbolButton.h"

#include <QStyle>

TSymbolButton::TSymbolButton(const QString& caption, QWidget* parent) : QToolButton(parent) {
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setAutoRaise(false);
    setCaption(caption);
}

void TSymbolButton::setCaption(const QString& caption) {
    caption_ = caption;
    QStyle::StandardPixmap icon = QStyle::SP_MediaPlay;
    if (caption == QLatin1String(";"))
        icon = QStyle::SP_MediaPause;
    else if (caption == QLatin1String("<"))
        icon = QStyle::SP_MediaStop;
    else if (caption == QLatin1String("6"))
        icon = QStyle::SP_ArrowDown;
    setIcon(style()->standardIcon(icon));
    setAccessibleName(caption);
}
