// A real telvika-server spoken to over raw sockets: broken clients are answered or dropped alone
// while a well-behaved client goes on working.
#include "../automation/Fixture.h"
#include "../automation/ServerProcess.h"
#include "TTelvikaAutomation.h"
#include "protocol/FrameReader.h"
#include "protocol/Message.h"
#include "protocol/ProtocolConstants.h"

#include <QLocalSocket>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace telvika;
using namespace telvika::protocol;
using namespace telvika::testing;

namespace {

// A bare client: writes bytes, reads whole messages.
class RawClient {
public:
    explicit RawClient(const QString& name) { socket_.connectToServer(socketPathOf(name)); }
    bool connected() { return socket_.state() == QLocalSocket::ConnectedState || socket_.waitForConnected(2000); }
    void write(const QByteArray& bytes) {
        socket_.write(bytes);
        socket_.flush();
    }
    void send(const Message& m) { write(FrameReader::encode(encodeMessage(m))); }
    // The next message, or nothing when the server closed the connection or stayed silent.
    std::optional<Message> next(int ms = 3000) {
        QDeadlineTimer deadline(ms);
        for (;;) {
            QByteArray frame;
            QString error;
            if (reader_.next(&frame, &error) == FrameReader::Status::Frame) {
                Message m;
                if (decodeMessage(frame, &m, &error)) return m;
                return std::nullopt;
            }
            if (socket_.state() != QLocalSocket::ConnectedState || deadline.hasExpired()) return std::nullopt;
            if (socket_.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime()))))
                reader_.append(socket_.readAll());
        }
    }
    bool closedByServer(int ms = 3000) {
        QDeadlineTimer deadline(ms);
        while (socket_.state() == QLocalSocket::ConnectedState && !deadline.hasExpired()) {
            socket_.waitForReadyRead(50);
            socket_.readAll();
        }
        return socket_.state() != QLocalSocket::ConnectedState;
    }
    Message call(qint64 id, const QString& op, const QCborArray& args = {}) {
        send(Message::request(id, op, args));
        std::optional<Message> m = next();
        return m.value_or(Message::errorReply(id, QStringLiteral("нет ответа")));
    }
    void hello() { call(1, QStringLiteral("Hello"), QCborArray{ProtocolVersion}); }

private:
    QLocalSocket socket_;
    FrameReader reader_{MaxReplyFrame};
};

}  // namespace

