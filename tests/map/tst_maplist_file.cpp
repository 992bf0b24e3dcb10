// The map list file and the INI rules it is read and written with, on real files on disk; the
// texts of the load result codes; the file dialog's filter.
#include <QtTest>

#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

#include "map/FileDialogFilter.h"
#include "map/IniDocument.h"
#include "map/MapListFile.h"
#include "map/MapLoadMessage.h"

using namespace telvika;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestMapListFile : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    QString ini() const { return maplist::filePath(dir.path()); }

private slots:
    void init() { QFile::remove(ini()); }

    void pathBesideTheFolder() {
        QCOMPARE(maplist::filePath(QStringLiteral("/opt/player")), QStringLiteral("/opt/player/MapList.ini"));
        QCOMPARE(maplist::mapKey(12), QStringLiteral("Map12"));
    }

    void countDefaults_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("count");
        QTest::newRow("no section") << QByteArray("[Other]\nMapCount=3\n") << 0;
        QTest::newRow("no key") << QByteArray("[MapList]\nMap1=/a.chart\n") << 0;
        QTest::newRow("not a number") << QByteArray("[MapList]\nMapCount=abc\nMap1=/a.chart\n") << 0;
        QTest::newRow("trailing text") << QByteArray("[MapList]\nMapCount=2x\n") << 0;
        QTest::newRow("empty") << QByteArray("[MapList]\nMapCount=\n") << 0;
        QTest::newRow("negative") << QByteArray("[MapList]\nMapCount=-4\n") << 0;
        QTest::newRow("too large for an int") << QByteArray("[MapList]\nMapCount=99999999999\n") << 0;
        QTest::newRow("blanks and case") << QByteArray("[ maplist ]\n  mapcount =  2  \n") << 2;
        QTest::newRow("CR LF and BOM") << QByteArray("\xEF\xBB\xBF[MapList]\r\nMapCount=3\r\n") << 3;
        QTest::newRow("first key wins") << QByteArray("[MapList]\nMapCount=1\nMapCount=5\n") << 1;
        QTest::newRow("first section wins") << QByteArray("[MapList]\nMapCount=1\n[MapList]\nMapCount=5\n") << 1;
        QTest::newRow("comment is no key") << QByteArray("[MapList]\n;MapCount=4\n") << 0;
        QTest::newRow("damaged huge count is capped")
            << QByteArray("[MapList]\nMapCount=2000000000\n") << maplist::MaxMapCount;
    }
    void countDefaults() {
        QFETCH(QByteArray, content);
        QFETCH(int, count);
        writeFile(ini(), content);
        QCOMPARE(maplist::readMapCount(ini()), count);
        QCOMPARE(maplist::readMapPaths(ini()).size(), count);
    }

    void missingFileHasNoMaps() {
        QVERIFY(!QFile::exists(ini()));
        QCOMPARE(maplist::readMapCount(ini()), 0);
        QVERIFY(maplist::readMapPaths(ini()).isEmpty());
    }

    void pathsInOrderMissingOnesEmptyKeysBeyondNotRead() {
        writeFile(ini(), QByteArray("[MapList]\nMap3=/maps/c.chart\nMapCount=3\nMap1=/maps/Орманск.chart\n"
                                    "Map4=/maps/old.chart\n"));
        QCOMPARE(maplist::readMapPaths(ini()),
                 (QStringList{QStringLiteral("/maps/Орманск.chart"), QString(), QStringLiteral("/maps/c.chart")}));
    }

    // A list of five saved as three: MapCount 3, Map1..Map3 at the top in key order, the keys of
    // positions 4 and 5 still there; other sections and comments untouched.
    void fiveSavedAsThreeKeepsKeysFourAndFive() {
        writeFile(ini(), QByteArray("; maps of the dispatcher\n[MapList]\nMap2=/m/2.chart\nMapCount=5\n"
                                    "Map1=/m/1.chart\nMap3=/m/3.chart\nMap4=/m/4.chart\nMap5=/m/5.chart\n"
                                    "\n[Other]\nKey=Value\n"));
        QString error;
        QVERIFY2(maplist::writeMapPaths(ini(), {QStringLiteral("/m/1.chart"), QStringLiteral("/m/3.chart"),
                                                QStringLiteral("/m/новая карта.chart")},
                                        &error),
                 qPrintable(error));
        QCOMPARE(QString::fromUtf8(readFile(ini())),
                 QStringLiteral("; maps of the dispatcher\n[MapList]\nMapCount=3\nMap1=/m/1.chart\nMap2=/m/3.chart\n"
                                "Map3=/m/новая карта.chart\nMap4=/m/4.chart\nMap5=/m/5.chart\n\n[Other]\nKey=Value\n"));
        QCOMPARE(maplist::readMapPaths(ini()).size(), 3);
        // And growing again overwrites those keys in place of the old ones.
        QVERIFY(maplist::writeMapPaths(ini(), {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                                               QStringLiteral("d")}));
        QCOMPARE(maplist::readMapPaths(ini()),
                 (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}));
        const TIniDocument doc = TIniDocument::load(ini());
        QCOMPARE(doc.readString(maplist::Section, QStringLiteral("Map5"), QString()), QStringLiteral("/m/5.chart"));
        QCOMPARE(doc.text().count(QStringLiteral("Map4=")), 1);
    }

    void newFileAndCrLfKept() {
        QVERIFY(maplist::writeMapPaths(ini(), {}));
        QCOMPARE(readFile(ini()), QByteArray("[MapList]\nMapCount=0\n"));
        writeFile(ini(), QByteArray("[Top]\r\nA=1\r\n"));
        QVERIFY(maplist::writeMapPaths(ini(), {QStringLiteral("/x.chart")}));
        QCOMPARE(readFile(ini()), QByteArray("[Top]\r\nA=1\r\n[MapList]\r\nMapCount=1\r\nMap1=/x.chart\r\n"));
    }

    // Paths that the INI rules would change on reading (blanks around, surrounding quotes) are
    // written so that they read back unchanged; '=' and ';' inside a value are plain text.
    void awkwardPathsRoundTrip() {
        const QStringList paths = {QStringLiteral(" /lead blank.chart"), QStringLiteral("/trail blank.chart "),
                                   QStringLiteral("\"/quoted.chart\""), QStringLiteral("/a=b;c[d].chart"),
                                   QStringLiteral("C:\\Карты\\город.chart")};
        QVERIFY(maplist::writeMapPaths(ini(), paths));
        QCOMPARE(maplist::readMapPaths(ini()), paths);
    }

    // A path with a line break cannot be stored on its line: refused, and the file left as it was.
    void lineBreakRefusedFileUntouched() {
        const QByteArray before("[MapList]\nMapCount=1\nMap1=/keep.chart\n");
        writeFile(ini(), before);
        QString error;
        QVERIFY(!maplist::writeMapPaths(ini(), {QStringLiteral("/a.chart\nMapCount=99")}, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readFile(ini()), before);
    }

    // The old file stays whole when the new one cannot be written: a file whose name leaves no room
    // for the temporary file's longer name beside it (fails for every user, root included).
    void failedWriteKeepsTheOldFile() {
        const QString path = dir.filePath(QString(250, u'm') + QStringLiteral(".ini"));
        const QByteArray before("[MapList]\nMapCount=1\nMap1=/keep.chart\n");
        writeFile(path, before);
        QString error;
        QVERIFY(!maplist::writeMapPaths(path, {QStringLiteral("/new.chart")}, &error));
        QVERIFY(error.contains(QStringLiteral("mmm.ini")));
        QCOMPARE(readFile(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).filter(QStringLiteral("mmm")).size(), 1);
    }

    // A disk that takes no more bytes, made without privileges: a file size limit (with SIGXFSZ
    // ignored, so that the write fails instead of ending the process). The save reports it in
    // Russian and the old file stays byte for byte, with no temporary file left beside it.
    void fullDiskKeepsTheOldFile() {
#ifdef Q_OS_UNIX
        const QByteArray before("[MapList]\nMapCount=1\nMap1=/keep.chart\n");
        writeFile(ini(), before);
        QStringList paths;
        for (int i = 1; i <= 20; ++i) paths.append(QStringLiteral("/карты/город-%1.chart").arg(i));
        rlimit old{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 128;
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        QString error;
        bool written = true;
        if (::setrlimit(RLIMIT_FSIZE, &small) == 0) {
            written = maplist::writeMapPaths(ini(), paths, &error);
            ::setrlimit(RLIMIT_FSIZE, &old);
        }
        std::signal(SIGXFSZ, previous);
        QVERIFY(!written);
        QVERIFY2(error.startsWith(QStringLiteral("Не удалось записать файл")) && error.contains("MapList.ini"),
                 qPrintable(error));
        QCOMPARE(readFile(ini()), before);
        QCOMPARE(QDir(dir.path()).entryList({maplist::FileName + QLatin1Char('*')}, QDir::Files),
                 QStringList{maplist::FileName});
#else
        QSKIP("file size limits are a POSIX facility");
#endif
    }

    void loadMessages() {
        const QList<QPair<int, QString>> table = {
            {0, QStringLiteral("Карта успешно загружена")}, {1, QStringLiteral("Карта уже была загружена")},
            {2, QStringLiteral("Отсутствует файл карты")},  {3, QStringLiteral("Неправильный файл карты")},
            {4, QStringLiteral("Неизвестный формат карты")}, {5, QStringLiteral("Системная ошибка")},
            {6, QStringLiteral("Codifier file not found")}, {7, QStringLiteral("Lookup file not found")},
            {11, QStringLiteral("Карта не загружена")},     {12, QStringLiteral("Неправильная команда загрузки")},
            {13, QStringLiteral("Неправильный стиль")},     {14, QStringLiteral("Неправильная таблица")},
            {15, QStringLiteral("Записи не загружены")},    {16, QStringLiteral("Объект не найден")},
            {17, QStringLiteral("Specified base map is not loaded")}};
        for (const auto& [code, text] : table) QCOMPARE(MapLoadMessage(code), text);
        for (int code : {-1, 8, 9, 10, 18, 99}) QVERIFY2(MapLoadMessage(code).isEmpty(), qPrintable(QString::number(code)));
    }

    void nameFilters() {
        QCOMPARE(qtNameFilter(QStringLiteral("Карты Ormanta (*.chart)|*.chart")), QStringLiteral("Карты Ormanta (*.chart)"));
        QCOMPARE(qtNameFilter(QStringLiteral("Карты|*.chart;*.gpkg|Все файлы|*.*")),
                 QStringLiteral("Карты (*.chart *.gpkg);;Все файлы (*.*)"));
    }
};

QTEST_GUILESS_MAIN(TestMapListFile)
#include "tst_maplist_file.moc"
