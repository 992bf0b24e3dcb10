#include "analysis/TripMapLayers.h"

#include <algorithm>

#include "infopoints/ControlPointShape.h"
#include "map/LayerStyles.h"
#include "mvx/IMVControl.h"

namespace telvika::analysis {

namespace {

mvx::IMapTable* table(mvx::IMVControl& control, const QStringList& fields) {
    mvx::IMapTable* t = control.CreateTable();
    for (const QString& f : fields) {
        const QString type = f == QLatin1String("XCOORD") || f == QLatin1String("YCOORD") ? QStringLiteral("DOUBLE")
                                                                                           : QStringLiteral("TEXT");
        t->AddField(type, f, f);
    }
    return t;
}

}  // namespace

void showTripLayers(mvx::IMVControl& control, const TTripRecord& trip, const QString& trackCoordinates,
                    const QVector<TControlPoint>& controlPoints) {
    const QStringList at{QStringLiteral("XCOORD"), QStringLiteral("YCOORD"), QStringLiteral("style")};
    mvx::IMapTable* areas = table(control, {QStringLiteral("metr"), QStringLiteral("Name")});
    mvx::IMapTable* labels = table(control, at);
    for (const TControlPoint& p : controlPoints) {
        areas->AddRecord();
        areas->SetFieldValue(layers::lineGeometry(infopoints::circleText(p.lon, p.lat, p.radius)), 0);
        areas->SetFieldValue(p.label, 1);
        labels->AddRecord();
        labels->SetFieldValue(p.lon, 0);
        labels->SetFieldValue(p.lat, 1);
        labels->SetFieldValue(layers::controlLabelStyle(p.label), 2);
    }
    control.LoadObjects(layers::controlAreaCommand(), layers::controlAreaStyle(), areas);
    control.LoadObjects(layers::controlOutlineCommand(), layers::controlOutlineStyle(), areas);
    control.LoadObjects(layers::controlCentersCommand(), QString(), labels);

    mvx::IMapTable* track = table(control, {QStringLiteral("metr")});
    track->AddRecord();
    track->SetFieldValue(layers::lineGeometry(trackCoordinates), 0);
    control.LoadObjects(layers::trackBaseCommand(), layers::trackBaseStyle(), track);
    control.LoadObjects(layers::trackLineCommand(), layers::trackLineStyle(), track);

    for (int i = 1; i < trip.kinds.size(); ++i) {
        if (!trip.kinds[i].VisibleIcon) continue;
        mvx::IMapTable* icons = table(control, at + QStringList{QStringLiteral("Name")});
        int j = 0;
        for (const TTripEntry& e : trip.entries) {
            if (e.kind != i) continue;
            icons->AddRecord();
            icons->SetFieldValue(e.lon, 0);
            icons->SetFieldValue(e.lat, 1);
            icons->SetFieldValue(layers::infoPointStyle(layers::infoPointIcon(i, e.label)), 2);
            icons->SetFieldValue(layers::infoPointName(e.label, j++), 3);
        }
        control.LoadObjects(layers::infoPointsCommand(trip.kinds[i].name), QString(), icons);
    }
}

bool trackBounds(const TTrackData& track, double& south, double& west, double& north, double& east) {
    if (track.pointCount() < 1) return false;
    south = north = track.latitude(0);
    west = east = track.longitude(0);
    for (int k = 1; k < track.pointCount(); ++k) {
        south = std::min(south, track.latitude(k));
        north = std::max(north, track.latitude(k));
        west = std::min(west, track.longitude(k));
        east = std::max(east, track.longitude(k));
    }
    return true;
}

}  // namespace telvika::analysis
