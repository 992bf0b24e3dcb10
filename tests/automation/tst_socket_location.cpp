// Where the socket lives and who is at the other end: the private folder's checks on real folders,
// and the kernel's answer about a real connection.
#include "PeerCredentials.h"
#include "SocketLocation.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace telvika::automation;

namespace {
int modeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}
void setMode(const QString& path, int mode) { QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0); }
}  // namespace

class TestSocketLocation : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    const qint64 me_ = currentUserId();

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void aFolderOfOursWithMode700IsPrivate() {
        const QString path = dir_.filePath(QStringLiteral("own"));
        QString error;
        QVERIFY2(ensurePrivateFolder(path, me_, &error), qPrintable(error));
        QCOMPARE(modeOf(path), 0700);
        QCOMPARE(checkPrivateFolder(path, me_), QString());
        QVERIFY2(ensurePrivateFolder(path, me_, &error), qPrintable(error));  // existing: checked again
    }

    void unsafeFoldersAreRefused_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("readable by others") << "0755" << "доступна другим";
        QTest::newRow("writable by the group") << "0770" << "доступна другим";
        QTest::newRow("world-writable") << "1777" << "доступна другим";
        QTest::newRow("another owner") << "owner" << "другому пользователю";
        QTest::newRow("a link to a private folder") << "link" << "ссылка";
        QTest::newRow("a plain file") << "file" << "не папка";
    }
    void unsafeFoldersAreRefused() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QString path = dir_.filePath(QStringLiteral("bad-") + QString::number(qHash(kind)));
        qint64 owner = me_;
        if (kind == QStringLiteral("owner")) {
            QVERIFY(QDir().mkdir(path));
            setMode(path, 0700);
            owner = me_ + 1;  // the folder is ours, so it belongs to "another user" for this check
        } else if (kind == QStringLiteral("link")) {
            const QString target = path + QStringLiteral("-target");
            QVERIFY(QDir().mkdir(target));
            setMode(target, 0700);
            QVERIFY(QFile::link(target, path));
        } else if (kind == QStringLiteral("file")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else {
            QVERIFY(QDir().mkdir(path));
            setMode(path, kind.toInt(nullptr, 8));
        }
        const QString problem = checkPrivateFolder(path, owner);
        QVERIFY2(problem.contains(reason), qPrintable(problem));
        QString error;
        QVERIFY(!ensurePrivateFolder(path, owner, &error));
        QVERIFY2(error.contains(path), qPrintable(error));
        // Nothing was loosened or tightened behind the caller's back.
        if (kind.startsWith(QLatin1Char('0')) || kind.startsWith(QLatin1Char('1')))
            QCOMPARE(modeOf(path), kind.toInt(nullptr, 8) & 0777);
    }

    void runtimeFolderIsUsedOnlyWhenPrivate() {
        const QString runtime = dir_.filePath(QStringLiteral("runtime"));
        const QString temp = dir_.filePath(QStringLiteral("temp"));
        QVERIFY(QDir().mkdir(runtime));
        QVERIFY(QDir().mkdir(temp));
        setMode(runtime, 0700);
        QString folder, error;
        QVERIFY2(privateSocketFolder(runtime, temp, me_, &folder, &error), qPrintable(error));
        QCOMPARE(folder, runtime + QStringLiteral("/telvika"));
        QCOMPARE(modeOf(folder), 0700);

        // A runtime folder others can enter is not trusted: the user's own folder in temp instead.
        setMode(runtime, 0755);
        QVERIFY2(privateSocketFolder(runtime, temp, me_, &folder, &error), qPrintable(error));
        QCOMPARE(folder, temp + QStringLiteral("/telvika-%1").arg(me_));
        QCOMPARE(modeOf(folder), 0700);
        QVERIFY2(privateSocketFolder(QString(), temp, me_, &folder, &error), qPrintable(error));
        QCOMPARE(folder, temp + QStringLiteral("/telvika-%1").arg(me_));

        // Someone else's (or a loosened) folder in temp is refused, not used.
        setMode(folder, 0777);
        QVERIFY(!privateSocketFolder(QString(), temp, me_, &folder, &error));
        QVERIFY2(error.contains(QStringLiteral("небезопасна")), qPrintable(error));
    }

    void shortNamesLandInThePrivateFolderAndPathsStayAsGiven() {
        const QString runtime = dir_.filePath(QStringLiteral("xdg"));
        QVERIFY(QDir().mkdir(runtime));
        setMode(runtime, 0700);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        QString path, error;
        QVERIFY2(resolveSocketName(QStringLiteral("telvika-test-startup-123"), &path, &error), qPrintable(error));
        QCOMPARE(path, runtime + QStringLiteral("/telvika/telvika-test-startup-123"));
        QCOMPARE(lockFilePath(path), path + QStringLiteral(".lock"));
        QVERIFY(resolveSocketName(QStringLiteral("/some/where/sock"), &path, &error));
        QCOMPARE(path, QStringLiteral("/some/where/sock"));
        QVERIFY(!resolveSocketName(QString(), &path, &error));
        qunsetenv("XDG_RUNTIME_DIR");
    }

    // Both ends of a real connection in this process: the kernel names our own user.
    void peerOfOurOwnConnectionIsUs() {
        QLocalServer server;
        const QString path = dir_.filePath(QStringLiteral("peer.sock"));
        QVERIFY(server.listen(path));
        QLocalSocket client;
        client.connectToServer(path);
        QVERIFY(client.waitForConnected(2000));
        QVERIFY(server.waitForNewConnection(2000));
        QLocalSocket* accepted = server.nextPendingConnection();
        QVERIFY(accepted);
        QCOMPARE(peerUserId(client.socketDescriptor()), std::optional<qint64>(me_));
        QCOMPARE(peerUserId(accepted->socketDescriptor()), std::optional<qint64>(me_));
        QCOMPARE(peerUserId(-1), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestSocketLocation)
#include "tst_socket_location.moc"
