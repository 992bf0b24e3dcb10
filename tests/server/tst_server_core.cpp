// The server's core and socket server in this process: the refresh queue after online data and the
// refusal of a client that runs as another user.
#include "../automation/Fixture.h"
#include "PeerCredentials.h"
#include "SocketLocation.h"
#include "net/OutputBound.h"
#include "net/ServerCore.h"
#include "net/TrackingServer.h"
#include "protocol/FrameReader.h"
#include "protocol/Message.h"
#include "protocol/ProtocolConstants.h"

#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

using namespace telvika;
using namespace telvika::protocol;
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

QString uniqueName() { return QStringLiteral("telvika-test-") + QUuid::createUuid().toString(QUuid::Id128).left(12); }

// A client that never blocks, so that the server in this thread runs while the test waits.
class LoopClient {
public:
    explicit LoopClient(const QString& path) { socket_.connectToServer(path); }
    QLocalSocket& socket() { return socket_; }
    void send(const Message& m) { socket_.write(encodeMessageFrame(m)); }
    // Messages that have arrived so far.
    QList<Message> received() {
        reader_.append(socket_.readAll());
        QByteArray frame;
        QString error;
        while (reader_.next(&frame, &error) == FrameReader::Status::Frame) {
            Message m;
            if (decodeMessage(frame, &m, &error)) got_ << m;
        }
        return got_;
    }
    int events(int event) {
        int n = 0;
        for (const Message& m : received()) n += m.kind == Message::Kind::Notification && m.event == event ? 1 : 0;
        return n;
    }

private:
    QLocalSocket socket_;
    FrameReader reader_{MaxReplyFrame};
    QList<Message> got_;
};

}  // namespace

class TestServerCore : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString database_;

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        database_ = fixtureDatabase(dir_.path());
        writeFixture(database_);
    }

    // However many refreshes are asked while one waits, one is queued; each computation ends once.
    void refreshesWhileOneWaitsAreMerged() {
        ServerCore core(database_);
        QSignalSpy finished(&core, &ServerCore::computationFinished);
        core.startComputing(fixtureRequest());
        int queued = 0;
        for (int i = 0; i < 200; ++i) queued += core.refresh() ? 1 : 0;
        QCOMPARE(queued, 1);
        QCOMPARE(core.waitingCount(), 1);
        QCOMPARE(core.computingState(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(core.computingState(), 0, 20000);
        QTest::qWait(50);
        QCOMPARE(finished.count(), 2);
        QCOMPARE(core.result()->request.device, 101);
        QCOMPARE(core.result()->trips.size(), 2);

        // A request waiting behind a running one already reads the new data: no refresh is added,
        // and the requests asked for still run, in order.
        core.startComputing(fixtureRequest());
        ComputationRequest other = fixtureRequest();
        other.device = 102;
        core.startComputing(other);
        QVERIFY(!core.refresh());
        QTRY_COMPARE_WITH_TIMEOUT(core.computingState(), 0, 20000);
        QCOMPARE(finished.count(), 4);
        QCOMPARE(core.result()->request.device, 102);
    }

    // Online data with no client connected queues nothing; the first client to greet gets the
    // refresh it missed, and while it is there every burst is followed by a 205.
    void onlineDataWithoutClientsWaitsForOne() {
        ServerCore core(database_);
        TrackingServer server(core);
        QString error;
        QVERIFY2(server.listen(uniqueName(), &error), qPrintable(error));
        core.startComputing(fixtureRequest());
        QTRY_COMPARE_WITH_TIMEOUT(core.computingState(), 0, 20000);
        QSignalSpy finished(&core, &ServerCore::computationFinished);
        for (int i = 0; i < 50; ++i) server.onlineDataArrived();
        QCOMPARE(core.computingState(), 0);

        LoopClient c(server.socketPath());
        c.send(Message::request(1, QStringLiteral("Hello"), QCborArray{ProtocolVersion}));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
        for (int i = 0; i < 50; ++i) server.onlineDataArrived();
        QTRY_COMPARE_WITH_TIMEOUT(c.events(EventReceiveOnlineData), 50, 5000);
        // The missed refresh, then one running and one merged refresh for the burst.
        QTRY_COMPARE_WITH_TIMEOUT(c.events(EventEndComputing), 3, 20000);
        QTest::qWait(100);
        QCOMPARE(c.events(EventEndComputing), 3);
        QCOMPARE(core.computingState(), 0);
    }

    // A whole track may always go out, and notifications may follow it while it drains; replies
    // that pile up behind it are refused once they pass the bound.
    void outputBoundLetsALargeReplyDrainButNotAPile() {
        const qint64 limit = 1000;
        OutputBound bound(limit);
        QVERIFY(bound.admit(0, 50000, true));        // a track far larger than the limit
        QVERIFY(bound.admit(49000, 12, false));      // a notification while it drains
        QVERIFY(bound.admit(49012, 50000, true));    // the next track, the first still draining
        QVERIFY(!bound.admit(99012, 50000, true));   // a third with two unread: refused
        OutputBound small(limit);
        qint64 unsent = 0;
        int admitted = 0;
        while (small.admit(unsent, 100, true)) {     // small replies never read
            unsent += 100;
            ++admitted;
            QVERIFY(admitted < 1000);
        }
        QVERIFY(unsent > limit && unsent <= limit + 200);
        OutputBound drained(limit);
        QVERIFY(drained.admit(0, 50000, true));
        QVERIFY(drained.admit(0, 10, true));         // read in full: the allowance shrinks again
        QVERIFY(!drained.admit(limit + 11, 10, false));
    }

    // A client the kernel names as another user is closed before anything is read from it; our own
    // user's client is served on the same server.
    void clientOfAnotherUserIsRefused() {
        ServerCore core(database_);
        TrackingServer server(core);
        bool foreign = true;
        server.setPeerUserLookup([&](qintptr fd) -> std::optional<qint64> {
            return foreign ? automation::currentUserId() + 1 : automation::peerUserId(fd);
        });
        const QString name = uniqueName();
        QString error;
        QVERIFY2(server.listen(name, &error), qPrintable(error));
        QString expected;
        QVERIFY(automation::resolveSocketName(name, &expected, &error));
        QCOMPARE(server.socketPath(), expected);

        LoopClient intruder(server.socketPath());
        intruder.send(Message::request(1, QStringLiteral("Hello"), QCborArray{ProtocolVersion}));
        QTRY_COMPARE_WITH_TIMEOUT(intruder.socket().state(), QLocalSocket::UnconnectedState, 5000);
        QVERIFY(intruder.received().isEmpty());
        QCOMPARE(server.clientCount(), 0);

        foreign = false;
        LoopClient own(server.socketPath());
        own.send(Message::request(1, QStringLiteral("Hello"), QCborArray{ProtocolVersion}));
        QTRY_COMPARE_WITH_TIMEOUT(own.received().size(), 1, 5000);
        QVERIFY(!own.received().first().failed());
        QCOMPARE(server.clientCount(), 1);
    }
};

QTEST_GUILESS_MAIN(TestServerCore)
#include "tst_server_core.moc"
