// The client against a scripted fake server: exact control over what arrives in one read, nested
// calls, and a server end that runs as another user.
#include "PeerCredentials.h"
#include "ScriptedServer.h"
#include "ServerConnection.h"
#include "ServerProcess.h"
#include "TTelvikaAutomation.h"
#include "common/Error.h"

#include <QtTest>

using namespace telvika;
using namespace telvika::protocol;
using namespace telvika::testing;

namespace {

QCborMap tripRecord(const QString& begin) {
    QCborMap m;
    m.insert(QStringLiteral("TripBegin"), begin);
    m.insert(QStringLiteral("TripEnd"), begin);
    m.insert(QStringLiteral("TripDuration"), QStringLiteral("00:00:00"));
    m.insert(QStringLiteral("TrackPointsCount"), 0);
    return m;
}

automation::ServerStart noStart() {
    automation::ServerStart s;
    s.enabled = false;
    return s;
}

}  // namespace

class TestClientScript : public QObject {
    Q_OBJECT

private slots:
    // The record of a cursor write is not kept when a notification came in the same read, before or
    // after the reply: the next read asks the server again. Without one the record is served.
    void notificationBesideAReplyDropsItsRecord_data() {
        QTest::addColumn<int>("notice");  // 0 none, 1 after the reply, 2 before it
        QTest::newRow("reply alone") << 0;
        QTest::newRow("reply, then 205") << 1;
        QTest::newRow("205, then reply") << 2;
    }
    void notificationBesideAReplyDropsItsRecord() {
        QFETCH(int, notice);
        const QString name = uniqueSocketName();
        ScriptedServer server(name, [&](const Message& r) -> ScriptedAnswer {
            if (r.op == QStringLiteral("SetTripIndex")) {
                const QByteArray reply = frameOf(Message::reply(r.id, tripRecord(QStringLiteral("old"))));
                const QByteArray ended = frameOf(Message::notification(EventEndComputing));
                return {notice == 0 ? reply : notice == 1 ? reply + ended : ended + reply, {}, 0};
            }
            if (r.op == QStringLiteral("TripBegin")) return {frameOf(Message::reply(r.id, QStringLiteral("new"))), {}, 0};
            return {frameOf(Message::reply(r.id, true)), {}, 0};
        });
        QVERIFY(server.startListening());
        TTelvikaAutomation c(nullptr, name);
        c.SetAutoStart(false);
        c.Start();
        QSignalSpy ended(&c, &TTelvikaAutomation::OnEndComputing);
        c.SetTripIndex(1);
        QCOMPARE(c.TripBegin(), notice == 0 ? QStringLiteral("old") : QStringLiteral("new"));
        QCOMPARE(server.ops().contains(QStringLiteral("TripBegin")), notice != 0);
        QTRY_COMPARE(ended.count(), notice == 0 ? 0 : 1);
    }

    // The track's text read twice in a row (the player draws it as two sets) is asked for once; a
    // cursor write or a notification in between makes the next read ask again.
    void trackTextReadAgainIsKeptUntilAWriteOrNotice() {
        const QString name = uniqueSocketName();
        int texts = 0;
        ScriptedServer server(name, [&](const Message& r) -> ScriptedAnswer {
            if (r.op == QStringLiteral("TrackCrdsString")) {
                const QByteArray reply = frameOf(Message::reply(r.id, QStringLiteral("1 2,3 %1").arg(++texts)));
                return {texts == 3 ? reply + frameOf(Message::notification(EventReceiveOnlineData)) : reply, {}, 0};
            }
            if (r.op == QStringLiteral("SetTripIndex")) return {frameOf(Message::reply(r.id, tripRecord("t"))), {}, 0};
            return {frameOf(Message::reply(r.id, true)), {}, 0};
        });
        QVERIFY(server.startListening());
        TTelvikaAutomation c(nullptr, name);
        c.SetAutoStart(false);
        c.Start();
        QCOMPARE(c.TrackCrdsString(), QStringLiteral("1 2,3 1"));
        QCOMPARE(c.TrackCrdsString(), QStringLiteral("1 2,3 1"));
        c.SetTripIndex(1);
        QCOMPARE(c.TrackCrdsString(), QStringLiteral("1 2,3 2"));
        QCOMPARE(c.TrackCrdsString(), QStringLiteral("1 2,3 2"));
        c.SetTripIndex(1);
        QCOMPARE(c.TrackCrdsString(), QStringLiteral("1 2,3 3"));  // a notice came with it
        QCOMPARE(c.TrackCrdsString(), QStringLiteral("1 2,3 4"));
        QCOMPARE(server.ops().count(QStringLiteral("TrackCrdsString")), 4);
    }

