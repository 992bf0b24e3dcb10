// Command, style and geometry grammar of object sets: every string the player sends, and the
// malformed ones that must be refused with a reason rather than misread.

#include "CommandParser.h"
#include "MetricsParser.h"
#include "StyleParser.h"

#include <QtTest>

#include <limits>

using namespace mvx;

class TestGrammar : public QObject {
    Q_OBJECT
private slots:
    void lineAndAreaStyles();
    void iconStyles();
    void textStyle();
    void stopCaptionBox();
    void quotedTextsWithDoubledQuotes();
    void malformedStyles_data();
    void malformedStyles();
    void playerCommands_data();
    void playerCommands();
    void malformedCommands_data();
    void malformedCommands();
    void metricsPairs();
    void malformedMetrics_data();
    void malformedMetrics();
};

static ObjectStyle parsed(const QString& text) {
    ObjectStyle st;
    QString error;
    if (!StyleParser::parse(text, st, error)) qFatal("style refused: %s", qPrintable(error));
    return st;
}

void TestGrammar::lineAndAreaStyles() {
    ObjectStyle track = parsed(QStringLiteral("l rgb(0,0,0) 4"));
    QCOMPARE(track.kind, StyleKind::Line);
    QCOMPARE(track.color, QColor(0, 0, 0));
    QCOMPARE(track.width, 4.0);

    ObjectStyle red = parsed(QStringLiteral("l rgb(255,0,0) 2"));
    QCOMPARE(red.color, QColor(255, 0, 0));
    QCOMPARE(red.width, 2.0);
    QCOMPARE(parsed(QStringLiteral("l rgb(255,0,0) 1")).width, 1.0);

    ObjectStyle area = parsed(QStringLiteral("a rgb(255,0,0) 10"));
    QCOMPARE(area.kind, StyleKind::Area);
    QCOMPARE(area.color, QColor(255, 0, 0));
    QCOMPARE(area.opacity, 10);
    QCOMPARE(area.kindName(), QStringLiteral("area"));
}

void TestGrammar::iconStyles() {
    ObjectStyle info = parsed(QStringLiteral("m 'TVIcons.res' 5 rgb(0,0,0) 25"));
    QCOMPARE(info.kind, StyleKind::Icon);
    QCOMPARE(info.resource, QStringLiteral("TVIcons.res"));
    QCOMPARE(info.iconIndex, 5);
    QCOMPARE(info.color, QColor(0, 0, 0));
    QCOMPARE(info.iconSize, 25);

    ObjectStyle car = parsed(QStringLiteral("m 'TVAllTS.res' 168 rgb(0,0,0) 35"));
    QCOMPARE(car.resource, QStringLiteral("TVAllTS.res"));
    QCOMPARE(car.iconIndex, 168);
    QCOMPARE(car.iconSize, 35);
}

void TestGrammar::textStyle() {
    ObjectStyle t = parsed(QStringLiteral("t 'КТ №1 склад' 'Arial 204' 8 rgb(0,0,0)"));
    QCOMPARE(t.kind, StyleKind::Text);
    QCOMPARE(t.text, QStringLiteral("КТ №1 склад"));
    QCOMPARE(t.fontFace, QStringLiteral("Arial"));
    QCOMPARE(t.charset, 204);
    QCOMPARE(t.fontSize, 8.0);
    QCOMPARE(t.color, QColor(0, 0, 0));

    // A face of several words keeps them; the charset is the last number.
    ObjectStyle t2 = parsed(QStringLiteral("t 'x' 'Times New Roman 204' 12 rgb(1,2,3)"));
    QCOMPARE(t2.fontFace, QStringLiteral("Times New Roman"));
    QCOMPARE(t2.charset, 204);
}

void TestGrammar::stopCaptionBox() {
    const QString style = QStringLiteral("b :0 -20: 'Остановка: 00:05:00' 'Arial 204' 10 rgb(0, 0, 255) "
                                         "on rgb(255, 255, 255) center 0 5 1 rgb(0, 0, 0)");
    ObjectStyle b = parsed(style);
    QCOMPARE(b.kind, StyleKind::Box);
    QCOMPARE(b.offset, QPoint(0, -20));
    QCOMPARE(b.text, QStringLiteral("Остановка: 00:05:00"));
    QCOMPARE(b.fontFace, QStringLiteral("Arial"));
    QCOMPARE(b.charset, 204);
    QCOMPARE(b.fontSize, 10.0);
    QCOMPARE(b.color, QColor(0, 0, 255));
    QCOMPARE(b.background, QColor(255, 255, 255));
    QCOMPARE(b.align, QStringLiteral("center"));
    QCOMPARE(b.radius, 0);
    QCOMPARE(b.padding, 5);
    QCOMPARE(b.frameWidth, 1);
    QCOMPARE(b.frameColor, QColor(0, 0, 0));

    // A server duration text may hold a day count and a colon-rich time.
    QCOMPARE(parsed(QStringLiteral("b :0 -20: 'Остановка: 1 д 02:03:04' 'Arial 204' 10 rgb(0, 0, 255) on "
                                   "rgb(255, 255, 255) center 0 5 1 rgb(0, 0, 0)"))
                 .text,
             QStringLiteral("Остановка: 1 д 02:03:04"));
}

