// The settings document and file: the default document byte for byte, the conversions of the
// values, reading and writing every value, and saves that replace the file in one step.
#include <QtTest>

#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <ctime>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#include <unistd.h>
#endif

#include "common/Error.h"
#include "settings/SettingsDocument.h"
#include "settings/SettingsFile.h"

using namespace telvika;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

TSettingsValues readValues(const QString& path) {
    const QDomDocument doc = TSettingsFile(path).open();
    return TSettingsReader(settingsElementOf(doc)).all();
}

QString failureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.message();
    }
    return QString();
}

TInfoPoints kind(const QString& name, bool list, bool icon, const QString& query, const QString& code) {
    TInfoPoints k;
    k.name = name;
    k.VisibleList = list;
    k.VisibleIcon = icon;
    k.query = query;
    k.Icon = code;
    return k;
}

void compareValues(const TSettingsValues& a, const TSettingsValues& b) {
    QCOMPARE(a.LoadKT, b.LoadKT);
    QCOMPARE(a.LoadIT, b.LoadIT);
    QCOMPARE(a.GroupID, b.GroupID);
    QCOMPARE(a.IconNum, b.IconNum);
    QCOMPARE(a.CarID, b.CarID);
    QCOMPARE(a.DateTimeBegin, b.DateTimeBegin);
    QCOMPARE(a.DateTimeEnd, b.DateTimeEnd);
    QCOMPARE(a.Speed, b.Speed);
    QCOMPARE(a.Stops, b.Stops);
    QCOMPARE(a.Cont, b.Cont);
    QCOMPARE(a.InfoPoints.size(), b.InfoPoints.size());
    for (int i = 0; i < a.InfoPoints.size(); ++i) {
        QCOMPARE(a.InfoPoints[i].name, b.InfoPoints[i].name);
        QCOMPARE(bool(a.InfoPoints[i].VisibleList), bool(b.InfoPoints[i].VisibleList));
        QCOMPARE(bool(a.InfoPoints[i].VisibleIcon), bool(b.InfoPoints[i].VisibleIcon));
        QCOMPARE(a.InfoPoints[i].query, b.InfoPoints[i].query);
        QCOMPARE(a.InfoPoints[i].Icon, b.InfoPoints[i].Icon);
    }
}

}  // namespace

class TestSettingsDocument : public QObject {
    Q_OBJECT
private slots:
    void defaultDocumentByteForByte() {
        const QStringList kinds{
            "<InfoPoints1 name=\"Контрольные точки\" VisibleList=\"true\" VisibleIcon=\"true\" "
            "query=\"checkpoints-stages\" Icon=\"IcC\" />",
            "<InfoPoints2 name=\"Список остановок\" VisibleList=\"true\" VisibleIcon=\"true\" "
            "query=\"parks\" Icon=\"IcP\" />",
            "<InfoPoints3 name=\"Периоды отсутствия сигнала\" VisibleList=\"true\" VisibleIcon=\"true\" "
            "query=\"blinds\" Icon=\"IcV\" />",
            "<InfoPoints4 name=\"Периоды пропадания питания\" VisibleList=\"true\" VisibleIcon=\"true\" "
            "query=\"power_off\" Icon=\"IcB\" />",
            "<InfoPoints5 name=\"Периоды превышения скорости\" VisibleList=\"true\" VisibleIcon=\"true\" "
            "query=\"over_speed\" Icon=\"IcS\" />",
            "<InfoPoints6 name=\"Заправки и сливы бака №1\" VisibleList=\"true\" VisibleIcon=\"true\" "
            "query=\"tank-num1\" Icon=\"IcZ\" />",
            "<InfoPoints7 name=\"Заправки и сливы бака №2\" VisibleList=\"true\" VisibleIcon=\"true\" "
            "query=\"tank-num2\" Icon=\"IcZ\" />",
            "<InfoPoints8 name=\"Включения датчика №1\" VisibleList=\"true\" VisibleIcon=\"true\" "
            "query=\"sensor_on-num1\" Icon=\"Ic1\" />",
            "<InfoPoints9 name=\"Включения датчика №2\" VisibleList=\"true\" VisibleIcon=\"true\" "
            "query=\"sensor_on-num2\" Icon=\"Ic2\" />",
            "<InfoPoints10 name=\"Включения датчика №3\" VisibleList=\"true\" VisibleIcon=\"true\" "
            "query=\"sensor_on-num3\" Icon=\"Ic3\" />",
            "<InfoPoints11 name=\"Включения датчика №4\" VisibleList=\"true\" VisibleIcon=\"true\" "
            "query=\"sensor_on-num4\" Icon=\"Ic4\" />",
            "<InfoPoints12 name=\"Включения датчика №5\" VisibleList=\"true\" VisibleIcon=\"true\" "
            "query=\"sensor_on-num5\" Icon=\"Ic5\" />",
            "<InfoPoints13 name=\"Включения датчика №6\" VisibleList=\"true\" VisibleIcon=\"true\" "
            "query=\"sensor_on-num6\" Icon=\"Ic6\" />",
        };
        const QStringList lines =
            QStringList{"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>",
                        "<AppSettings xmlns=\"" + settingsNamespace() + "\">",
                        "<Settings>",
                        "<LoadKT>false</LoadKT>",
                        "<LoadIT>false</LoadIT>",
                        "<IconNum>0</IconNum>",
                        "<GroupID>7</GroupID>",
                        "<CarID>0</CarID>",
                        "<DateTimeBegin>06.02.2007 00:00:00</DateTimeBegin>",
                        "<DateTimeEnd>06.06.2009 00:00:00</DateTimeEnd>",
                        "<Speed>60x</Speed>",
                        "<Stops>true</Stops>",
                        "<Cont>60</Cont>",
                        "<InfoPointsCount>13</InfoPointsCount>",
                        "<InfoPoints>"} +
            kinds + QStringList{"</InfoPoints>", "</Settings>", "</AppSettings>"};
        QCOMPARE(lines.size(), 31);
        QByteArray expected("\xEF\xBB\xBF");
        for (const QString& l : lines) expected += l.toUtf8() + "\r\n";
        QCOMPARE(defaultSettingsDocument(), expected);

        // It reads back as the default values.
        QDomDocument doc;
        QVERIFY(doc.setContent(defaultSettingsDocument()));
        compareValues(TSettingsReader(settingsElementOf(doc)).all(), defaultSettingsValues());
    }