    // A call made from the arrival hook while another call waits leaves the outer call guarded: its
    // reply, which arrives later, still reaches it.
    void nestedCallKeepsTheOuterCallGuarded() {
        const QString name = uniqueSocketName();
        ScriptedServer server(name, [](const Message& r) -> ScriptedAnswer {
            if (r.op == QStringLiteral("Outer"))
                return {frameOf(Message::notification(EventReceiveOnlineData)),
                        frameOf(Message::reply(r.id, QStringLiteral("outer"))), 300};
            return {frameOf(Message::reply(r.id, QStringLiteral("inner"))), {}, 0};
        });
        QVERIFY(server.startListening());
        automation::ServerConnection connection;
        connection.setTimeout(5000);
        connection.open(name, noStart());
        QString inner;
        connection.setArrivalHook([&](int) {
            if (inner.isEmpty()) inner = connection.call(QStringLiteral("Inner")).toString();
        });
        QCOMPARE(connection.call(QStringLiteral("Outer")).toString(), QStringLiteral("outer"));
        QCOMPARE(inner, QStringLiteral("inner"));
        QVERIFY(connection.isOpen());
    }

    // A server end that runs as another user is refused before anything is sent to it.
    void serverOfAnotherUserIsRefused() {
        const QString name = uniqueSocketName();
        ScriptedServer server(name, [](const Message& r) -> ScriptedAnswer {
            return {frameOf(Message::reply(r.id, true)), {}, 0};
        });
        QVERIFY(server.startListening());
        automation::ServerConnection connection;
        connection.setPeerUserLookup([](qintptr) { return std::optional<qint64>(automation::currentUserId() + 1); });
        try {
            connection.open(name, noStart());
            QFAIL("a server of another user was accepted");
        } catch (const Error& e) {
            QVERIFY2(e.message().contains(QStringLiteral("другого пользователя")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(name), qPrintable(e.message()));
        }
        QVERIFY(!connection.isOpen());
        QTest::qWait(100);
        QVERIFY(server.ops().isEmpty());

        // The same server under the kernel's answer (our own user) is accepted.
        automation::ServerConnection own;
        own.open(name, noStart());
        QVERIFY(own.isOpen());
        QTRY_COMPARE(server.ops(), QStringList{QStringLiteral("Hello")});
    }

    // A request longer than the server accepts fails at once and is never sent.
    void oversizedRequestFailsBeforeSending() {
        const QString name = uniqueSocketName();
        ScriptedServer server(name, [](const Message& r) -> ScriptedAnswer {
            return {frameOf(Message::reply(r.id, true)), {}, 0};
        });
        QVERIFY(server.startListening());
        automation::ServerConnection connection;
        connection.open(name, noStart());
        const QString huge(static_cast<qsizetype>(MaxRequestFrame), QLatin1Char('x'));
        QVERIFY_THROWS_EXCEPTION(Error, connection.call(QStringLiteral("SetControlPointsName"), QCborArray{huge}));
        QCOMPARE(connection.call(QStringLiteral("Start")).toBool(), true);
        QCOMPARE(server.ops(), (QStringList{QStringLiteral("Hello"), QStringLiteral("Start")}));
    }
};

QTEST_GUILESS_MAIN(TestClientScript)
#include "tst_client_script.moc"
