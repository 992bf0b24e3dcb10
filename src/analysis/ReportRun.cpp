// telvika-player-report: the trip's export and report without a window.
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

#include <memory>

#include "analysis/PlaceText.h"
#include "analysis/ReportCommand.h"
#include "analysis/TripExport.h"
#include "analysis/TripMapLayers.h"
#include "analysis/TripReader.h"
#include "analysis/TripReport.h"
#include "app/ui/TImageList.h"
#include "automation/TTelvikaAutomation.h"
#include "common/Error.h"
#include "map/MapControlLoader.h"
#include "map/MapListFile.h"
#include "map/MapLoadMessage.h"
#include "mvx/IMVControl.h"
#include "settings/SettingsFile.h"
#include "PlayerImages.h"

namespace telvika::analysis {

namespace {

QString besideProgram(const QString& name) { return QDir(QCoreApplication::applicationDirPath()).filePath(name); }

// The information-point kinds of the settings file; the default list without one.
QVector<TInfoPoints> readKinds(const QString& path) {
    const TSettingsFile file(path);
    if (!file.exists()) return defaultInfoPointKinds();
    const QDomElement settings = file.open().documentElement().firstChildElement(QStringLiteral("Settings"));
    const TSettingsReader reader(settings);
    QVector<TInfoPoints> kinds;
    for (int i = 1; i <= reader.kindCount(); ++i) kinds.push_back(reader.kind(i));
    return kinds.isEmpty() ? defaultInfoPointKinds() : kinds;
}

QString groupIdOf(TTelvikaAutomation& server, const QString& group) {
    for (int i = 1, n = server.GroupsCount(); i <= n; ++i) {
        server.SetGroupIndex(i);
        if (server.GroupID() == group || server.GroupName() == group) return server.GroupID();
    }
    throw Error(QStringLiteral("Группы «%1» нет на сервере слежения").arg(group));
}

// Starts the computation and waits for the end-of-computing notice of this very request.
void compute(TTelvikaAutomation& server, const TReportCommand& c, const QString& groupId) {
    QEventLoop loop;
    bool ours = false, closed = false;
    QObject::connect(&server, &TTelvikaAutomation::OnEndComputing, &loop, [&] {
        try {
            ours = server.ComputingState() == 0 && server.ComputedGroupID() == groupId &&
                   server.ComputedCarID() == c.device;
        } catch (const Error&) {
            ours = false;
        }
        if (ours) loop.quit();
    });
    QObject::connect(&server, &TTelvikaAutomation::OnCloseServer, &loop, [&] {
        closed = true;
        loop.quit();
    });
    QTimer::singleShot(c.timeoutSeconds * 1000, &loop, &QEventLoop::quit);
    server.StartComputing(groupId, c.device, c.begin, c.end, QStringLiteral("GSM"), 1);
    loop.exec();
    if (closed) throw Error(QStringLiteral("Сервер закрылся до окончания расчёта"));
    if (!ours) throw Error(QStringLiteral("Сервер не сообщил об окончании расчёта за %1 с").arg(c.timeoutSeconds));
}

// A map control of its own with the maps of the list and the trip on them; null without the
// control's library (the report then says the map is missing).
std::unique_ptr<QWidget> mapControl(const TReportCommand& c, QTextStream& err, mvx::IMVControl** control) {
    *control = nullptr;
    try {
        mvx::IMVControl* made = TMapControlLoader::create(QCoreApplication::applicationDirPath(), nullptr);
        std::unique_ptr<QWidget> owner(made->widget());
        owner->resize(800, 600);
        const QDir resources(QDir(made->GetControlDir()).filePath(QStringLiteral("RESOURCES")));
        for (const QString& name : {QStringLiteral("TVAllTS.res"), QStringLiteral("TVIcons.res")})
            if (!QFile::exists(resources.filePath(name))) QFile::copy(besideProgram(name), resources.filePath(name));
        const QString list = c.mapList.isEmpty() ? maplist::filePath(QCoreApplication::applicationDirPath()) : c.mapList;
        for (const QString& path : maplist::readMapPaths(list)) {
            if (path.isEmpty()) continue;
            const int code = made->LoadMap(path, QString());
            if (code != 0 && code != 1) err << QStringLiteral("Карта «%1»: %2").arg(path, MapLoadMessage(code)) << '\n';
        }
        *control = made;
        return owner;
    } catch (const std::exception& e) {
        err << QStringLiteral("Карта не будет нарисована: %1").arg(messageOf(e)) << '\n';
        return nullptr;
    }
}

void writeReport(TTelvikaAutomation& server, const TTripRecord& trip, const TReportCommand& c, QTextStream& err) {
    mvx::IMVControl* control = nullptr;
    const std::unique_ptr<QWidget> owner = mapControl(c, err, &control);
    TReportExtras extras;
    if (control) {
        server.SetTripIndex(c.trip);
        showTripLayers(*control, trip, server.TrackCrdsString(), readControlPoints(server));
        extras.mapLoaded = !control->LoadedMaps().isEmpty();
        double south = 0, west = 0, north = 0, east = 0;
        trackBounds(trip.track, south, west, north, east);
        extras.drawMap = [=](QPainter& p, const QRectF& r) { return control->PrintView(p, r, south, west, north, east); };
    }
    for (const TTripEntry& e : trip.entries) extras.places << placeOf(control, e.lon, e.lat);
    const QVector<QImage> kindImages = resources::kindMenuImages();
    extras.markedKinds.resize(trip.kinds.size());
    extras.kindIcons.resize(trip.kinds.size());
    for (int i = 1; i < trip.kinds.size(); ++i) {
        extras.markedKinds[i] = trip.kinds[i].VisibleIcon;
        extras.kindIcons[i] = kindImages.value(i - 1);
    }
    QString error;
    if (!writeTripReport(trip, extras, c.output, &error)) throw Error(error);
}

}  // namespace

int runReport(const TReportCommand& c, QTextStream& out, QTextStream& err) {
    try {
        const QVector<TInfoPoints> kinds =
            readKinds(c.settings.isEmpty() ? besideProgram(QStringLiteral("TVSettings.xml")) : c.settings);
        TTelvikaAutomation server(nullptr, c.socketName, c.serverProgram);
        if (!c.dataFolder.isEmpty()) server.SetServerArguments({QStringLiteral("--data"), c.dataFolder});
        server.Start();
        const QString groupId = groupIdOf(server, c.group);
        compute(server, c, groupId);
        const int trips = server.TripsCount();
        if (c.trip > trips)
            throw Error(QStringLiteral("Рейса %1 нет: за период найдено рейсов: %2").arg(c.trip).arg(trips));
        const TTripRecord trip = readTrip(server, c.trip, kinds, true);
        if (QFileInfo(c.output).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0) {
            writeReport(server, trip, c, err);
            out << QStringLiteral("Отчёт о рейсе записан: %1").arg(QDir::toNativeSeparators(c.output)) << '\n';
        } else {
            QString error;
            if (!exportTrip(trip, c.output, exportFormatOf(c.output), &error)) throw Error(error);
            out << QStringLiteral("Рейс записан: %1").arg(QDir::toNativeSeparators(c.output)) << '\n';
        }
        return 0;
    } catch (const std::exception& e) {
        err << messageOf(e) << '\n';
        return 1;
    }
}

}  // namespace telvika::analysis
