#include "analysis/TripReader.h"

#include "automation/TTelvikaAutomation.h"
#include "common/DateText.h"
#include "common/Error.h"
#include "infopoints/ControlPointShape.h"
#include "map/LayerStyles.h"

namespace telvika::analysis {

namespace {

void readHeader(TTelvikaAutomation& server, int tripNumber, TTripHeader& h) {
    const QString groupId = server.ComputedGroupID();
    h.device = server.ComputedCarID();
    h.tripNumber = tripNumber;
    for (int i = 1, n = server.GroupsCount(); i <= n; ++i) {
        server.SetGroupIndex(i);
        if (server.GroupID() == groupId) {
            h.group = server.GroupName();
            break;
        }
    }
    if (groupId.isEmpty()) throw Error(QStringLiteral("Сервер слежения не сообщил, чей рейс рассчитан"));
    server.SetSelectedGroupID(groupId);
    for (int i = 1, n = server.CarsCount(); i <= n; ++i) {
        server.SetCarIndex(i);
        if (server.CarDevice() == h.device) {
            h.vehicleName = server.CarName();
            h.vehicleNumber = server.CarNumber();
            break;
        }
    }
    server.SetTripIndex(tripNumber);
    h.beginText = server.TripBegin();
    h.endText = server.TripEnd();
    h.durationText = server.TripDuration();
}


QVector<TTripEntry> readEntries(TTelvikaAutomation& server, int kind, const TInfoPoints& info) {
    selectEntryList(server, info.query);
    QVector<TTripEntry> entries;
    for (int j = 1, n = server.TripEntriesCount(); j <= n; ++j) {
        server.SetTripEntryIndex(j);
        TTripEntry e;
        e.kind = kind;
        e.kindName = info.name;
        e.query = info.query;
        e.beginText = server.TripEntryBegin();
        e.endText = server.TripEntryEnd();
        e.durationText = server.TripEntryDuration();
        e.begin = parseRegionalDateTime(e.beginText);
        e.end = parseRegionalDateTime(e.endText);
        e.lon = server.TripEntryLongitude();
        e.lat = server.TripEntryLatitude();
        e.label = layers::entryLabel(server, info.query);
        entries.push_back(e);
    }
    return entries;
}

}  // namespace

void selectEntryList(TTelvikaAutomation& server, const QString& query) {
    const qsizetype dash = query.indexOf(QLatin1Char('-'));
    if (dash >= 0) {
        server.SetTripEntriesListTypeName(query.left(dash));
        server.SetTripEntriesListKindName(query.mid(dash + 1));
    } else {
        server.SetTripEntriesListTypeName(query);
    }
}

QVector<TControlPoint> readControlPoints(TTelvikaAutomation& server) {
    server.SetSelectedGroupID(server.ComputedGroupID());
    server.SetSelectedCarID(server.ComputedCarID());
    server.SetControlPointsName(server.CarControlPointsName());
    QVector<TControlPoint> points;
    for (int i = 1, n = server.ControlPointsCount(); i <= n; ++i) {
        server.SetControlPointIndex(i);
        points.push_back({infopoints::controlPointLabel(server.ControlPointName(), server.ControlPointNote()),
                          server.ControlPointLongitude(), server.ControlPointLatitude(), server.ControlPointRadius()});
    }
    return points;
}

TTripRecord readTrip(TTelvikaAutomation& server, int tripNumber, const QVector<TInfoPoints>& kinds, bool withTrack) {
    TTripRecord trip;
    trip.kinds = kinds;
    readHeader(server, tripNumber, trip.header);
    if (withTrack) trip.track = TTrackData(server.TrackCrdsArray());
    for (int i = 0; i < kinds.size(); ++i) {
        const bool stops = i == 1;
        const bool shown = i > 0 && kinds[i].VisibleIcon;
        if (!stops && !kinds[i].VisibleList && !shown) continue;
        const QVector<TTripEntry> entries = readEntries(server, i, kinds[i]);
        if (stops)
            for (const TTripEntry& e : entries) trip.stops.push_back(TStops{e.begin, e.end, e.durationText});
        if (kinds[i].VisibleList || shown) trip.entries += entries;
    }
    return trip;
}

}  // namespace telvika::analysis