void TestGrammar::quotedTextsWithDoubledQuotes() {
    QCOMPARE(parsed(QStringLiteral("t 'Склад ''Север''' 'Arial 204' 8 rgb(0,0,0)")).text, QStringLiteral("Склад 'Север'"));
    QCOMPARE(parsed(QStringLiteral("t '''' 'Arial 204' 8 rgb(0,0,0)")).text, QStringLiteral("'"));
    QCOMPARE(parsed(QStringLiteral("t '' 'Arial 204' 8 rgb(0,0,0)")).text, QString());

    ObjectCommand cmd;
    QString error;
    QVERIFY(CommandParser::parse(QStringLiteral("name='Кафе ''Ромашка''';coords=[YCOORD],[XCOORD];style=[style]"), cmd, error));
    QCOMPARE(cmd.name, QStringLiteral("Кафе 'Ромашка'"));
    // A ';' inside a quoted name is part of the name.
    QVERIFY(CommandParser::parse(QStringLiteral("name='a;b';metrics=[metr]"), cmd, error));
    QCOMPARE(cmd.name, QStringLiteral("a;b"));
}

void TestGrammar::malformedStyles_data() {
    QTest::addColumn<QString>("style");
    QTest::newRow("empty") << "";
    QTest::newRow("unknown kind") << "x rgb(0,0,0) 4";
    QTest::newRow("line without width") << "l rgb(0,0,0)";
    QTest::newRow("line colour out of range") << "l rgb(256,0,0) 4";
    QTest::newRow("unclosed rgb") << "l rgb(0,0,0 4";
    QTest::newRow("trailing text") << "l rgb(0,0,0) 4 extra";
    QTest::newRow("opacity over 100") << "a rgb(255,0,0) 101";
    QTest::newRow("fractional opacity") << "a rgb(255,0,0) 10.5";
    QTest::newRow("icon without quotes") << "m TVIcons.res 5 rgb(0,0,0) 25";
    QTest::newRow("icon negative number") << "m 'TVIcons.res' -1 rgb(0,0,0) 25";
    QTest::newRow("icon size zero") << "m 'TVIcons.res' 5 rgb(0,0,0) 0";
    QTest::newRow("text without font") << "t 'a' 8 rgb(0,0,0)";
    QTest::newRow("box without offset") << "b 'a' 'Arial 204' 10 rgb(0,0,255) on rgb(255,255,255) center 0 5 1 rgb(0,0,0)";
    QTest::newRow("box without on") << "b :0 -20: 'a' 'Arial 204' 10 rgb(0,0,255) rgb(255,255,255) center 0 5 1 rgb(0,0,0)";
    QTest::newRow("box bad align") << "b :0 -20: 'a' 'Arial 204' 10 rgb(0,0,255) on rgb(255,255,255) middle 0 5 1 rgb(0,0,0)";
    QTest::newRow("box missing frame colour") << "b :0 -20: 'a' 'Arial 204' 10 rgb(0,0,255) on rgb(255,255,255) center 0 5 1";
    QTest::newRow("exponent number") << "l rgb(0,0,0) 1e2";
    QTest::newRow("comma decimal") << "l rgb(0,0,0) 2,5";
}

