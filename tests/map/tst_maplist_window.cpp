// The map list in the running window against a real tracking server: the first start asks for maps
// in the dialog, an empty list closed with "Закрыть" is not asked for again, a damaged count is no
// list, the menu item opens the dialog, and a map made from real OpenStreetMap data (Liechtenstein)
// is added in the dialog, loaded and drawn.
#include <QtTest>

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include <gdal.h>
#include <gdal_utils.h>
#include <cpl_string.h>

#include "map/MapListFile.h"
#include "mvx/IMVControl.h"
#include "tests/support/PlayerFixture.h"

namespace {

const QColor Land(0xf2, 0xef, 0xe9);

// Makes a .chart from an OpenStreetMap extract the way a user does with ogr2ogr -f GPKG.
bool osmToChart(const QString& pbf, const QString& chart, QString* error) {
    GDALAllRegister();
    GDALDatasetH src = GDALOpenEx(pbf.toUtf8().constData(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
    if (!src) {
        *error = QStringLiteral("cannot open ") + pbf;
        return false;
    }
    CPLStringList args;
    args.AddString("-f");
    args.AddString("GPKG");
    GDALVectorTranslateOptions* options = GDALVectorTranslateOptionsNew(args.List(), nullptr);
    int usageError = 0;
    GDALDatasetH out = GDALVectorTranslate(chart.toUtf8().constData(), nullptr, 1, &src, options, &usageError);
    GDALVectorTranslateOptionsFree(options);
    GDALClose(src);
    if (!out) {
        *error = QString::fromUtf8(CPLGetLastErrorMsg());
        return false;
    }
    GDALClose(out);
    return true;
}

// Colours of a picture: how many pixels are not bare land, and how many colours there are.
struct PictureStats {
    int notLand = 0;
    int colours = 0;
    int pixels = 0;
};
PictureStats stats(const QImage& image) {
    PictureStats s;
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            colours.insert(c);
            s.notLand += QColor(c) != Land;
        }
    s.colours = colours.size();
    s.pixels = image.width() * image.height();
    return s;
}

std::function<int(QDialog&)> clickExit() {
    return [](QDialog& d) {
        d.findChild<QPushButton*>(QStringLiteral("btnExit"))->click();
        return d.result();
    };
}

}  // namespace

class TestMapListWindow : public QObject {
    Q_OBJECT
private:
    TPlayerFixture fx{QStringLiteral("maplist")};
    QTemporaryDir chartDir;
    QString liechtenstein;

    QString ini() const { return telvika::maplist::filePath(fx.appDir.path()); }

private slots:
    void initTestCase() {
        QVERIFY(fx.appDir.isValid() && chartDir.isValid());
        liechtenstein = chartDir.filePath(QStringLiteral("liechtenstein.chart"));
        QString error;
        QVERIFY2(osmToChart(QStringLiteral(TELVIKA_SOURCE_DIR "/tests/data/osm/liechtenstein.osm.pbf"), liechtenstein,
                            &error),
                 qPrintable(error));
    }

    void init() {
        QFile::remove(ini());
        fx.dialogs = TRecordingUserDialogs();
    }

    // No list file: the dialog opens by itself during start-up, before the settings are read;
    // closed empty it writes an empty list and is not opened again. The menu item opens it anew.
    void firstStartClosedEmptyDoesNotReopen() {
        bool settingsReadBefore = true;
        fx.dialogs.dialogScripts = {[&](QDialog& d) {
            auto* window = qobject_cast<TForm1*>(d.parentWidget());
            settingsReadBefore = !window || window->SettingsLoaded;
            return clickExit()(d);
        }};
        auto w = fx.startedWindow();
        QCOMPARE(fx.dialogs.dialogTitles, QStringList{QStringLiteral("Добавление карт")});
        QVERIFY(!settingsReadBefore);
        QVERIFY(w->SettingsLoaded);
        QVERIFY(w->MapListEdited);
        QVERIFY(w->MapLoadResults.isEmpty());
        QCOMPARE(fx.readAppFile(QStringLiteral("MapList.ini")), QByteArray("[MapList]\nMapCount=0\n"));
        for (const auto& call : fx.dialogs.calls) QVERIFY2(call.kind != QStringLiteral("exception"), qPrintable(call.text));

        // The menu item: the dialog again, whatever the list holds.
        fx.dialogs.dialogScripts = {clickExit()};
        w->MapListEdit->trigger();
        QCOMPARE(fx.dialogs.dialogTitles.size(), 2);
        QVERIFY(w->MapLoadResults.isEmpty());
        w->close();
    }

    // A count that is not a number is no list: the first-start dialog opens; when it ends without
    // "Закрыть" (here: not run at all) the file is left as it was and nothing is loaded.
    void nonNumericCountIsNoList() {
        const QByteArray content = QStringLiteral("[MapList]\nMapCount=две\nMap1=%1\n").arg(liechtenstein).toUtf8();
        QVERIFY(fx.writeAppFile(QStringLiteral("MapList.ini"), content));
        auto w = fx.startedWindow();
        QCOMPARE(fx.dialogs.dialogTitles.size(), 1);
        QVERIFY(w->MVCtrl->LoadedMaps().isEmpty());
        QVERIFY(w->MapLoadResults.isEmpty());
        QCOMPARE(fx.readAppFile(QStringLiteral("MapList.ini")), content);
        QVERIFY(w->SettingsLoaded);
        w->close();
    }

