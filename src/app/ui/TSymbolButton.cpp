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

namespace {

struct SpokenName {
    const char* glyph;
    const char* name;
    const char* description;
};

// What a screen reader says for each symbol: the glyph itself means nothing when read out.
const SpokenName SpokenNames[] = {
    {"4", "Воспроизведение", "Запустить воспроизведение трека"},
    {";", "Пауза", "Приостановить воспроизведение трека"},
    {"<", "Стоп", "Остановить воспроизведение и вернуться к началу трека"},
    {"6", "Виды информационных точек", "Открыть меню показа видов информационных точек на карте"},
};

}  // namespace

void TSymbolButton::setCaption(const QString& caption) {
    caption_ = caption;
    setAccessibleName(caption);
    setAccessibleDescription(QString());
    for (const SpokenName& spoken : SpokenNames) {
        if (caption == QLatin1String(spoken.glyph)) {
            setAccessibleName(QString::fromUtf8(spoken.name));
            setAccessibleDescription(QString::fromUtf8(spoken.description));
        }
    }
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
