// The commands and styles of the map's object sets, checked against the map control's own grammar.
#include <QtTest>

#include "map/LayerStyles.h"

using namespace telvika::layers;

class TestLayerStyles : public QObject {
    Q_OBJECT
private slots:
    void fixedCommandsAndStyles() {
        QCOMPARE(trackBaseCommand(), QStringLiteral("name=nametab1;metrics=[metr]"));
        QCOMPARE(trackBaseStyle(), QStringLiteral("l rgb(0,0,0) 4"));
        QCOMPARE(trackLineCommand(), QStringLiteral("name=nametab2;metrics=[metr]"));
        QCOMPARE(trackLineStyle(), QStringLiteral("l rgb(255,0,0) 2"));
        QCOMPARE(controlAreaCommand(), QStringLiteral("name='Контрольная точка';metrics=[metr]"));
        QCOMPARE(controlAreaStyle(), QStringLiteral("a rgb(255,0,0) 10"));
        QCOMPARE(controlOutlineCommand(), QStringLiteral("name='КТ';metrics=[metr]"));
        QCOMPARE(controlOutlineStyle(), QStringLiteral("l rgb(255,0,0) 1"));
        QCOMPARE(controlCentersCommand(), QStringLiteral("name=centersKT;coords=[YCOORD],[XCOORD];style=[style]"));
        QCOMPARE(vehiclesCommand(), QStringLiteral("name='ТС:';coords=[YCOORD],[XCOORD];style=[style]"));
        QCOMPARE(lineGeometry(QStringLiteral("30.1 55.2,30.3 55.4")), QStringLiteral("L E 30.1 55.2,30.3 55.4"));
        QCOMPARE(lineGeometryOfUtf8(QByteArrayView("30.1 55.2,30.3 55.4")), QStringLiteral("L E 30.1 55.2,30.3 55.4"));
    }

    void quotesAreDoubled() {
        QCOMPARE(quotedText(QStringLiteral("Склад")), QStringLiteral("'Склад'"));
        QCOMPARE(quotedText(QStringLiteral("Кафе 'Ромашка'")), QStringLiteral("'Кафе ''Ромашка'''"));
        QCOMPARE(quotedText(QString()), QStringLiteral("''"));
        QCOMPARE(controlLabelStyle(QStringLiteral("Склад")), QStringLiteral("t 'Склад' 'Arial 204' 8 rgb(0,0,0)"));
        QCOMPARE(controlLabelStyle(QStringLiteral("O'Hara")), QStringLiteral("t 'O''Hara' 'Arial 204' 8 rgb(0,0,0)"));
        QCOMPARE(infoPointsCommand(QStringLiteral("Список остановок")),
                 QStringLiteral("name='Список остановок';coords=[YCOORD],[XCOORD];style=[style]"));
        QCOMPARE(infoPointsCommand(QStringLiteral("Д'Артаньян")),
                 QStringLiteral("name='Д''Артаньян';coords=[YCOORD],[XCOORD];style=[style]"));
    }

    void infoPointIcons() {
        QCOMPARE(infoPointIcon(1, QStringLiteral("00:05:00")), 1);
        QCOMPARE(infoPointIcon(4, QStringLiteral("-95,5 км/ч")), 4);  // only the tanks look at the sign
        QCOMPARE(infoPointIcon(5, QStringLiteral("40 л")), 5);
        QCOMPARE(infoPointIcon(5, QStringLiteral("-12,5 л")), 6);
        QCOMPARE(infoPointIcon(6, QStringLiteral("40 л")), 6);
        QCOMPARE(infoPointIcon(6, QStringLiteral("-3 л")), 6);
        QCOMPARE(infoPointIcon(7, QStringLiteral("00:00:-1")), 7);
        QCOMPARE(infoPointStyle(6), QStringLiteral("m 'TVIcons.res' 6 rgb(0,0,0) 25"));
        QCOMPARE(infoPointStyle(12), QStringLiteral("m 'TVIcons.res' 12 rgb(0,0,0) 25"));
        QCOMPARE(infoPointName(QStringLiteral("00:05:00"), 0), QStringLiteral("00:05:00 (0)"));
        QCOMPARE(infoPointName(QStringLiteral("-3 л"), 11), QStringLiteral("-3 л (11)"));
        QCOMPARE(vehicleStyle(0), QStringLiteral("m 'TVAllTS.res' 1 rgb(0,0,0) 35"));
        QCOMPARE(vehicleStyle(167), QStringLiteral("m 'TVAllTS.res' 168 rgb(0,0,0) 35"));
    }

    void entryLabels() {
        const QLocale ru(QLocale::Russian, QLocale::Russia);
        const QLocale c(QLocale::C);
        QCOMPARE(speedEntryLabel(95.125, ru), QStringLiteral("95,12 км/ч"));  // a half goes to even
        QCOMPARE(speedEntryLabel(95.375, ru), QStringLiteral("95,38 км/ч"));
        QCOMPARE(speedEntryLabel(120.0, ru), QStringLiteral("120 км/ч"));
        QCOMPARE(speedEntryLabel(91.5, c), QStringLiteral("91.5 км/ч"));
        QCOMPARE(tankEntryLabel(20.0, 60.25, ru), QStringLiteral("40,2 л"));
        QCOMPARE(tankEntryLabel(20.0, 60.75, ru), QStringLiteral("40,8 л"));
        QCOMPARE(tankEntryLabel(60.0, 47.5, ru), QStringLiteral("-12,5 л"));
        QCOMPARE(tankEntryLabel(50.0, 50.0, ru), QStringLiteral("0 л"));
        QCOMPARE(tankEntryLabel(50.0, 49.96, ru), QStringLiteral("0 л"));  // no "-0"
    }
};

QTEST_GUILESS_MAIN(TestLayerStyles)
#include "tst_layer_styles.moc"
