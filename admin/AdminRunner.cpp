#include "AdminRunner.h"

#include "ServerConnection.h"
#include "TTelvikaAutomation.h"
#include "common/DateText.h"
#include "common/Error.h"
#include "common/NumberText.h"
#include "common/OleDate.h"
#include "compute/UtcTime.h"
#include "seed/DemoSeeder.h"
#include "store/Store.h"

#include <QCborMap>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QStandardPaths>
#include <QTimer>

#ifdef TELVIKA_HAVE_IMPORT
#include "import/TrackImport.h"
#endif

namespace telvika::admin {

using server::Store;

namespace {
QString databaseIn(const QString& folder) { return QDir(folder).filePath(QStringLiteral("telvika-server.db")); }
}  // namespace

QString AdminRunner::dataFolder(const AdminCommand& command) const {
    if (!command.dataFolder.isEmpty()) return command.dataFolder;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).filePath(QStringLiteral("telvika"));
}

QString AdminRunner::socketName(const AdminCommand& command) const {
    return command.socketName.isEmpty() ? TTelvikaAutomation::defaultServerName() : command.socketName;
}

int AdminRunner::run(const AdminCommand& command) {
    try {
        switch (command.action) {
            case AdminCommand::Action::Help: out_ << AdminCommand::usage(); break;
            case AdminCommand::Action::Compute: compute(command); break;
            case AdminCommand::Action::Online: online(command); break;
            case AdminCommand::Action::Close: close(command); break;
            default: runStoreCommand(command); break;
        }
        out_.flush();
        return 0;
    } catch (const std::exception& e) {
        out_.flush();
        err_ << "telvika-admin: " << messageOf(e) << Qt::endl;
        return 1;
    }
}

void AdminRunner::runStoreCommand(const AdminCommand& c) {
    Store store(databaseIn(dataFolder(c)));
    using A = AdminCommand::Action;
    switch (c.action) {
        case A::Groups:
            for (const server::GroupRecord& g : store.groups()) out_ << g.id << '\t' << g.name << '\n';
            return;
        case A::AddGroup:
            store.addGroup({c.groupId, c.name});
            break;
        case A::Vehicles: {
            QVector<server::GroupRecord> groups;
            if (c.groupId.isEmpty()) groups = store.groups();
            else if (auto g = store.group(c.groupId)) groups << *g;
            else throw Error(QStringLiteral("Группы «%1» нет").arg(c.groupId));
            for (const auto& g : groups)
                for (const server::VehicleRecord& v : store.vehicles(g.id))
                    out_ << g.id << '\t' << v.device << '\t' << v.name << '\t' << v.number << '\t' << v.info << '\t'
                         << generalTextDot(v.lat) << '\t' << generalTextDot(v.lon) << '\n';
            return;
        }
        case A::AddVehicle:
            store.addVehicle({c.device, c.groupId, c.name, c.number, c.info, 0.0, 0.0, 0.0});
            break;
        case A::ControlPoints: {
            if (!store.vehicle(c.device)) throw Error(QStringLiteral("Устройства %1 нет").arg(c.device));
            for (const server::ControlPointSet& set : store.controlPointSets(c.device))
                for (const server::ControlPoint& p : set.points)
                    out_ << set.name << '\t' << p.name << '\t' << generalTextDot(p.lat) << '\t' << generalTextDot(p.lon)
                         << '\t' << generalTextDot(p.radiusM) << '\t' << p.note << '\n';
            return;
        }
        case A::AddControlPoint:
            store.addControlPoint(c.device, c.setName, {c.name, c.note, c.lat, c.lon, c.radius});
            break;
        case A::Import: {
#ifdef TELVIKA_HAVE_IMPORT
            if (!store.vehicle(c.device)) throw Error(QStringLiteral("Устройства %1 нет").arg(c.device));
            server::import::TrackZone zone = server::import::TrackZone::local();
            if (!c.zone.isEmpty()) server::import::TrackZone::fromName(c.zone, &zone);  // checked when parsed
            const server::import::ImportResult r = server::import::importTrackFile(c.file, zone);
            if (!r.error.isEmpty()) throw Error(r.error);
            if (r.points.isEmpty()) throw Error(QStringLiteral("В файле «%1» нет пригодных точек").arg(c.file));
            const server::TelemetryAppend added = store.appendTelemetry(c.device, r.points);
            out_ << QStringLiteral("Загружено точек: %1, пропущено: %2, уже были в базе: %3")
                        .arg(added.stored)
                        .arg(r.skipped)
                        .arg(added.alreadyStored)
                 << '\n';
            for (const QString& p : r.problems) out_ << p << '\n';
#else
            throw Error(QStringLiteral("Эта сборка не содержит импорта треков"));
#endif
            break;
        }
        case A::Demo: {
            const QString chart = c.chartPath.isEmpty() ? QDir(dataFolder(c)).filePath(QStringLiteral("demo-town.chart"))
                                                        : c.chartPath;
            const double end = c.until > 0.0 ? server::utcFromLocalOle(c.until) : server::utcNow();
            server::DemoSeeder::seed(store, chart, end, c.days);
            out_ << QStringLiteral("Демонстрационный парк записан; карта: %1").arg(QDir::toNativeSeparators(chart)) << '\n';
            break;
        }
        default:
            return;
    }
    notifyCarsChanged(c);
}

