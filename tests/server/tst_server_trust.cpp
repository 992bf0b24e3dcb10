// The real telvika-server process and what it trusts: one server per socket however many start at
// once, its socket and data kept to its user, and a client that never reads its replies dropped.
#include "../automation/Fixture.h"
#include "../automation/ServerProcess.h"
#include "ServerConnection.h"
#include "TTelvikaAutomation.h"
#include "common/Error.h"
#include "protocol/FrameReader.h"
#include "protocol/Message.h"
#include "protocol/ProtocolConstants.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace telvika;
using namespace telvika::protocol;
using namespace telvika::testing;

namespace {

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

automation::ServerStart noStart() {
    automation::ServerStart s;
    s.enabled = false;
    return s;
}

// A client on a bare descriptor: it writes without ever reading unless told, and sees the server
// close the connection without reading what is queued for it.
class FdClient {
public:
    explicit FdClient(const QString& path) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray native = QFile::encodeName(path);
        std::memcpy(addr.sun_path, native.constData(), qMin<size_t>(native.size(), sizeof(addr.sun_path) - 1));
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    }
    ~FdClient() { ::close(fd_); }
    bool connected() const { return connected_; }

    // Writes as much of `bytes` as the socket takes within `ms`; false once the server is gone.
    bool write(const QByteArray& bytes, int ms = 5000) {
        qsizetype done = 0;
        QDeadlineTimer deadline(ms);
        while (done < bytes.size() && !deadline.hasExpired()) {
            const ssize_t n = ::send(fd_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                done += n;
            } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
                pollfd p{fd_, POLLOUT, 0};
                ::poll(&p, 1, 50);
                if (p.revents & (POLLHUP | POLLERR)) return false;
            } else {
                return false;
            }
        }
        return true;
    }
    // The next message that arrives within `ms`.
    std::optional<Message> next(int ms = 5000) {
        QDeadlineTimer deadline(ms);
        for (;;) {
            QByteArray frame;
            QString error;
            if (reader_.next(&frame, &error) == FrameReader::Status::Frame) {
                Message m;
                if (decodeMessage(frame, &m, &error)) return m;
                return std::nullopt;
            }
            if (deadline.hasExpired()) return std::nullopt;
            pollfd p{fd_, POLLIN, 0};
            ::poll(&p, 1, 50);
            char buffer[65536];
            const ssize_t n = ::recv(fd_, buffer, sizeof(buffer), MSG_DONTWAIT);
            if (n > 0) reader_.append(QByteArray(buffer, n));
            else if (n == 0) return std::nullopt;
        }
    }
    // Waits, without reading, until the server has closed the connection.
    bool closedByServer(int ms) {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            pollfd p{fd_, 0, 0};
            ::poll(&p, 1, 50);
            if (p.revents & (POLLHUP | POLLERR)) return true;
        }
        return false;
    }

private:
    int fd_ = -1;
    bool connected_ = false;
    FrameReader reader_{MaxReplyFrame};
};

}  // namespace