    void conversions() {
        QCOMPARE(parseSettingsSpeed("300X"), 300);
        QCOMPARE(parseSettingsSpeed("60x"), 60);
        QCOMPARE(parseSettingsSpeed("x1x2X"), 12);
        QVERIFY(failureOf([] { parseSettingsSpeed("x"); }).contains("Speed"));
        QVERIFY(failureOf([] { parseSettingsSpeed("x"); }).contains("целым числом"));
        QVERIFY(!failureOf([] { parseSettingsSpeed("3y"); }).isEmpty());

        QCOMPARE(parseSettingsInt("GroupID", " -3 "), -3);
        QVERIFY(!failureOf([] { parseSettingsInt("GroupID", "7a"); }).isEmpty());
        QVERIFY(!failureOf([] { parseSettingsInt("GroupID", ""); }).isEmpty());
        QVERIFY(!failureOf([] { parseSettingsInt("GroupID", "4294967296"); }).isEmpty());

        QCOMPARE(parseSettingsBool("Stops", "TRUE"), true);
        QCOMPARE(parseSettingsBool("Stops", "false"), false);
        const QString bad = failureOf([] { parseSettingsBool("Stops", "yes"); });
        QVERIFY(bad.contains("Stops") && bad.contains("\"yes\""));

        QCOMPARE(parseSettingsDateTime("DateTimeEnd", "31.12.2009 23:59:58"),
                 settingsDateTime(QDate(2009, 12, 31), QTime(23, 59, 58)));
        QVERIFY(!failureOf([] { parseSettingsDateTime("DateTimeEnd", "31.02.2009 00:00:00"); }).isEmpty());
        QVERIFY(!failureOf([] { parseSettingsDateTime("DateTimeEnd", "2009-02-06T00:00:00"); }).isEmpty());
        // A time that a local clock change skips is kept as written.
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        tzset();
        const QString skipped = failureOf([] {
            QCOMPARE(formatSettingsDateTime(parseSettingsDateTime("DateTimeBegin", "28.03.2010 02:30:00")),
                     QString("28.03.2010 02:30:00"));
        });
        zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
        tzset();
        QVERIFY2(skipped.isEmpty(), qPrintable(skipped));
        QCOMPARE(formatSettingsDateTime(settingsDateTime(QDate(2007, 2, 6), QTime(9, 5, 7))),
                 QString("06.02.2007 09:05:07"));
    }

