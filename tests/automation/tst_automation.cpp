// The client against a real telvika-server process over a real local socket.
#include "Fixture.h"
#include "ServerClosedError.h"
#include "ServerConnection.h"
#include "ServerProcess.h"
#include "TTelvikaAutomation.h"
#include "common/DateText.h"
#include "common/NumberText.h"
#include "common/Error.h"
#include "common/OleDate.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>
#include <thread>

using namespace telvika;
using namespace telvika::testing;

namespace {
const QString Begin = QStringLiteral("01.03.2026 00:00:00");
const QString End = QStringLiteral("06.03.2026 00:00:00");
}  // namespace

class TestAutomation : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString socket_;
    std::unique_ptr<ServerProcess> server_;

    std::unique_ptr<TTelvikaAutomation> client() {
        auto c = std::make_unique<TTelvikaAutomation>(nullptr, socket_, serverProgram());
        c->SetServerArguments(server_->extraArguments());
        c->SetStartTimeout(15000);
        return c;
    }

    // Asks for device 101 over the fixture period and waits for the end of the computation.
    void computeAndWait(TTelvikaAutomation& c) {
        QSignalSpy ended(&c, &TTelvikaAutomation::OnEndComputing);
        c.StartComputing(QStringLiteral("grp-north"), 101, Begin, End, QStringLiteral("GSM"), 1);
        QVERIFY(ended.wait(15000));
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        writeFixture(fixtureDatabase(dir_->path()));
        socket_ = uniqueSocketName();
        server_ = std::make_unique<ServerProcess>(socket_, dir_->path());
        QVERIFY(server_->start());
    }

    void cleanup() {
        server_.reset();
        // A server started by a client is detached; close it through its socket if one still runs.
        automation::ServerConnection c;
        automation::ServerStart noStart;
        noStart.enabled = false;
        try {
            c.open(socket_, noStart);
            c.call(QStringLiteral("AdminClose"));
        } catch (const Error&) {
        }
    }

    void groupAndVehicleCursors() {
        auto c = client();
        c->Start();
        QCOMPARE(c->GroupsCount(), 2);
        c->SetGroupIndex(2);
        QCOMPARE(c->GroupName(), QStringLiteral("Юг"));
        QCOMPARE(c->GroupID(), QStringLiteral("grp-south"));
        c->SetGroupIndex(1);
        QCOMPARE(c->GroupName(), QStringLiteral("Север"));

        c->SetSelectedGroupID(QStringLiteral("grp-north"));
        QCOMPARE(c->CarsCount(), 2);
        c->SetCarIndex(1);
        QCOMPARE(c->CarName(), QStringLiteral("ГАЗель NEXT"));
        QCOMPARE(c->CarNumber(), QStringLiteral("А123ВС 77"));
        QCOMPARE(c->CarDevice(), 101);
        QCOMPARE(c->CarInfo(), QStringLiteral("хладовоз"));
        // The last position is that of the latest telemetry point (day 3, 11:00).
        QCOMPARE(c->CarLatitude(), 55.75);
        QVERIFY(qAbs(c->CarLongitude() - (37.60 + 60 * 0.0106)) < 1e-9);
        c->SetCarIndex(2);
        QCOMPARE(c->CarDevice(), 102);
        QCOMPARE(c->CarLatitude(), 0.0);  // no telemetry yet

        c->SetSelectedGroupID(QStringLiteral("grp-south"));
        QCOMPARE(c->CarsCount(), 1);
        // The car cursor belongs to the group: after choosing another group it must be written again.
        QVERIFY_THROWS_EXCEPTION(Error, c->CarName());
    }

    void badCursorWritesFailAndKeepTheCursor() {
        auto c = client();
        c->SetGroupIndex(2);
        for (int bad : {0, 3, -1}) {
            try {
                c->SetGroupIndex(bad);
                QFAIL("an index outside 1..2 was accepted");
            } catch (const Error& e) {
                QVERIFY2(e.message().contains(QStringLiteral("вне диапазона")), qPrintable(e.message()));
            }
        }
        QCOMPARE(c->GroupID(), QStringLiteral("grp-south"));
        QVERIFY_THROWS_EXCEPTION(Error, c->SetSelectedGroupID(QStringLiteral("no-such-group")));
        QVERIFY_THROWS_EXCEPTION(Error, c->SetPropertyName(QStringLiteral("Car_Colour")));
        QVERIFY_THROWS_EXCEPTION(Error, c->SetTripIndex(1));  // nothing computed yet
        QVERIFY_THROWS_EXCEPTION(Error, c->StartComputing(QStringLiteral("grp-north"), 101, QStringLiteral("1.3.2026"),
                                                          End, QStringLiteral("GSM"), 1));
        QVERIFY_THROWS_EXCEPTION(Error, c->StartComputing(QStringLiteral("grp-south"), 101, Begin, End,
                                                          QStringLiteral("GSM"), 1));  // device of another group
        // The connection survives the failed calls.
        QCOMPARE(c->GroupsCount(), 2);
    }

    void computationIsSharedByEveryClient() {
        auto a = client();
        auto b = client();
        b->Start();
        QSignalSpy bEnded(b.get(), &TTelvikaAutomation::OnEndComputing);
        a->StartComputing(QStringLiteral("grp-north"), 101, Begin, End, QStringLiteral("GSM"), 1);
        QVERIFY(bEnded.wait(15000));
        QCOMPARE(b->ComputingState(), 0);
        QCOMPARE(b->ComputedGroupID(), QStringLiteral("grp-north"));
        QCOMPARE(b->ComputedCarID(), 101);
        QCOMPARE(b->TripsCount(), 2);

        b->SetSelectedGroupID(b->ComputedGroupID());
        b->SetPropertyName(QStringLiteral("Group_Name"));
        QCOMPARE(b->PropertyValue(), QStringLiteral("Север"));
        b->SetSelectedCarID(b->ComputedCarID());
        b->SetPropertyName(QStringLiteral("Car_Device"));
        QCOMPARE(b->PropertyValue(), QStringLiteral("101"));

        const QDate days[] = {FixtureDay1, FixtureDay3};
        for (int trip = 1; trip <= 2; ++trip) {
            b->SetTripIndex(trip);
            const TDateTime begin = parseRegionalDateTime(b->TripBegin());
            QCOMPARE(oleToDate(begin), days[trip - 1]);
            QVERIFY(parseRegionalDateTime(b->TripEnd()) > begin);
            const int n = b->TrackPointsCount();
            QVERIFY(n >= 2 && n <= 61);
            const QVector<double> track = b->TrackCrdsArray();
            QCOMPARE(track.size(), 5 * n);
            for (int k = 0; k < n; ++k) {
                QCOMPARE(oleToDate(track[5 * k]), days[trip - 1]);
                QCOMPARE(track[5 * k + 2], 55.75);  // latitude
                QVERIFY(k == 0 || track[5 * k] > track[5 * (k - 1)]);
            }
            const QStringList pairs = b->TrackCrdsString().split(QLatin1Char(','));
            QCOMPARE(pairs.size(), n);
            QCOMPARE(pairs.first(), QStringLiteral("%1 55.75").arg(generalTextDot(track[1])));
        }
        // The starting client sees the same result.
        QCOMPARE(a->TripsCount(), 2);
        a->SetTripIndex(2);
        QCOMPARE(a->TripBegin(), b->TripBegin());
    }

    void listingTripsCostsOneRequestPerTrip() {
        auto c = client();
        computeAndWait(*c);
        const int trips = c->TripsCount();
        QCOMPARE(trips, 2);
        const qint64 before = c->RequestCount();
        QStringList rows;
        for (int i = 1; i <= trips; ++i) {
            c->SetTripIndex(i);
            rows << c->TripBegin() + c->TripEnd() + c->TripDuration() + QString::number(c->TrackPointsCount());
        }
        QCOMPARE(c->RequestCount() - before, trips);
        QCOMPARE(rows.size(), 2);
        QVERIFY(rows[0] != rows[1]);
        // A value of another cursor is read from the server, not from the trip's record.
        c->SetSelectedGroupID(QStringLiteral("grp-north"));
        c->SetCarIndex(2);
        QCOMPARE(c->CarName(), QStringLiteral("КамАЗ"));
    }

    void aNewResultIsNeverServedFromOldRecords() {
        auto a = client();
        auto b = client();
        computeAndWait(*a);
        a->SetTripIndex(2);
        const QString oldBegin = a->TripBegin();
        QVERIFY(!oldBegin.isEmpty());
        // Another user computes a vehicle without data: the shared result has no trips any more.
        QSignalSpy aEnded(a.get(), &TTelvikaAutomation::OnEndComputing);
        b->StartComputing(QStringLiteral("grp-north"), 102, Begin, End, QStringLiteral("GSM"), 1);
        QVERIFY(aEnded.wait(15000));
        QCOMPARE(a->ComputedCarID(), 102);
        QCOMPARE(a->TripsCount(), 0);
        QVERIFY_THROWS_EXCEPTION(Error, a->TripBegin());
    }

    void entriesAndControlPoints() {
        auto c = client();
        computeAndWait(*c);
        c->SetTripIndex(1);
        c->SetTripEntriesListTypeName(QStringLiteral("parks"));
        const int parks = c->TripEntriesCount();
        QVERIFY(parks >= 0);
        QVERIFY_THROWS_EXCEPTION(Error, c->SetTripEntryIndex(parks + 1));
        c->SetTripEntriesListTypeName(QStringLiteral("no_such_list"));
        QVERIFY_THROWS_EXCEPTION(Error, c->TripEntriesCount());
        c->SetTripEntriesListTypeName(QStringLiteral("tank"));
        c->SetTripEntriesListKindName(QStringLiteral("num1"));
        QVERIFY(c->TripEntriesCount() >= 0);

        c->SetSelectedGroupID(c->ComputedGroupID());
        c->SetSelectedCarID(c->ComputedCarID());
        QCOMPARE(c->CarControlPointsName(), QStringLiteral("Маршрут 1"));
        c->SetControlPointsName(c->CarControlPointsName());
        QCOMPARE(c->ControlPointsCount(), 2);
        c->SetControlPointIndex(2);
        QCOMPARE(c->ControlPointName(), QStringLiteral("Магазин"));
        QCOMPARE(c->ControlPointNote(), QString());
        QCOMPARE(c->ControlPointLatitude(), 55.76);
        QCOMPARE(c->ControlPointLongitude(), 37.7);
        QCOMPARE(c->ControlPointRadius(), 80);
        c->SetControlPointIndex(1);
        QCOMPARE(c->ControlPointNote(), QStringLiteral("ворота 2"));
        QCOMPARE(c->ControlPointRadius(), 150);
        c->SetControlPointsName(QStringLiteral("Нет такого"));
        QCOMPARE(c->ControlPointsCount(), 0);
        c->SetSelectedCarID(102);
        QCOMPARE(c->CarControlPointsName(), QString());
    }

    void notificationsAreNeverDeliveredInsideACall() {
        auto c = client();
        int delivered = 0;
        connect(c.get(), &TTelvikaAutomation::OnEndComputing, this, [&] { ++delivered; });
        c->StartComputing(QStringLiteral("grp-north"), 101, Begin, End, QStringLiteral("GSM"), 1);
        // Blocking calls until the computation is over: the notice arrives during one of them.
        QDeadlineTimer deadline(15000);
        while (c->ComputingState() != 0 && !deadline.hasExpired()) QThread::msleep(5);
        c->TripsCount();
        QCOMPARE(delivered, 0);
        QTRY_COMPARE_WITH_TIMEOUT(delivered, 1, 5000);
    }

    void onlineDataIsFollowedByExactlyOneEndOfComputing() {
        auto c = client();
        computeAndWait(*c);
        QStringList order;
        connect(c.get(), &TTelvikaAutomation::OnReceiveOnlineData, this, [&] { order << QStringLiteral("202"); });
        connect(c.get(), &TTelvikaAutomation::OnEndComputing, this, [&] { order << QStringLiteral("205"); });
        automation::ServerConnection admin;
        admin.open(socket_, automation::ServerStart{false, {}, {}, 0});
        admin.call(QStringLiteral("AdminOnline"));
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), 2, 10000);
        QTest::qWait(300);  // nothing more follows
        QCOMPARE(order, (QStringList{QStringLiteral("202"), QStringLiteral("205")}));
        // The refreshed result is the same choice again.
        QCOMPARE(c->ComputedCarID(), 101);
        QCOMPARE(c->TripsCount(), 2);
    }

    void shutdownAnnouncesClosing() {
        auto a = client();
        auto b = client();
        a->Start();
        b->Start();
        QSignalSpy aClosed(a.get(), &TTelvikaAutomation::OnCloseServer);
        QSignalSpy bClosed(b.get(), &TTelvikaAutomation::OnCloseServer);
        server_->process().terminate();  // SIGTERM
        QVERIFY(server_->process().waitForFinished(5000));
        QCOMPARE(server_->process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(server_->process().exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(aClosed.count(), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(bClosed.count(), 1, 5000);
        QVERIFY(!a->IsConnected());
    }

    // Another user closes the server. A client that calls before it has read the announcement gets
    // the closing's own failure, and the announcement still arrives.
    void adminCloseAnnouncesClosing() {
        auto a = client();
        a->Start();
        QSignalSpy closed(a.get(), &TTelvikaAutomation::OnCloseServer);
        automation::ServerConnection admin;
        admin.open(socket_, automation::ServerStart{false, {}, {}, 0});
        admin.call(QStringLiteral("AdminClose"));
        QThread::msleep(500);  // the announcement waits unread in a's socket
        QVERIFY_THROWS_EXCEPTION(automation::ServerClosedError, a->GroupsCount());
        QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, 5000);
        QVERIFY(server_->process().waitForFinished(5000));
        QCOMPARE(server_->process().exitCode(), 0);
    }

#ifdef Q_OS_UNIX
    void serverDyingMidCallThrowsAndTheNextCallRestartsIt() {
        auto c = client();
        QCOMPARE(c->GroupsCount(), 2);
        const qint64 pid = server_->pid();
        ::kill(static_cast<pid_t>(pid), SIGSTOP);  // the next call waits for a reply that never comes
        std::thread killer([pid] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            ::kill(static_cast<pid_t>(pid), SIGKILL);
        });
        try {
            c->GroupsCount();
            killer.join();
            QFAIL("a call to a dead server returned");
        } catch (const Error& e) {
            killer.join();
            QVERIFY2(e.message().contains(QStringLiteral("прервано")), qPrintable(e.message()));
        }
        QVERIFY(server_->process().waitForFinished(5000));
        QVERIFY(!c->IsConnected());
        // The next call starts a new server from the same store.
        QCOMPARE(c->GroupsCount(), 2);
        QVERIFY(c->IsConnected());
    }

    void callWithoutReplyTimesOutAndReconnects() {
        auto c = client();
        c->Start();
        c->SetCallTimeout(300);
        const auto pid = static_cast<pid_t>(server_->pid());
        ::kill(pid, SIGSTOP);
        try {
            c->GroupsCount();
            ::kill(pid, SIGCONT);
            QFAIL("a call without a reply returned");
        } catch (const Error& e) {
            ::kill(pid, SIGCONT);
            QVERIFY2(e.message().contains(QStringLiteral("не ответил")), qPrintable(e.message()));
        }
        c->SetCallTimeout(10000);
        QCOMPARE(c->GroupsCount(), 2);
    }
#endif

    void failuresWithoutAServer() {
        server_->stop();
        auto c = client();
        c->SetAutoConnect(false);
        try {
            c->GroupsCount();
            QFAIL("a call without connection succeeded");
        } catch (const Error& e) {
            QCOMPARE(e.message(), QStringLiteral("DefaultInterface is NULL. Component is not connected to Server. You "
                                                 "must call \"Connect\" or \"ConnectTo\" before this operation"));
        }
        c->SetAutoConnect(true);
        c->SetAutoStart(false);
        try {
            c->Start();
            QFAIL("connected to a server that does not run");
        } catch (const Error& e) {
            QVERIFY2(e.message().contains(socket_), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("выключен")), qPrintable(e.message()));
        }
        // A server that cannot open its store says why, and the client passes the reason on.
        {
            QFile broken(dir_->filePath(QStringLiteral("broken/telvika-server.db")));
            QVERIFY(QDir().mkpath(dir_->filePath(QStringLiteral("broken"))));
            QVERIFY(broken.open(QIODevice::WriteOnly));
            broken.write(QByteArray("not a database, not at all\n").repeated(100));
        }
        auto c2 = client();
        c2->SetServerArguments({QStringLiteral("--data"), dir_->filePath(QStringLiteral("broken")), QStringLiteral("--no-demo")});
        try {
            c2->Start();
            QFAIL("a server with a broken store started");
        } catch (const Error& e) {
            QVERIFY2(e.message().contains(QStringLiteral("завершилась")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("telvika-server.db")), qPrintable(e.message()));
        }
        TTelvikaAutomation missing(nullptr, socket_, dir_->filePath(QStringLiteral("no-such-server")));
        try {
            missing.Start();
            QFAIL("started a program that does not exist");
        } catch (const Error& e) {
            QVERIFY2(e.message().contains(QStringLiteral("не найдена")), qPrintable(e.message()));
        }
    }
};

QTEST_GUILESS_MAIN(TestAutomation)
#include "tst_automation.moc"
