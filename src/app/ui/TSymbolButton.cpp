#include "app/ui/TSymbolButton.h"

#include <QIcon>
#include <QPixmap>
#include <QStyle>

#include "PlayerImages.h"

TSymbolButton::TSymbolButton(const QString& caption, QWidget* parent) : QToolButton(parent) {
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setAutoRaise(false);
    setCaption(caption);
}

void TSymbolButton::setCaption(const QString& caption) {
    caption_ = caption;
    setAccessibleName(caption);
    if (caption == QLatin1String("6")) {
        // The down triangle that opens a menu, drawn in the look of the toolbar's images.
        setIcon(QIcon(QPixmap::fromImage(resources::menuButtonImage())));
        return;
    }
    QStyle::StandardPixmap icon = QStyle::SP_MediaPlay;
    if (caption == QLatin1String(";"))
        icon = QStyle::SP_MediaPause;
    else if (caption == QLatin1String("<"))
        icon = QStyle::SP_MediaStop;
    setIcon(style()->standardIcon(icon));
}