    void readerFailuresNameWhatIsWrong() {
        QDomDocument doc;
        QVERIFY(doc.setContent(QByteArray(
            "<AppSettings><Settings><LoadKT>true</LoadKT><InfoPoints>"
            "<InfoPoints1 name=\"a\" VisibleList=\"true\" VisibleIcon=\"true\" query=\"q\" Icon=\"I\"/>"
            "<InfoPoints3 name=\"c\" VisibleList=\"true\" VisibleIcon=\"true\"/>"
            "<InfoPoints2 name=\"b\" VisibleList=\"true\" query=\"q\"/>"
            "</InfoPoints></Settings></AppSettings>")));
        const TSettingsReader r(settingsElementOf(doc));
        QCOMPARE(r.boolean("LoadKT"), true);
        QVERIFY(failureOf([&] { r.boolean("LoadIT"); }).contains("LoadIT"));
        QCOMPARE(r.kindCount(), 3);
        QCOMPARE(r.kind(1).Icon, QString("I"));
        // Kinds are found by name, not position; a missing flag fails, a missing code is empty.
        QCOMPARE(r.kind(3).name, QString("c"));
        QCOMPARE(r.kind(3).Icon, QString());
        QVERIFY(failureOf([&] { r.kind(2); }).contains("VisibleIcon"));
        QVERIFY(failureOf([&] { r.kind(4); }).contains("InfoPoints4"));

        QDomDocument empty;
        QVERIFY(empty.setContent(QByteArray("<AppSettings><Settings/></AppSettings>")));
        QCOMPARE(TSettingsReader(settingsElementOf(empty)).kindCount(), 0);
        QDomDocument noChild;
        QVERIFY(noChild.setContent(QByteArray("<AppSettings xmlns=\"urn:x\"/>")));
        QVERIFY(!failureOf([&] { settingsElementOf(noChild); }).isEmpty());
        QDomDocument comment;
        QVERIFY(comment.setContent(QByteArray("<AppSettings><!-- c --><Settings/></AppSettings>")));
        QVERIFY(!failureOf([&] { settingsElementOf(comment); }).isEmpty());
    }

    void saveWritesEveryValueInOrderAndReadsBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath("TVSettings.xml");
        TSettingsValues v;
        v.LoadKT = true;
        v.LoadIT = false;
        v.GroupID = -1;
        v.IconNum = 165;
        v.CarID = 12;
        v.DateTimeBegin = settingsDateTime(QDate(2010, 3, 28), QTime(1, 59, 59));
        v.DateTimeEnd = settingsDateTime(QDate(2010, 3, 28), QTime(3, 0, 1));
        v.Speed = "600x";
        v.Stops = false;
        v.Cont = "";
        v.InfoPoints = defaultInfoPointKinds();
        v.InfoPoints[4].VisibleList = false;
        v.InfoPoints[6].VisibleIcon = false;
        v.InfoPoints << kind("Кавычки \" <теги> & ]]> />", true, false, "sensor_on-num7", "I\"c<7>")
                     << kind("Пятнадцатый\tвид\nс переводом", false, true, "custom", "");