    // The map made from OpenStreetMap data is added in the first-start dialog: loaded at once
    // (code 0), written to the list, loaded again after the dialog (code 1, already loaded) and
    // drawn at Vaduz. The next start loads it from the file without asking (code 0).
    void osmMapAddedInTheDialogIsDrawn() {
        QString shownMessage;
        fx.dialogs.fileAnswers = {liechtenstein};
        fx.dialogs.dialogScripts = {[&](QDialog& d) {
            d.findChild<QPushButton*>(QStringLiteral("btnAddMap"))->click();
            shownMessage = d.findChild<QLabel*>(QStringLiteral("lblMessage"))->text();
            return clickExit()(d);
        }};
        auto w = fx.startedWindow();
        QCOMPARE(fx.dialogs.dialogTitles.size(), 1);
        QCOMPARE(shownMessage, QStringLiteral("Карта успешно загружена"));
        QCOMPARE(w->MapLoadResults, QVector<int>{1});
        QCOMPARE(w->MVCtrl->LoadedMaps().size(), 1);
        QCOMPARE(telvika::maplist::readMapPaths(ini()), QStringList{liechtenstein});

        w->MVCtrl->SetCenter(47.1410, 9.5209);
        w->MVCtrl->SetCurScale(20000.0);
        const QImage drawn = w->MVCtrl->widget()->grab().toImage();
        QVERIFY(drawn.width() > 100 && drawn.height() > 100);
        const PictureStats s = stats(drawn);
        // Streets, buildings, water and green of a town: many colours, much of it not bare land.
        QVERIFY2(s.colours >= 6, qPrintable(QString::number(s.colours)));
        QVERIFY2(s.notLand * 10 > s.pixels, qPrintable(QStringLiteral("%1 of %2").arg(s.notLand).arg(s.pixels)));

        // The same view without the map is bare.
        w->MVCtrl->CloseMap(liechtenstein);
        const PictureStats bare = stats(w->MVCtrl->widget()->grab().toImage());
        QVERIFY2(bare.notLand * 100 < bare.pixels, qPrintable(QString::number(bare.notLand)));
        w->close();
        w.reset();

        fx.dialogs = TRecordingUserDialogs();
        auto again = fx.startedWindow();
        QVERIFY(fx.dialogs.dialogTitles.isEmpty());
        QCOMPARE(again->MapLoadResults, QVector<int>{0});
        QCOMPARE(again->MVCtrl->LoadedMaps().size(), 1);
        again->close();
    }

    // What an unattended demo needs: a list file naming the demo town written by the admin tool;
    // the player then asks nothing and shows the town where it starts.
    void demoTownFromTheListFile() {
        const QString town = chartDir.filePath(QStringLiteral("demo-town.chart"));
        QProcess admin;
        admin.start(fx.bin + QStringLiteral("/telvika-admin"),
                    {QStringLiteral("--data"), chartDir.filePath(QStringLiteral("demo-data")), QStringLiteral("--socket"),
                     fx.socket + QStringLiteral("-unused"), QStringLiteral("demo"), QStringLiteral("--chart"), town,
                     QStringLiteral("--days"), QStringLiteral("1"), QStringLiteral("--until"),
                     DemoUntil.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))});
        QVERIFY(admin.waitForFinished(120000));
        QCOMPARE(admin.exitCode(), 0);
        QVERIFY(fx.writeAppFile(QStringLiteral("MapList.ini"),
                                QStringLiteral("[MapList]\nMapCount=1\nMap1=%1\n").arg(town).toUtf8()));
        auto w = fx.startedWindow();
        QVERIFY(fx.dialogs.dialogTitles.isEmpty());
        QCOMPARE(w->MapLoadResults, QVector<int>{0});
        const PictureStats s = stats(w->MVCtrl->widget()->grab().toImage());
        QVERIFY2(s.colours >= 6 && s.notLand * 10 > s.pixels,
                 qPrintable(QStringLiteral("%1 colours, %2 of %3").arg(s.colours).arg(s.notLand).arg(s.pixels)));
        w->close();
    }

    // Every listed path is passed to the control in order; missing and broken maps keep their codes.
    void startLoadsEveryListedMap() {
        const QString broken = chartDir.filePath(QStringLiteral("broken.chart"));
        QFile f(broken);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a map");
        f.close();
        QVERIFY(fx.writeAppFile(QStringLiteral("MapList.ini"),
                                QStringLiteral("[MapList]\nMapCount=4\nMap1=%1\nMap2=%2\nMap4=%1\nMap5=%2\n")
                                    .arg(broken, liechtenstein)
                                    .toUtf8()));
        auto w = fx.startedWindow();
        QVERIFY(fx.dialogs.dialogTitles.isEmpty());
        QCOMPARE(w->MapLoadResults, (QVector<int>{3, 0, 2, 3}));
        w->close();
    }
};

QTEST_MAIN(TestMapListWindow)
#include "tst_maplist_window.moc"