class TestServerTrust : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QStringList serverArguments(const QString& socket) const {
        return {QStringLiteral("--socket"), socket, QStringLiteral("--data"), dir_.path(), QStringLiteral("--no-demo")};
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        writeFixture(fixtureDatabase(dir_.path()));
    }

    // Five servers started together on one socket, twenty times: each time exactly one serves and
    // the others say why they gave way.
    void oneOfFiveStartedAtOnceServes() {
        const QString socket = uniqueSocketName();
        // Each server waits behind a pipe for a line; five lines written at once let them go at the
        // same instant, so that they race for the socket as much as processes can. The test holds
        // the pipe open for reading and writing for the whole round, so that a shell that comes to
        // its read late still finds its line, however busy the machine.
        const QString gate = dir_.filePath(QStringLiteral("gate"));
        QCOMPARE(::mkfifo(QFile::encodeName(gate).constData(), 0600), 0);
        const QString waitThenRun = QStringLiteral("read _ < \"$0\"; exec \"$@\"");
        for (int round = 0; round < 20; ++round) {
            const int pipe = ::open(QFile::encodeName(gate).constData(), O_RDWR | O_CLOEXEC);
            QVERIFY(pipe >= 0);
            auto closePipe = qScopeGuard([pipe] { ::close(pipe); });
            std::vector<std::unique_ptr<QProcess>> servers;
            for (int i = 0; i < 5; ++i) {
                // Each with a store of its own, so that nothing but the socket makes them wait.
                const QString data = dir_.filePath(QStringLiteral("race-%1").arg(i));
                servers.push_back(std::make_unique<QProcess>());
                servers.back()->start(QStringLiteral("/bin/sh"),
                                      QStringList{QStringLiteral("-c"), waitThenRun, gate, serverProgram(),
                                                  QStringLiteral("--socket"), socket, QStringLiteral("--data"), data,
                                                  QStringLiteral("--no-demo")});
            }
            for (auto& s : servers) QVERIFY(s->waitForStarted(5000));
            QCOMPARE(::write(pipe, "\n\n\n\n\n", 5), 5);
            int finished = 0;
            QDeadlineTimer deadline(20000);
            while (finished < 4 && !deadline.hasExpired()) {
                finished = 0;
                for (auto& s : servers) finished += s->state() == QProcess::NotRunning || s->waitForFinished(10) ? 1 : 0;
            }
            QCOMPARE(finished, 4);
            // The losers give way before the winner has opened its store: wait until it answers.
            automation::ServerConnection c;
            QString failure;
            for (QDeadlineTimer answer(20000); !c.isOpen() && !answer.hasExpired(); QThread::msleep(20)) {
                try {
                    c.open(socket, noStart());
                } catch (const Error& e) {
                    failure = e.message();
                }
            }
            QVERIFY2(c.isOpen(), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(failure)));
            QCOMPARE(c.call(QStringLiteral("GroupsCount")).toInteger(), 0);
            QProcess* winner = nullptr;
            for (auto& s : servers) {
                if (s->state() != QProcess::NotRunning) {
                    winner = s.get();
                    continue;
                }
                QCOMPARE(s->exitCode(), 1);
                const QString why = QString::fromUtf8(s->readAllStandardError());
                QVERIFY2(why.contains(QStringLiteral("уже работает")), qPrintable(why));
            }
            QVERIFY(winner);
            c.close();
            winner->terminate();
            QVERIFY(winner->waitForFinished(10000));
            QCOMPARE(winner->exitCode(), 0);
        }
    }

    // The socket and its lock are in the user's private folder, not in the shared temporary one, and
    // the data folder and the store's files are closed to other users once the server runs.
    void socketAndDataAreTheUsersAlone() {
        QTemporaryDir data;
        QVERIFY(data.isValid());
        const QString database = fixtureDatabase(data.path());
        writeFixture(database);
        QVERIFY(QFile::setPermissions(data.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                       QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                       QFile::ExeOther));
        QVERIFY(QFile::setPermissions(database, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                    QFile::ReadOther));
        QCOMPARE(modeOf(data.path()), 0755);
        QCOMPARE(modeOf(database), 0644);

        const QString socket = uniqueSocketName();
        ServerProcess server(socket, data.path());
        QVERIFY(server.start());
        const QString path = socketPathOf(socket);
        QVERIFY(path != socket);
        QVERIFY(QFileInfo(path).exists());
        QVERIFY(QFileInfo::exists(path + QStringLiteral(".lock")));
        QCOMPARE(modeOf(QFileInfo(path).absolutePath()), 0700);
        QVERIFY(!QFileInfo::exists(QDir(QDir::tempPath()).filePath(socket)));
        QCOMPARE(modeOf(data.path()), 0700);
        QCOMPARE(modeOf(database), 0600);

        // Files the server creates later are private too (the store's journal, when it keeps one).
        TTelvikaAutomation c(nullptr, socket);
        c.SetAutoStart(false);
        c.StartComputing(QStringLiteral("grp-north"), 101, QStringLiteral("01.03.2026 00:00:00"),
                         QStringLiteral("06.03.2026 00:00:00"), QStringLiteral("GSM"), 1);
        for (const QString& extra : {QStringLiteral("-wal"), QStringLiteral("-shm")})
            if (QFileInfo::exists(database + extra)) QCOMPARE(modeOf(database + extra), 0600);
    }

    // The server's large arrays come from huge pages where the kernel grants them on request: it
    // runs with glibc's malloc told so, without the caller having to set it.
    void serverAllocatesOnHugePages() {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the sanitizer's allocator is not glibc's");
#endif
        QFile policy(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"));
        if (!policy.open(QIODevice::ReadOnly) || policy.readAll().contains("[never]")) QSKIP("no huge pages here");
        if (qEnvironmentVariable("GLIBC_TUNABLES").contains(QStringLiteral("glibc.malloc.hugetlb")))
            QSKIP("the caller chose already");
        ServerProcess server(uniqueSocketName(), dir_.path());
        QVERIFY(server.start());
        QFile environment(QStringLiteral("/proc/%1/environ").arg(server.pid()));
        QVERIFY(environment.open(QIODevice::ReadOnly));
        QVERIFY(environment.readAll().split('\0').contains("GLIBC_TUNABLES=glibc.malloc.hugetlb=1"));
    }

    // A client that sends requests and never reads is dropped once its unsent replies pass the
    // bound; the server itself and other clients go on.
    void clientThatNeverReadsIsDropped() {
        const QString socket = uniqueSocketName();
        ServerProcess server(socket, dir_.path());
        QVERIFY(server.start());
        FdClient greedy(socketPathOf(socket));
        QVERIFY(greedy.connected());
        QVERIFY(greedy.write(encodeMessageFrame(Message::request(1, QStringLiteral("Hello"), QCborArray{ProtocolVersion}))));
        QVERIFY(greedy.next().has_value());
        QVERIFY(greedy.write(encodeMessageFrame(Message::request(
            2, QStringLiteral("StartComputing"),
            QCborArray{QStringLiteral("grp-north"), 101, QStringLiteral("01.03.2026 00:00:00"),
                       QStringLiteral("06.03.2026 00:00:00"), QStringLiteral("GSM"), 1}))));
        bool ended = false;
        while (std::optional<Message> m = greedy.next(20000)) {
            if (m->kind == Message::Kind::Notification && m->event == EventEndComputing) {
                ended = true;
                break;
            }
        }
        QVERIFY(ended);
        QVERIFY(greedy.write(encodeMessageFrame(Message::request(3, QStringLiteral("SetTripIndex"), QCborArray{1}))));
        const std::optional<Message> trip = greedy.next();
        QVERIFY(trip.has_value() && !trip->failed());

        // Each reply is a whole track (61 points); far more of them than the bound holds.
        qint64 id = 4;
        bool refused = false;
        for (int batch = 0; batch < 40 && !refused; ++batch) {
            QByteArray requests;
            for (int i = 0; i < 1000; ++i)
                requests += encodeMessageFrame(Message::request(id++, QStringLiteral("TrackCrdsArray")));
            refused = !greedy.write(requests);
        }
        QVERIFY(greedy.closedByServer(20000));
        QCOMPARE(server.process().state(), QProcess::Running);
        TTelvikaAutomation good(nullptr, socket);
        good.SetAutoStart(false);
        QCOMPARE(good.GroupsCount(), 2);
    }
};

QTEST_GUILESS_MAIN(TestServerTrust)
#include "tst_server_trust.moc"
