// telvika-server: the tracking server process. Opens the store, seeds the demo fleet into an empty
// store when asked, listens on the per-user local socket and serves until a termination signal or
// an admin request, announcing its closing to every client first.
#include "common/LargePages.h"
#include "app/PrivateData.h"
#include "app/ServerOptions.h"
#include "TTelvikaAutomation.h"
#include "common/Error.h"
#include "common/LocaleSetup.h"
#include "common/OleDate.h"
#include "common/PosixSignalWatcher.h"
#include "SocketLocation.h"
#include "net/InstanceLock.h"
#include "compute/UtcTime.h"
#include "net/ServerCore.h"
#include "net/TrackingServer.h"
#include "seed/DemoSeeder.h"
#include "seed/LiveFeed.h"
#include "store/Store.h"
#include "store/StoreListener.h"
#include "store/StoreLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <memory>

using namespace telvika::server;

namespace {
// Reports a failed start on stderr and, when asked, in a file the starting client reads.
int startFailed(const ServerOptions& options, const QString& message) {
    QTextStream(stderr) << "telvika-server: " << message << Qt::endl;
    if (!options.errorFile.isEmpty()) {
        QFile f(options.errorFile);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(message.toUtf8());
    }
    return 1;
}
}  // namespace

int main(int argc, char* argv[]) {
    telvika::useLargeMemoryPages(argv);
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    ServerOptions options;
    QString error;
    if (!ServerOptions::parse(app.arguments(), &options, &error)) {
        err << error << "\n\n" << ServerOptions::usage();
        return 2;
    }
    if (options.help) {
        QTextStream(stdout) << ServerOptions::usage();
        return 0;
    }
    telvika::applyUserLocale();
    const QString socketName = options.socketName.isEmpty() ? TTelvikaAutomation::defaultServerName() : options.socketName;
    const QString dataFolder = options.dataFolder.isEmpty() ? ServerOptions::defaultDataFolder() : options.dataFolder;
    // --store, else TELVIKA_STORE (how a server that the player starts on demand finds an office
    // store), else the SQLite file of the data folder.
    QString storeLocation = options.store.isEmpty() ? qEnvironmentVariable("TELVIKA_STORE") : options.store;
    if (storeLocation.isEmpty())
        storeLocation = QStringLiteral("sqlite:") + QDir(dataFolder).filePath(QStringLiteral("telvika-server.db"));
    StoreLocation location;
    try {
        location = StoreLocation::parse(storeLocation);
    } catch (const std::exception& e) {
        return startFailed(options, telvika::messageOf(e));
    }
    // The files of an SQLite store are made private; a PostgreSQL store keeps only the demo map here.
    const QString databasePath = location.kind == StoreLocation::Kind::Sqlite ? location.path : QString();

    // One server per socket, decided before the store is touched; the lock lives as long as main.
    QString socketPath;
    InstanceLock instanceLock;
    if (!telvika::automation::resolveSocketName(socketName, &socketPath, &error) ||
        !instanceLock.acquire(telvika::automation::lockFilePath(socketPath), &error) ||
        !PrivateData::secure(dataFolder, databasePath, &error))
        return startFailed(options, error);

    // Installed before the store is seeded: a termination request then waits for the seeding's
    // transaction instead of cutting it.
    telvika::PosixSignalWatcher signalWatcher;
    std::unique_ptr<ServerCore> core;
    std::unique_ptr<LiveFeed> live;
    try {
        core = std::make_unique<ServerCore>(storeLocation);
        if (options.demo && DemoSeeder::available() && core->store().isEmpty()) {
            err << "telvika-server: создаю демонстрационный парк в " << location.display() << Qt::endl;
            try {
                DemoSeeder::seed(core->store(), QDir(dataFolder).filePath(QStringLiteral("demo-town.chart")), utcNow());
                core->store().announce(StoreEvent::FleetChanged);
            } catch (const std::exception&) {
                // Another server of a shared store seeded it first: its fleet serves this one too.
                if (core->store().isEmpty()) throw;
            }
        }
        if (options.liveSeconds > 0) live = std::make_unique<LiveFeed>(core->store());
    } catch (const std::exception& e) {
        return startFailed(options, telvika::messageOf(e));
    }

    TrackingServer server(*core);
    if (!server.listen(socketPath, &error)) return startFailed(options, error);

    // Changes that other servers of a shared store made reach this server's clients too.
    StoreListener listener(storeLocation);
    QObject::connect(&listener, &StoreListener::announced, &server, &TrackingServer::storeAnnounced);
    QObject::connect(&listener, &StoreListener::resumed, &server, &TrackingServer::storeResumed);

    QObject::connect(&signalWatcher, &telvika::PosixSignalWatcher::terminationRequested, &server, &TrackingServer::shutdown);
    QObject::connect(&server, &TrackingServer::stopped, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    QTimer liveTimer;
    if (live) {
        QObject::connect(&liveTimer, &QTimer::timeout, &server, [&] {
            try {
                if (live->tick(utcNow()) > 0) server.onlineDataArrived();
            } catch (const std::exception& e) {
                err << "telvika-server: " << telvika::messageOf(e) << Qt::endl;
            }
        });
        liveTimer.start(options.liveSeconds * 1000);
    }

    const int code = app.exec();
    core->stop();
    return code;
}
