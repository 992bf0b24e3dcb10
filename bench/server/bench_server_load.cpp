// Many dispatchers at once: 100 clients, each reading the fleet and asking for computations in a
// loop, against one server on SQLite (the baseline) and against two servers sharing one PostgreSQL
// store, 50 clients each. Reported: requests per second over the whole run and the 50th and 99th
// percentile of a request's round trip.
#include "common/LargePages.h"
#include "../../tests/automation/Fixture.h"
#include "../../tests/automation/ServerProcess.h"
#include "../support/BenchStores.h"
#include "common/DateText.h"
#include "protocol/FrameReader.h"
#include "protocol/Message.h"
#include "protocol/ProtocolConstants.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocalSocket>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

using namespace telvika;
using namespace telvika::protocol;
using namespace telvika::testing;

namespace {

constexpr int Clients = 100;
constexpr int Cycles = 40;     // per client
constexpr int ComputeEvery = 8;  // cycles

// One client driven by the event loop: each reply sends its next request.
class LoadClient {
public:
    LoadClient(const QString& socketPath, std::vector<double>* latencies, int* errors, int* done)
        : latencies_(latencies), errors_(errors), done_(done) {
        QObject::connect(&socket_, &QLocalSocket::connected, [this] { send(QStringLiteral("Hello"), {ProtocolVersion}); });
        QObject::connect(&socket_, &QLocalSocket::readyRead, [this] { onReadyRead(); });
        socket_.connectToServer(socketPath);
    }

private:
    void send(const QString& op, const QCborArray& args) {
        clock_.start();
        socket_.write(encodeMessageFrame(Message::request(++id_, op, args)));
    }

    void next() {
        const int cycle = step_ / 6, at = step_ % 6;
        if (cycle >= Cycles) {
            ++*done_;
            return;
        }
        ++step_;
        switch (at) {
            case 0: return send(QStringLiteral("SetSelectedGroupID"), {QStringLiteral("grp-north")});
            case 1: return send(QStringLiteral("CarsCount"), {});
            case 2: return send(QStringLiteral("SetCarIndex"), {1});
            case 3: return send(QStringLiteral("GroupsCount"), {});
            case 4: return send(QStringLiteral("SetGroupIndex"), {1});
            default:
                if (cycle % ComputeEvery == 0)
                    return send(QStringLiteral("StartComputing"),
                                {QStringLiteral("grp-north"), 101,
                                 formatFixedDateTime(oleFromDateAndTime(FixtureDay1, QTime(0, 0))),
                                 formatFixedDateTime(oleFromDateAndTime(FixtureDay3.addDays(1), QTime(0, 0))),
                                 QStringLiteral("GSM"), 1});
                return send(QStringLiteral("TripsCount"), {});
        }
    }

    void onReadyRead() {
        reader_.append(socket_.readAll());
        QByteArray frame;
        QString error;
        while (reader_.next(&frame, &error) == FrameReader::Status::Frame) {
            Message m;
            if (!decodeMessage(frame, &m, &error) || m.kind == Message::Kind::Notification || m.id != id_) continue;
            if (id_ > 1) latencies_->push_back(clock_.nsecsElapsed() / 1e6);
            if (m.failed()) ++*errors_;
            next();
        }
    }

    QLocalSocket socket_;
    FrameReader reader_{MaxReplyFrame};
    QElapsedTimer clock_;
    qint64 id_ = 0;
    int step_ = 0;
    std::vector<double>* latencies_;
    int* errors_;
    int* done_;
};

struct Servers {
    QTemporaryDir dir;
    QString store;
    std::vector<std::unique_ptr<ServerProcess>> processes;
    QStringList sockets;
};

std::unique_ptr<Servers> startServers(const QString& kind, int count, QString* error) {
    auto s = std::make_unique<Servers>();
    s->store = bench::freshStore(kind, s->dir, error);
    if (s->store.isEmpty()) return nullptr;
    writeFixture(s->store);
    for (int i = 0; i < count; ++i) {
        const QString socket = uniqueSocketName();
        s->processes.push_back(std::make_unique<ServerProcess>(
            socket, s->dir.filePath(QStringLiteral("data-%1").arg(i)), QStringList{QStringLiteral("--store"), s->store}));
        if (!s->processes.back()->start()) {
            *error = QStringLiteral("a server did not start");
            return nullptr;
        }
        s->sockets << socketPathOf(socket);
    }
    return s;
}

void serverLoad(benchmark::State& state, const QString& kind, int servers) {
    QString error;
    std::unique_ptr<Servers> s = startServers(kind, servers, &error);
    if (!s) return state.SkipWithError(qPrintable(error));
    std::vector<double> latencies;
    int errors = 0;
    double seconds = 0.0;
    for (auto _ : state) {
        latencies.clear();
        errors = 0;
        int done = 0;
        QElapsedTimer wall;
        wall.start();
        std::vector<std::unique_ptr<LoadClient>> clients;
        for (int i = 0; i < Clients; ++i)
            clients.push_back(std::make_unique<LoadClient>(s->sockets[i % s->sockets.size()], &latencies, &errors, &done));
        const QDeadlineTimer deadline(300000);
        while (done < Clients && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        seconds = wall.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
        if (done < Clients) return state.SkipWithError("the clients did not finish in time");
    }
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) { return latencies.empty() ? 0.0 : latencies[size_t(q * (latencies.size() - 1))]; };
    state.counters["requests_per_s"] = seconds > 0 ? latencies.size() / seconds : 0.0;
    state.counters["p50_ms"] = at(0.50);
    state.counters["p99_ms"] = at(0.99);
    state.counters["errors"] = errors;
    bench::dropStore(s->store);
}

}  // namespace

int main(int argc, char** argv) {
    telvika::useLargeMemoryPages(argv);
    QCoreApplication app(argc, argv);
    benchmark::RegisterBenchmark("BM_ServerLoad100Clients/sqlite_one_server/baseline", serverLoad, QStringLiteral("sqlite"), 1)
        ->Iterations(1)->Repetitions(3)->UseManualTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ServerLoad100Clients/postgresql_two_servers", serverLoad, QStringLiteral("postgresql"), 2)
        ->Iterations(1)->Repetitions(3)->UseManualTime()->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
