// A computation that fails on the store, in this process's server core: the clients read the
// failure with its reason instead of an empty trips list, and the next sound computation clears it.
#include "../automation/Fixture.h"
#include "common/Error.h"
#include "net/ClientSession.h"
#include "net/ServerCore.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace telvika;
using namespace telvika::server;
using namespace telvika::testing;

namespace {

ComputationRequest fixtureRequest() {
    ComputationRequest r;
    r.groupId = QStringLiteral("grp-north");
    r.device = 101;
    r.begin = oleFromDateAndTime(QDate(2026, 3, 1), QTime(0, 0));
    r.end = oleFromDateAndTime(QDate(2026, 3, 6), QTime(0, 0));
    r.channel = QStringLiteral("GSM");
    r.mode = 1;
    return r;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool overwrite(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::ReadWrite) && f.write(bytes) == bytes.size() && f.resize(bytes.size());
}

// The text a session's operation fails with, or a null string when it succeeds.
QString failureOf(ClientSession& session, const QString& op) {
    try {
        QByteArray bytes;
        session.handle(op, {}, &bytes);
        return QString();
    } catch (const Error& e) {
        return e.message();
    }
}

}  // namespace

class TestFailedComputation : public QObject {
    Q_OBJECT
private slots:
    void failureReachesTheClientsUntilASoundComputation() {
        QTemporaryDir dir;
        const QString database = fixtureDatabase(dir.path());
        writeFixture(database);
        const QByteArray sound = readAll(database);
        ServerCore core(database);
        QSignalSpy finished(&core, &ServerCore::computationFinished);
        ClientSession session(core);

        // The computation thread opens the store when it first computes: the file is no store by then.
        QByteArray garbage(sound.size(), '\0');
        for (int i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 131 + 7) % 253);
        QVERIFY(overwrite(database, garbage));
        core.startComputing(fixtureRequest());
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
        QVERIFY(!finished.at(0).at(0).toString().isEmpty());

        const QString failure = failureOf(session, QStringLiteral("TripsCount"));
        QVERIFY2(failure.startsWith(QStringLiteral("Расчёт не выполнен: ")), qPrintable(failure));
        QVERIFY2(failure.contains(QStringLiteral("не является базой данных")), qPrintable(failure));
        // What was asked for is still told, so that a following client can show whose it was.
        QByteArray bytes;
        QCOMPARE(session.handle(QStringLiteral("ComputedGroupID"), {}, &bytes).toString(),
                 QStringLiteral("grp-north"));
        QCOMPARE(session.handle(QStringLiteral("ComputedCarID"), {}, &bytes).toInteger(), 101);
        QCOMPARE(readAll(database), garbage);

        // The store is sound again: the next computation lists its trips.
        QVERIFY(overwrite(database, sound));
        core.startComputing(fixtureRequest());
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 20000);
        QCOMPARE(finished.at(1).at(0).toString(), QString());
        QCOMPARE(failureOf(session, QStringLiteral("TripsCount")), QString());
        QCOMPARE(session.handle(QStringLiteral("TripsCount"), {}, &bytes).toInteger(), 2);
    }
};

QTEST_GUILESS_MAIN(TestFailedComputation)
#include "tst_failed_computation.moc"