        // No file: the save starts from the skeleton and writes the whole document at once.
        TSettingsFile(path).save(v);
        const QByteArray bytes = readAll(path);
        QVERIFY(bytes.startsWith(
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"));
        QVERIFY(bytes.endsWith("</AppSettings>\r\n"));
        QVERIFY(!bytes.contains("\n\n") && !QString::fromUtf8(bytes).contains(QRegularExpression("[^\r]\n")));
        compareValues(readValues(path), v);

        // Element order of the save; the counts agree with the kinds.
        const QString text = QString::fromUtf8(bytes);
        const QStringList order{"LoadKT", "LoadIT",        "GroupID",         "IconNum",
                                "CarID",  "DateTimeBegin", "DateTimeEnd",     "Speed",
                                "Stops",  "Cont",          "InfoPointsCount", "InfoPoints"};
        qsizetype at = 0;
        for (const QString& name : order) {
            const qsizetype next = text.indexOf("<" + name + ">", at);
            QVERIFY2(next > at, qPrintable(name));
            at = next;
        }
        QVERIFY(text.contains("<InfoPointsCount>15</InfoPointsCount>"));
        QVERIFY(text.contains("<Cont></Cont>"));
        // Each kind on its own line, attributes in their fixed order.
        const QRegularExpression line(
            "^<InfoPoints(\\d+) name=\"[^\"]*\" VisibleList=\"(true|false)\" VisibleIcon=\"(true|false)\" "
            "query=\"[^\"]*\" Icon=\"[^\"]*\" />\r$",
            QRegularExpression::MultilineOption);
        QCOMPARE(text.count(line), 15);
        QCOMPARE(QDomDocument().setContent(bytes), true);

        // Saving over the file keeps its namespace and whatever else its root holds.
        QByteArray withExtra = defaultSettingsDocument();
        withExtra.replace("</AppSettings>", "<!-- по-своему --><Extra a=\"1\">текст</Extra></AppSettings>");
        QVERIFY(writeAll(path, withExtra));
        v.InfoPoints.resize(2);
        TSettingsFile(path).save(v);
        const QByteArray again = readAll(path);
        QVERIFY(again.contains(("<AppSettings xmlns=\"" + settingsNamespace() + "\">\r\n").toUtf8()));
        QVERIFY(again.contains("<!-- по-своему -->\r\n<Extra a=\"1\">текст</Extra>\r\n</AppSettings>\r\n"));
        QVERIFY(again.contains("<InfoPointsCount>2</InfoPointsCount>"));
        compareValues(readValues(path), v);
    }

    void unreadableFilesAreLeftAsTheyAre() {
        QTemporaryDir dir;
        const QString path = dir.filePath("TVSettings.xml");
        for (const QByteArray& bad : {QByteArray("<?xml version=\"1.0\"?><AppSettings><Settings><LoadKT>tr"),
                                      QByteArray("<AppSettings xmlns=\"urn:x\" />"),
                                      QByteArray("<AppSettings><!-- first --><Settings/></AppSettings>")}) {
            QVERIFY(writeAll(path, bad));
            const QString message = failureOf([&] { TSettingsFile(path).save(defaultSettingsValues()); });
            QVERIFY2(!message.isEmpty(), bad.constData());
            QCOMPARE(readAll(path), bad);
        }
        QVERIFY(
            failureOf([&] { TSettingsFile(path + ".missing").open(); }).contains("TVSettings.xml.missing"));
        QVERIFY(QDir(dir.path()).entryList(QDir::Files) == QStringList{"TVSettings.xml"});
    }

    void presetDocumentForTools() {
        QTemporaryDir dir;
        const QString path = dir.filePath("TVSettings.xml");
        TSettingsValues v = defaultSettingsValues();
        v.GroupID = 2;
        v.CarID = 1;
        v.DateTimeBegin = settingsDateTime(QDate(2026, 12, 1), QTime(0, 0));
        v.DateTimeEnd = settingsDateTime(QDate(2026, 12, 2), QTime(0, 0));
        QString error;
        QVERIFY(writeSettingsFile(path, v, &error));
        compareValues(readValues(path), v);
        QVERIFY(!writeSettingsFile(dir.filePath("no/such/folder/TVSettings.xml"), v, &error));
        QVERIFY(error.contains("TVSettings.xml"));
    }

    // A save on a real file system that is full (a 64 KiB tmpfs, filled up): it fails with a
    // message naming the file and the old file stays byte for byte. Mounting needs root.
    void fullFileSystemKeepsTheOldFile() {
#ifdef Q_OS_LINUX
        if (::geteuid() != 0) QSKIP("mounting a small file system needs root; the file size limit test covers the rest");
        QTemporaryDir dir;
        const QByteArray mountPoint = QFile::encodeName(dir.path());
        if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP(qPrintable(QStringLiteral("no tmpfs can be mounted here: %1").arg(qt_error_string(errno))));
        const auto unmount = qScopeGuard([&] { ::umount2(mountPoint.constData(), MNT_DETACH); });
        const QString path = dir.filePath("TVSettings.xml");
        TSettingsFile(path).writeDefault();
        const QByteArray before = readAll(path);
        QVERIFY(!before.isEmpty());
        QFile filler(dir.filePath("filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();

        TSettingsValues v = defaultSettingsValues();
        v.Speed = "300x";
        const QString message = failureOf([&] { TSettingsFile(path).save(v); });
        QVERIFY2(message.startsWith(QStringLiteral("Не удалось записать файл настроек")) &&
                     message.contains("TVSettings.xml"),
                 qPrintable(message));
        QCOMPARE(readAll(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), (QStringList{"filler", "TVSettings.xml"}));
#else
        QSKIP("needs Linux to mount a small file system");
#endif
    }

    // A process saving over and over is killed at random moments; the file it leaves always reads
    // completely as one of the two documents it alternates between.
    void killedSaveLeavesALoadableFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("TVSettings.xml");
        qint64 saves = 0;
        for (int run = 0; run < 16; ++run) {
            QProcess p;
            p.start(QStringLiteral(SAVE_LOOP_PROGRAM), {path});
            QVERIFY(p.waitForStarted());
            QVERIFY(p.waitForReadyRead(20000));  // the first save of this run is done
            QThread::msleep(QRandomGenerator::global()->bounded(5, 60));
            QCOMPARE(p.state(), QProcess::Running);  // still saving: it never stops on its own
            p.kill();
            QVERIFY(p.waitForFinished(20000));
            QCOMPARE(p.exitStatus(), QProcess::CrashExit);
            saves += QString::fromLatin1(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts).size();

            TSettingsValues v;
            int count = 0;
            const QString failure = failureOf([&] {
                v = readValues(path);
                count =
                    TSettingsReader(settingsElementOf(TSettingsFile(path).open())).integer("InfoPointsCount");
            });
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            QVERIFY(v.InfoPoints.size() == 13 || v.InfoPoints.size() == 400);
            QCOMPARE(count, v.InfoPoints.size());
            QCOMPARE(v.InfoPoints.last().Icon, QString("Ic%1").arg(v.InfoPoints.size()));
        }
        qInfo() << saves << "saves completed in all";
    }
};

QTEST_MAIN(TestSettingsDocument)
#include "tst_settings_document.moc"