class TestServerWire : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString socket_ = uniqueSocketName();
    std::unique_ptr<ServerProcess> server_;
    std::unique_ptr<TTelvikaAutomation> good_;

    void goodClientStillWorks() {
        QCOMPARE(good_->GroupsCount(), 2);
        good_->SetGroupIndex(1);
        QCOMPARE(good_->GroupID(), QStringLiteral("grp-north"));
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        writeFixture(fixtureDatabase(dir_.path()));
        server_ = std::make_unique<ServerProcess>(socket_, dir_.path());
        QVERIFY(server_->start());
        good_ = std::make_unique<TTelvikaAutomation>(nullptr, socket_, serverProgram());
        good_->SetAutoStart(false);
        good_->Start();
    }

    void cleanupTestCase() {
        good_.reset();
        server_.reset();
    }

    void brokenStreamsDropOnlyThatClient_data() {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray huge(4, '\0');
        qToBigEndian<quint32>(0x7FFFFFFF, huge.data());
        QTest::newRow("absurd length") << huge;
        QTest::newRow("zero length") << QByteArray(4, '\0');
        QTest::newRow("not CBOR") << FrameReader::encode(QByteArray("\xff\xfe\xfd", 3));
        QTest::newRow("CBOR but not a message") << FrameReader::encode(QCborValue(QStringLiteral("hi")).toCbor());
        QTest::newRow("a reply instead of a request") << FrameReader::encode(encodeMessage(Message::reply(3, 1)));
    }

    void brokenStreamsDropOnlyThatClient() {
        QFETCH(QByteArray, bytes);
        RawClient bad(socket_);
        QVERIFY(bad.connected());
        bad.hello();
        bad.write(bytes);
        QVERIFY(bad.closedByServer());
        goodClientStillWorks();
    }

    void partialFrameKeepsOthersServed() {
        RawClient slow(socket_);
        QVERIFY(slow.connected());
        const QByteArray frame = FrameReader::encode(
            encodeMessage(Message::request(1, QStringLiteral("Hello"), QCborArray{ProtocolVersion})));
        slow.write(frame.left(6));  // half a frame; the server must not wait for the rest
        goodClientStillWorks();
        slow.write(frame.mid(6));
        const std::optional<Message> reply = slow.next();
        QVERIFY(reply.has_value());
        QCOMPARE(reply->id, 1);
        QVERIFY(!reply->failed());
    }

    void badRequestsGetErrorReplies() {
        RawClient c(socket_);
        QVERIFY(c.connected());
        Message m = c.call(5, QStringLiteral("GroupsCount"));
        QVERIFY(m.failed());  // before the greeting
        QVERIFY(m.error.contains(QStringLiteral("Hello")));
        c.hello();
        m = c.call(6, QStringLiteral("NoSuchOperation"));
        QCOMPARE(m.id, 6);
        QVERIFY(m.error.contains(QStringLiteral("NoSuchOperation")));
        m = c.call(7, QStringLiteral("SetTripIndex"), QCborArray{QStringLiteral("один")});
        QVERIFY(m.failed());
        m = c.call(8, QStringLiteral("SetCarIndex"), QCborArray{1});  // no group chosen: empty list
        QVERIFY(m.error.contains(QStringLiteral("вне диапазона")));
        m = c.call(9, QStringLiteral("GroupsCount"), QCborArray{1});
        QVERIFY(m.failed());
        m = c.call(10, QStringLiteral("AdminOnline"), QCborArray{QCborMap{{QStringLiteral("device"), 999}}});
        QVERIFY(m.failed());
        // Still connected and answering.
        m = c.call(11, QStringLiteral("GroupsCount"));
        QCOMPARE(m.result.toInteger(), 2);
        // The reply to a written cursor is the whole record.
        m = c.call(12, QStringLiteral("SetGroupIndex"), QCborArray{2});
        QCOMPARE(m.result.toMap().value(QStringLiteral("GroupName")).toString(), QStringLiteral("Юг"));
        goodClientStillWorks();
    }

    void wrongVersionIsRefused() {
        RawClient c(socket_);
        QVERIFY(c.connected());
        const Message m = c.call(1, QStringLiteral("Hello"), QCborArray{ProtocolVersion + 1});
        QVERIFY(m.failed());
        QVERIFY(m.error.contains(QString::number(ProtocolVersion + 1)));
        QVERIFY(c.closedByServer());
        goodClientStillWorks();
    }

    void randomlyDamagedStreamsNeverStopTheServer() {
        const QList<QByteArray> seeds{
            FrameReader::encode(encodeMessage(Message::request(1, QStringLiteral("Hello"), QCborArray{ProtocolVersion}))) +
                FrameReader::encode(encodeMessage(Message::request(2, QStringLiteral("SetGroupIndex"), QCborArray{1}))),
            FrameReader::encode(encodeMessage(Message::request(1, QStringLiteral("Hello"), QCborArray{ProtocolVersion}))) +
                FrameReader::encode(encodeMessage(Message::request(
                    2, QStringLiteral("StartComputing"),
                    QCborArray{QStringLiteral("grp-north"), 101, QStringLiteral("01.03.2026 00:00:00"),
                               QStringLiteral("06.03.2026 00:00:00"), QStringLiteral("GSM"), 1}))),
        };
        QRandomGenerator rng(7);
        for (int round = 0; round < 60; ++round) {
            QByteArray data = seeds[rng.bounded(seeds.size())];
            for (int e = 0; e < 1 + rng.bounded(6); ++e) {
                const int at = rng.bounded(data.size());
                if (rng.bounded(2)) data[at] = static_cast<char>(rng.bounded(256));
                else data.insert(at, static_cast<char>(rng.bounded(256)));
            }
            RawClient c(socket_);
            QVERIFY(c.connected());
            c.write(data);
            c.next(30);  // whatever comes back, if anything
        }
        QVERIFY(server_->process().state() == QProcess::Running);
        goodClientStillWorks();
    }

    void secondServerOnTheSameSocketGivesWay() {
        QProcess second;
        second.start(serverProgram(), {QStringLiteral("--socket"), socket_, QStringLiteral("--data"), dir_.path(),
                                       QStringLiteral("--no-demo")});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(QString::fromUtf8(second.readAllStandardError()).contains(QStringLiteral("уже работает")));
        goodClientStillWorks();
    }
};

QTEST_GUILESS_MAIN(TestServerWire)
#include "tst_server_wire.moc"
