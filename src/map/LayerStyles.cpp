#include "map/LayerStyles.h"

#include "common/NumberText.h"
#include "common/Rounding.h"

#include <QStringDecoder>

#include <algorithm>

namespace telvika::layers {

QString quotedText(const QString& text) {
    QString inner = text;
    inner.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

QString trackBaseCommand() { return QStringLiteral("name=nametab1;metrics=[metr]"); }
QString trackBaseStyle() { return QStringLiteral("l rgb(0,0,0) 4"); }
QString trackLineCommand() { return QStringLiteral("name=nametab2;metrics=[metr]"); }
QString trackLineStyle() { return QStringLiteral("l rgb(255,0,0) 2"); }
QString lineGeometry(const QString& coordinates) { return QStringLiteral("L E ") + coordinates; }
QString lineGeometryOfUtf8(QByteArrayView utf8Coordinates) {
    static constexpr char16_t Prefix[] = u"L E ";
    constexpr qsizetype prefixSize = 4;
    // UTF-8 never makes more UTF-16 units than it has bytes.
    QString out(prefixSize + utf8Coordinates.size(), Qt::Uninitialized);
    std::copy_n(Prefix, prefixSize, reinterpret_cast<char16_t*>(out.data()));
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QChar* end = decoder.appendToBuffer(out.data() + prefixSize, utf8Coordinates);
    out.truncate(end - out.constData());
    return out;
}

QString controlAreaCommand() { return QStringLiteral("name='Контрольная точка';metrics=[metr]"); }
QString controlAreaStyle() { return QStringLiteral("a rgb(255,0,0) 10"); }
QString controlOutlineCommand() { return QStringLiteral("name='КТ';metrics=[metr]"); }
QString controlOutlineStyle() { return QStringLiteral("l rgb(255,0,0) 1"); }
QString controlCentersCommand() { return QStringLiteral("name=centersKT;coords=[YCOORD],[XCOORD];style=[style]"); }
QString controlLabelStyle(const QString& label) {
    return QStringLiteral("t ") + quotedText(label) + QStringLiteral(" 'Arial 204' 8 rgb(0,0,0)");
}

QString infoPointsCommand(const QString& kindName) {
    return QStringLiteral("name=") + quotedText(kindName) + QStringLiteral(";coords=[YCOORD],[XCOORD];style=[style]");
}

int infoPointIcon(int kind, const QString& label) {
    if ((kind == 5 || kind == 6) && label.contains(QLatin1Char('-'))) return 6;
    return kind;
}

QString infoPointStyle(int icon) {
    return QStringLiteral("m 'TVIcons.res' %1 rgb(0,0,0) 25").arg(icon);
}

QString infoPointName(const QString& label, int entry) {
    return label + QStringLiteral(" (") + QString::number(entry) + QLatin1Char(')');
}

QString vehiclesCommand() { return QStringLiteral("name='ТС:';coords=[YCOORD],[XCOORD];style=[style]"); }
QString vehicleStyle(int iconNum) {
    return QStringLiteral("m 'TVAllTS.res' %1 rgb(0,0,0) 35").arg(iconNum + 1);
}

QString speedEntryLabel(double kmh, const QLocale& locale) {
    return generalText(roundToDigits(kmh, 2), locale) + QStringLiteral(" км/ч");
}

QString tankEntryLabel(double begin, double end, const QLocale& locale) {
    return generalText(roundToDigits(end - begin, 1), locale) + QStringLiteral(" л");
}

}  // namespace telvika::layers
