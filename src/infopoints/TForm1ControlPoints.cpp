// Control points of the vehicle of the last computation: read from the server, turned into circle,
// centre and label texts for the map.
#include "app/TForm1.h"

#include "automation/TTelvikaAutomation.h"
#include "infopoints/ControlPointShape.h"

using namespace infopoints;

void TForm1::ShowControlPoints() {
    TTelvikaAutomation* server = data.TrackingServer;
    if (!server || server->ComputingState() == 1) return;

    if (data.ControlPointsOn) {
        // A failure while reading leaves what was filled so far, with the new count already set;
        // it is not shown, and the map still shows the arrays below.
        try {
            server->SetSelectedGroupID(server->ComputedGroupID());
            server->SetSelectedCarID(server->ComputedCarID());
            server->SetControlPointsName(server->CarControlPointsName());
            const int n = server->ControlPointsCount();
            data.ControlPointCount = n;
            data.ControlAreaCoords.resize(n);
            data.ControlPointLabels.resize(n);
            data.ControlCenterCoords.resize(2 * n);
            for (int i = 0; i < n; ++i) {
                server->SetControlPointIndex(i + 1);
                const int radius = server->ControlPointRadius();
                const double lon = server->ControlPointLongitude();
                const double lat = server->ControlPointLatitude();
                data.ControlCenterCoords[2 * i] = coordinateText(lon);
                data.ControlCenterCoords[2 * i + 1] = coordinateText(lat);
                data.ControlPointLabels[i] =
                    controlPointLabel(server->ControlPointName(), server->ControlPointNote());
                data.ControlAreaCoords[i] = circleText(lon, lat, radius);
            }
        } catch (const std::exception&) {
        }
    }
    ShowLayer(4);
}