void AdminRunner::notifyCarsChanged(const AdminCommand& c) {
    // Only a server that is already running is told; none is started for this.
    automation::ServerConnection connection;
    automation::ServerStart start;
    start.enabled = false;
    try {
        connection.open(socketName(c), start);
        connection.call(QStringLiteral("AdminCarsListChanged"));
    } catch (const Error&) {
    }
}

void AdminRunner::compute(const AdminCommand& c) {
    TTelvikaAutomation client(nullptr, socketName(c), c.serverProgram);
    QStringList serverArgs;
    if (!c.dataFolder.isEmpty()) serverArgs << QStringLiteral("--data") << c.dataFolder;
    client.SetServerArguments(serverArgs);
    client.Start();
    QEventLoop loop;
    bool ours = false;
    bool closed = false;
    // Other users' computations and online refreshes end with the same notice: wait for the one
    // whose result is this choice.
    QObject::connect(&client, &TTelvikaAutomation::OnEndComputing, &loop, [&] {
        try {
            ours = client.ComputingState() == 0 && client.ComputedGroupID() == c.groupId &&
                   client.ComputedCarID() == c.device;
        } catch (const Error&) {
            ours = false;
        }
        if (ours) loop.quit();
    });
    QObject::connect(&client, &TTelvikaAutomation::OnCloseServer, &loop, [&] {
        closed = true;
        loop.quit();
    });
    QTimer::singleShot(c.timeoutSeconds * 1000, &loop, &QEventLoop::quit);
    client.StartComputing(c.groupId, c.device, c.begin, c.end, QStringLiteral("GSM"), 1);
    // A connection that is idle reads the socket only from the event loop, so wait there.
    loop.exec();
    if (closed) throw Error(QStringLiteral("Сервер закрылся до окончания расчёта"));
    if (!ours) throw Error(QStringLiteral("Сервер не сообщил об окончании расчёта за %1 с").arg(c.timeoutSeconds));
    out_ << "ComputedGroupID\t" << client.ComputedGroupID() << '\n';
    out_ << "ComputedCarID\t" << client.ComputedCarID() << '\n';
    const int trips = client.TripsCount();
    out_ << "TripsCount\t" << trips << '\n';
    for (int i = 1; i <= trips; ++i) {
        client.SetTripIndex(i);
        out_ << i << '\t' << client.TripBegin() << '\t' << client.TripEnd() << '\t' << client.TripDuration() << '\t'
             << client.TrackPointsCount() << '\n';
    }
}

void AdminRunner::online(const AdminCommand& c) {
    automation::ServerConnection connection;
    automation::ServerStart start;
    start.enabled = false;
    connection.open(socketName(c), start);
    QCborArray points;
    if (c.hasPoint) {
        QCborMap p;
        p.insert(QStringLiteral("device"), c.device);
        p.insert(QStringLiteral("time"), c.time != 0.0 ? c.time : oleNow());
        p.insert(QStringLiteral("lat"), c.lat);
        p.insert(QStringLiteral("lon"), c.lon);
        p.insert(QStringLiteral("speed"), c.speed);
        points.append(p);
    }
    connection.call(QStringLiteral("AdminOnline"), points);
    out_ << QStringLiteral("Сервер оповещён о новых данных") << '\n';
}

void AdminRunner::close(const AdminCommand& c) {
    automation::ServerConnection connection;
    automation::ServerStart start;
    start.enabled = false;
    connection.open(socketName(c), start);
    connection.call(QStringLiteral("AdminClose"));
    out_ << QStringLiteral("Сервер закрывается") << '\n';
}

}  // namespace telvika::admin
