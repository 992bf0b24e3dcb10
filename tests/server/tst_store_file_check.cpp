// The checks of the store's file around its opening, on real files and folders: an empty file and
// an unwritable folder are refused before SQLite touches them, a missing file still becomes a new
// store, and a failed first read is told by what the SQLite error means.
#include "common/Error.h"
#include "store/Store.h"
#include "store/StoreFileCheck.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

#if defined(Q_OS_LINUX)
#include <linux/capability.h>
#include <sys/syscall.h>
#endif

using namespace telvika;
using namespace telvika::server;

namespace {

#if defined(Q_OS_LINUX)
// While it lives, this process does without root's permission override, so that a folder's mode
// binds it as it binds any user; the capabilities come back at its end.
class WithoutPermissionOverride {
public:
    WithoutPermissionOverride() {
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        if (::syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        active_ = ::syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~WithoutPermissionOverride() {
        if (active_) ::syscall(SYS_capset, &header_, saved_);
    }
    bool active() const { return active_; }

private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};
#endif

}  // namespace

class TestStoreFileCheck : public QObject {
    Q_OBJECT
private slots:
    // An empty file is no store: refused with a reason naming it, and still empty afterwards,
    // with nothing SQLite keeps beside a base left behind.
    void emptyFileIsRefusedUntouched() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("telvika-server.db"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        try {
            Store s(path);
            QFAIL("an empty file was opened as a store");
        } catch (const Error& e) {
            QVERIFY2(e.message().contains(QStringLiteral("пуст (0 байт)")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(path), qPrintable(e.message()));
        }
        QCOMPARE(QFileInfo(path).size(), 0);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("telvika-server.db")});
    }

    // No file at all is a first start: a new store is made, and opened again it is no empty file.
    void missingFileBecomesANewStore() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sub/telvika-server.db"));
        {
            Store s(path);
            QVERIFY(s.isEmpty());
            s.addGroup({QStringLiteral("g"), QStringLiteral("G")});
        }
        QVERIFY(QFileInfo(path).size() > 0);
        Store again(path);
        QCOMPARE(again.groups().size(), 1);
    }

    // A folder the process cannot write into is refused before the file is opened.
    void unwritableFolderIsRefused() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("data"));
        const QString path = QDir(folder).filePath(QStringLiteral("telvika-server.db"));
        { Store s(path); }
        const QByteArray before = [&] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        const auto restore = qScopeGuard(
            [&] { QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
#if defined(Q_OS_LINUX)
        WithoutPermissionOverride asAUser;
        if (::geteuid() == 0 && !asAUser.active())
            QSKIP("root, and its permission override cannot be set aside");
#else
        if (::geteuid() == 0) QSKIP("root writes into any folder");
#endif
        try {
            Store s(path);
            QFAIL("a store in an unwritable folder was opened");
        } catch (const Error& e) {
            QVERIFY2(e.message().contains(QStringLiteral("недоступна для записи")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QDir::toNativeSeparators(folder)), qPrintable(e.message()));
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }

    void unreadableReasonTellsWhatTheErrorMeans_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("meaning");
        QTest::addColumn<bool>("keepsSqliteText");
        QTest::newRow("not a database")
            << QStringLiteral("26") << QStringLiteral("это не файл базы SQLite") << false;
        QTest::newRow("corrupt") << QStringLiteral("11") << QStringLiteral("повреждена") << true;
        QTest::newRow("read-only") << QStringLiteral("8") << QStringLiteral("права на запись") << true;
        QTest::newRow("read-only, extended code")
            << QStringLiteral("264") << QStringLiteral("права на запись") << true;
        QTest::newRow("cannot open") << QStringLiteral("14") << QStringLiteral("права на запись") << true;
        QTest::newRow("any other") << QStringLiteral("1") << QStringLiteral("не удаётся прочитать") << true;
        QTest::newRow("no code") << QString() << QStringLiteral("не удаётся прочитать") << true;
    }

    // Each says what it means in Russian, names the file and that it was left as it was.
    void unreadableReasonTellsWhatTheErrorMeans() {
        QFETCH(QString, code);
        QFETCH(QString, meaning);
        QFETCH(bool, keepsSqliteText);
        const QString path = QStringLiteral("/data/telvika-server.db");
        const QSqlError error(QStringLiteral("Unable to fetch row"), QStringLiteral("sqlite says this"),
                              QSqlError::StatementError, code);
        const QString reason = storefile::unreadableReason(path, error);
        QVERIFY2(reason.contains(meaning), qPrintable(reason));
        QVERIFY2(reason.contains(path), qPrintable(reason));
        QVERIFY2(reason.contains(QStringLiteral("оставлен без изменений")), qPrintable(reason));
        QCOMPARE(reason.contains(QStringLiteral("sqlite says this")), keepsSqliteText);
    }

    // A failed statement on an open store says what failed; damaged pages are called so.
    void statementFailureNamesDamage() {
        const QString what = QStringLiteral("Не удалось прочитать группы");
        const QSqlError corrupt(QStringLiteral("Unable to execute statement"),
                                QStringLiteral("database disk image is malformed"), QSqlError::StatementError,
                                QStringLiteral("11"));
        QCOMPARE(storefile::statementFailure(what, corrupt),
                 QStringLiteral("Не удалось прочитать группы: база данных сервера повреждена "
                                "(database disk image is malformed)"));
        const QSqlError busy(QStringLiteral("Unable to execute statement"),
                             QStringLiteral("database is locked"), QSqlError::StatementError,
                             QStringLiteral("5"));
        const QString text = storefile::statementFailure(what, busy);
        QVERIFY2(text.startsWith(what + QStringLiteral(": ")) &&
                     text.contains(QStringLiteral("database is locked")) &&
                     !text.contains(QStringLiteral("повреждена")),
                 qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(TestStoreFileCheck)
#include "tst_store_file_check.moc"
