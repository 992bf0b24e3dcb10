// The map list dialog over the real map control and real .chart files, with its MapList.ini on
// disk: what it shows, loads, unloads, refuses and writes.
#include <QtTest>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

#include "ChartFixture.h"
#include "app/ui/UserDialogs.h"
#include "map/MapControlLoader.h"
#include "map/MapListFile.h"
#include "map/TMapEditForm.h"
#include "mvx/IMVControl.h"

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Clicks an entry of the list the way a user does.
void clickEntry(QListWidget* list, int row) {
    QListWidgetItem* item = list->item(row);
    QVERIFY(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

}  // namespace

class TestMapListDialog : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    QString forest, field, forestUpper, untagged, broken, missing;
    std::unique_ptr<QWidget> host;
    mvx::IMVControl* map = nullptr;
    TRecordingUserDialogs dialogs;
    QVector<int> results;
    bool edited = false;

    QString ini() const { return telvika::maplist::filePath(dir.path()); }

    std::unique_ptr<TMapEditForm> form() {
        auto f = std::make_unique<TMapEditForm>(*map, dialogs, ini(), results, edited);
        f->show();  // its show event fills the list
        return f;
    }

    static QString makeChart(const QString& path, const QString& landuse) {
        ChartFixture fx;
        fx.addArea({{{9.50, 47.13}, {9.54, 47.13}, {9.54, 47.15}, {9.50, 47.15}, {9.50, 47.13}}},
                   {{QStringLiteral("landuse"), landuse}});
        QString error;
        if (!fx.write(path, &error)) qWarning() << error;
        return path;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        forest = makeChart(dir.filePath(QStringLiteral("forest.chart")), QStringLiteral("forest"));
        forestUpper = makeChart(dir.filePath(QStringLiteral("FOREST.chart")), QStringLiteral("forest"));
        field = makeChart(dir.filePath(QStringLiteral("поле.chart")), QStringLiteral("farmland"));
        untagged = dir.filePath(QStringLiteral("untagged.chart"));
        QVERIFY(ChartFixture::writeUntagged(untagged));
        broken = dir.filePath(QStringLiteral("broken.chart"));
        writeFile(broken, QByteArray("this is not a GeoPackage\n"));
        missing = dir.filePath(QStringLiteral("missing.chart"));
        host = std::make_unique<QWidget>();
        map = TMapControlLoader::create(QStringLiteral(TELVIKA_BIN_DIR), host.get());
        QVERIFY(map);
        (new QVBoxLayout(host.get()))->addWidget(map->widget());
        host->resize(400, 300);
    }

    void init() {
        QFile::remove(ini());
        for (const QString& p : map->LoadedMaps()) map->CloseMap(p);
        dialogs = TRecordingUserDialogs();
        results.clear();
        edited = false;
    }

    void looksAsDesigned() {
        auto f = form();
        QCOMPARE(f->windowTitle(), QStringLiteral("Добавление карт"));
        QCOMPARE(f->size(), QSize(453, 351));
        QVERIFY(f->windowFlags() & Qt::Tool);
        QVERIFY(!(f->windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(f->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(f->font().pointSize(), 8);
        QCOMPARE(f->Label1->text(), QStringLiteral("Список загружаемых карт"));
        QCOMPARE(f->Label1->font().pointSize(), 10);
        QVERIFY(f->Label1->alignment() & Qt::AlignHCenter);
        QCOMPARE(f->MapList->size(), QSize(437, 204));
        QVERIFY(f->lblMessage->text().isEmpty());
        QVERIFY(f->lblMessage->alignment() & Qt::AlignHCenter);
        QCOMPARE(f->btnAddMap->text(), QStringLiteral("Загрузить карту"));
        QCOMPARE(f->btnDelMap->text(), QStringLiteral("Удалить карту"));
        QCOMPARE(f->btnExit->text(), QStringLiteral("Закрыть"));
        for (const char* name : {"Label1", "MapList", "lblMessage", "btnAddMap", "btnDelMap", "btnExit"})
            QVERIFY2(f->findChild<QWidget*>(QLatin1String(name)), name);
    }

    // The list shows positions 1..MapCount of the file, missing keys as empty entries; keys beyond
    // the count are not shown.
    void showsTheFile() {
        writeFile(ini(), QStringLiteral("[MapList]\nMapCount=3\nMap1=%1\nMap3=%2\nMap4=%3\n")
                             .arg(forest, field, untagged)
                             .toUtf8());
        results = {0, 4, 3, 2};  // codes of a longer list loaded before the file changed
        auto f = form();
        QCOMPARE(f->entries(), (QStringList{forest, QString(), field}));
        QCOMPARE(results, (QVector<int>{0, 4, 3}));
        f.reset();
        results.clear();
        f = form();
        QCOMPARE(results, (QVector<int>{11, 11, 11}));  // "Карта не загружена" until loaded
    }

    // Adding: the file dialog with its title and Qt filter, the map loaded at once, its code kept
    // at the new entry's position and its text shown; a cancelled dialog changes nothing; the INI
    // is not written before "Закрыть".
    void addLoadsAtOnceAndKeepsCodesAligned() {
        auto f = form();
        dialogs.fileAnswers = {forest, QString(), broken, missing, untagged};
        for (int i = 0; i < 5; ++i) QTest::mouseClick(f->btnAddMap, Qt::LeftButton);
        QCOMPARE(dialogs.calls.size(), 5);
        QCOMPARE(dialogs.calls[0].kind, QStringLiteral("openFile"));
        QCOMPARE(dialogs.calls[0].text, QStringLiteral("Добавить карту"));
        QCOMPARE(dialogs.calls[0].filter, QStringLiteral("Карты Ormanta (*.chart)"));
        QVERIFY(dialogs.calls[0].hasOwner);
        QCOMPARE(f->entries(), (QStringList{forest, broken, missing, untagged}));
        QCOMPARE(results, (QVector<int>{0, 3, 2, 4}));
        QCOMPARE(f->lblMessage->text(), QStringLiteral("Неизвестный формат карты"));
        QCOMPARE(map->LoadedMaps().size(), 1);
        QVERIFY(!QFile::exists(ini()));
        QVERIFY(!edited);

        clickEntry(f->MapList, 1);
        QCOMPARE(f->lblMessage->text(), QStringLiteral("Неправильный файл карты"));
        clickEntry(f->MapList, 2);
        QCOMPARE(f->lblMessage->text(), QStringLiteral("Отсутствует файл карты"));
        clickEntry(f->MapList, 0);
        QCOMPARE(f->lblMessage->text(), QStringLiteral("Карта успешно загружена"));
        // Keys move the selection and show the new entry's text too.
        QTest::keyClick(f->MapList, Qt::Key_Down);
        QCOMPARE(f->lblMessage->text(), QStringLiteral("Неправильный файл карты"));
    }

    // The same path again is refused with the message (empty caption) and the list unchanged; the
    // same name in other letters is another file and another entry.
    void duplicatesAreExactAndCaseSensitive() {
        auto f = form();
        dialogs.fileAnswers = {forest, forest, forestUpper};
        for (int i = 0; i < 3; ++i) QTest::mouseClick(f->btnAddMap, Qt::LeftButton);
        QCOMPARE(f->entries(), (QStringList{forest, forestUpper}));
        QCOMPARE(results, (QVector<int>{0, 0}));
        QCOMPARE(dialogs.calls.size(), 4);
        QCOMPARE(dialogs.calls[2].kind, QStringLiteral("message"));
        QCOMPARE(dialogs.calls[2].text, QStringLiteral("Такая карта уже находится в списке"));
        QCOMPARE(dialogs.calls[2].caption, QString());
        QVERIFY(f->MapInList(forest));
        QVERIFY(f->MapInList(forestUpper));
        QVERIFY(!f->MapInList(dir.filePath(QStringLiteral("Forest.chart"))));
        QVERIFY(!f->MapInList(forest + u' '));
        QCOMPARE(map->LoadedMaps().size(), 2);
    }

    // Deleting the second of three unloads it at once and drops its code: a click on the new
    // second entry shows the former third's text. With nothing selected, delete does nothing.
    void deleteKeepsCodesAligned() {
        auto f = form();
        dialogs.fileAnswers = {forest, field, untagged};
        for (int i = 0; i < 3; ++i) QTest::mouseClick(f->btnAddMap, Qt::LeftButton);
        QCOMPARE(results, (QVector<int>{0, 0, 4}));
        QTest::mouseClick(f->btnDelMap, Qt::LeftButton);
        QCOMPARE(f->entries().size(), 3);

        clickEntry(f->MapList, 1);
        QCOMPARE(f->lblMessage->text(), QStringLiteral("Карта успешно загружена"));
        QTest::mouseClick(f->btnDelMap, Qt::LeftButton);
        QCOMPARE(f->entries(), (QStringList{forest, untagged}));
        QCOMPARE(results, (QVector<int>{0, 4}));
        QVERIFY(!map->LoadedMaps().join(u'|').contains(QStringLiteral("поле")));
        QCOMPARE(map->LoadedMaps().size(), 1);
        QVERIFY(f->MapList->selectedItems().isEmpty());
        clickEntry(f->MapList, 1);
        QCOMPARE(f->lblMessage->text(), QStringLiteral("Неизвестный формат карты"));
        QVERIFY(!QFile::exists(ini()));
    }

    // A code without a text shows an empty message.
    void unknownCodeShowsEmptyText() {
        writeFile(ini(), QStringLiteral("[MapList]\nMapCount=2\nMap1=%1\nMap2=%2\n").arg(forest, field).toUtf8());
        results = {0, 99};
        auto f = form();
        clickEntry(f->MapList, 0);
        QCOMPARE(f->lblMessage->text(), QStringLiteral("Карта успешно загружена"));
        clickEntry(f->MapList, 1);
        QVERIFY(f->lblMessage->text().isEmpty());
    }

    // Five maps saved as three: "Закрыть" writes MapCount 3 and Map1..Map3 in list order, keys 4 and
    // 5 stay; it marks the list edited and closes. Escape and the window's close do not close it.
    void exitWritesTheFileFiveAsThree() {
        const QStringList five = {forest, field, untagged, broken, missing};
        QString text = QStringLiteral("[MapList]\nMapCount=5\n");
        for (int i = 0; i < 5; ++i) text += QStringLiteral("Map%1=%2\n").arg(i + 1).arg(five[i]);
        writeFile(ini(), text.toUtf8());
        results = {0, 0, 4, 3, 2};
        auto f = form();
        QCOMPARE(f->entries(), five);
        clickEntry(f->MapList, 1);
        QTest::mouseClick(f->btnDelMap, Qt::LeftButton);
        clickEntry(f->MapList, 2);
        QTest::mouseClick(f->btnDelMap, Qt::LeftButton);
        QCOMPARE(results, (QVector<int>{0, 4, 2}));

        QTest::keyClick(f.get(), Qt::Key_Escape);
        QVERIFY(!f->close());
        QVERIFY(f->isVisible());
        QCOMPARE(readFile(ini()), text.toUtf8());  // nothing written before "Закрыть"

        QTest::mouseClick(f->btnExit, Qt::LeftButton);
        QVERIFY(!f->isVisible());
        QCOMPARE(f->result(), int(QDialog::Accepted));
        QVERIFY(edited);
        QCOMPARE(QString::fromUtf8(readFile(ini())),
                 QStringLiteral("[MapList]\nMapCount=3\nMap1=%1\nMap2=%2\nMap3=%3\nMap4=%4\nMap5=%5\n")
                     .arg(forest, untagged, missing, broken, missing));
        QCOMPARE(telvika::maplist::readMapPaths(ini()), (QStringList{forest, untagged, missing}));
    }

    // A list file that cannot be written is reported (empty caption) and the old file stays whole;
    // the dialog still closes, as it has no other way out.
    void unwritableFileIsReported() {
        // A file whose name leaves no room for the temporary file's longer name beside it.
        const QString lockedIni = dir.filePath(QString(250, u'm') + QStringLiteral(".ini"));
        const QByteArray before("[MapList]\nMapCount=0\n");
        writeFile(lockedIni, before);
        TMapEditForm f(*map, dialogs, lockedIni, results, edited);
        f.show();
        dialogs.fileAnswers = {forest};
        QTest::mouseClick(f.btnAddMap, Qt::LeftButton);
        QTest::mouseClick(f.btnExit, Qt::LeftButton);
        QCOMPARE(dialogs.calls.size(), 2);
        QCOMPARE(dialogs.calls[1].kind, QStringLiteral("message"));
        QVERIFY(dialogs.calls[1].text.contains(QStringLiteral("mmm.ini")));
        QCOMPARE(dialogs.calls[1].caption, QString());
        QCOMPARE(readFile(lockedIni), before);
        QVERIFY(!f.isVisible());
        QVERIFY(edited);
    }

    // The shipped dialogs run the real modal loop: Escape and the window's close leave the dialog
    // open, "Закрыть" ends it with Accepted.
    void realModalLoopEndsOnlyWithClose() {
        TQtUserDialogs real;
        TMapEditForm f(*map, real, ini(), results, edited, host.get());
        bool openAfterEscape = false, openAfterClose = false, wasModal = false;
        QTimer::singleShot(0, &f, [&] {
            wasModal = QApplication::activeModalWidget() == &f;
            QTest::keyClick(&f, Qt::Key_Escape);
            openAfterEscape = f.isVisible();
            f.close();
            openAfterClose = f.isVisible();
            f.btnExit->click();
        });
        QTimer::singleShot(20000, &f, [&] { f.done(-1); });  // never hang the suite
        QCOMPARE(real.execDialog(f), int(QDialog::Accepted));
        QVERIFY(wasModal);
        QVERIFY(openAfterEscape);
        QVERIFY(openAfterClose);
        QVERIFY(edited);
        QCOMPARE(readFile(ini()), QByteArray("[MapList]\nMapCount=0\n"));
    }

    // A path with a line break could not be written to the file: refused at once, nothing loaded.
    void lineBreakPathRefused() {
        auto f = form();
        dialogs.fileAnswers = {forest + QStringLiteral("\nMapCount=9")};
        QTest::mouseClick(f->btnAddMap, Qt::LeftButton);
        QVERIFY(f->entries().isEmpty());
        QVERIFY(results.isEmpty());
        QCOMPARE(dialogs.calls.size(), 2);
        QCOMPARE(dialogs.calls[1].kind, QStringLiteral("message"));
        QVERIFY(map->LoadedMaps().isEmpty());
    }
};

QTEST_MAIN(TestMapListDialog)
#include "tst_maplist_dialog.moc"