void TestGrammar::malformedStyles() {
    QFETCH(QString, style);
    ObjectStyle st;
    st.width = -7;
    QString error;
    QVERIFY(!StyleParser::parse(style, st, error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(st.width, -7.0);  // the output is untouched on failure
}

void TestGrammar::playerCommands_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("metrics");
    QTest::addColumn<QString>("lat");
    QTest::addColumn<QString>("lon");
    QTest::addColumn<QString>("style");
    QTest::newRow("track 1") << "name=nametab1;metrics=[metr]" << "nametab1" << "metr" << "" << "" << "";
    QTest::newRow("track 2") << "name=nametab2;metrics=[metr]" << "nametab2" << "metr" << "" << "" << "";
    QTest::newRow("control areas") << "name='Контрольная точка';metrics=[metr]" << "Контрольная точка" << "metr" << ""
                                   << "" << "";
    QTest::newRow("control rings") << "name='КТ';metrics=[metr]" << "КТ" << "metr" << "" << "" << "";
    QTest::newRow("control centres") << "name=centersKT;coords=[YCOORD],[XCOORD];style=[style]" << "centersKT" << ""
                                     << "YCOORD" << "XCOORD" << "style";
    QTest::newRow("info kind") << "name='Список остановок';coords=[YCOORD],[XCOORD];style=[style]"
                               << "Список остановок" << "" << "YCOORD" << "XCOORD" << "style";
    QTest::newRow("stop caption") << "name='Остановка';coords=[YCOORD],[XCOORD];style=[style]" << "Остановка" << ""
                                  << "YCOORD" << "XCOORD" << "style";
    QTest::newRow("vehicles") << "name='ТС:';coords=[YCOORD],[XCOORD];style=[style]" << "ТС:" << "" << "YCOORD"
                              << "XCOORD" << "style";
    QTest::newRow("blanks around clauses") << " name = nametab1 ; metrics = [ metr ] ; " << "nametab1" << "metr" << ""
                                           << "" << "";
}

void TestGrammar::playerCommands() {
    QFETCH(QString, command);
    ObjectCommand cmd;
    QString error;
    QVERIFY2(CommandParser::parse(command, cmd, error), qPrintable(error));
    QTEST(cmd.name, "name");
    QFETCH(QString, metrics);
    QCOMPARE(cmd.geometry, metrics.isEmpty() ? ObjectCommand::Geometry::Coords : ObjectCommand::Geometry::Metrics);
    QCOMPARE(cmd.metricsField, metrics);
    QTEST(cmd.latField, "lat");
    QTEST(cmd.lonField, "lon");
    QTEST(cmd.styleField, "style");
}

void TestGrammar::malformedCommands_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("empty") << "";
    QTest::newRow("no name") << "metrics=[metr]";
    QTest::newRow("no geometry") << "name=a";
    QTest::newRow("empty name") << "name='';metrics=[metr]";
    QTest::newRow("unterminated name") << "name='abc;metrics=[metr]";
    QTest::newRow("both geometries") << "name=a;metrics=[m];coords=[y],[x]";
    QTest::newRow("one coordinate field") << "name=a;coords=[y]";
    QTest::newRow("field without brackets") << "name=a;metrics=metr";
    QTest::newRow("unknown key") << "name=a;metrics=[m];colour=[c]";
    QTest::newRow("name twice") << "name=a;name=b;metrics=[m]";
    QTest::newRow("missing separator") << "name=a metrics=[m]";
}

void TestGrammar::malformedCommands() {
    QFETCH(QString, command);
    ObjectCommand cmd;
    QString error;
    QVERIFY(!CommandParser::parse(command, cmd, error));
    QVERIFY(!error.isEmpty());
}

void TestGrammar::metricsPairs() {
    QVector<QPointF> pts;
    QString error;
    QVERIFY(MetricsParser::parse(QStringLiteral("L E 37.5 55.25,37.75 55.5, -0.125 -33.0"), pts, error));
    QCOMPARE(pts, (QVector<QPointF>{{37.5, 55.25}, {37.75, 55.5}, {-0.125, -33.0}}));
    // A trailing comma, as joined lists often end, adds nothing.
    QVERIFY(MetricsParser::parse(QStringLiteral("L E 1 2,3 4,"), pts, error));
    QCOMPARE(pts.size(), 2);
    // One point is a valid chain.
    QVERIFY(MetricsParser::parse(QStringLiteral("L E 10 20"), pts, error));
    QCOMPARE(pts, (QVector<QPointF>{{10, 20}}));
}

void TestGrammar::malformedMetrics_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty track") << "L E ";
    QTest::newRow("no header") << "37.5 55.25";
    QTest::newRow("other header") << "P E 37.5 55.25";
    QTest::newRow("one number") << "L E 37.5";
    QTest::newRow("comma decimals") << "L E 37,5 55,25";
    QTest::newRow("nan") << "L E nan 55";
    QTest::newRow("infinity") << "L E inf 55";
    QTest::newRow("latitude out of range") << "L E 37 95";
    QTest::newRow("empty pair inside") << "L E 1 2,,3 4";
}

void TestGrammar::malformedMetrics() {
    QFETCH(QString, text);
    QVector<QPointF> pts{{1, 1}};
    QString error;
    QVERIFY(!MetricsParser::parse(text, pts, error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(pts.size(), 1);
}

QTEST_GUILESS_MAIN(TestGrammar)
#include "tst_grammar.moc"
