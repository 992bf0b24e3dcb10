// The vehicle at a moment of the track: segment, information panel and the stop caption.
#include "app/TForm1.h"

#include <QLabel>

#include "common/Error.h"
#include "common/NumberText.h"
#include "mvx/IMVControl.h"
#include "playback/TrackPosition.h"

using namespace telvika;
using namespace telvika::playback;

namespace {

constexpr double VehicleMarkerSize = 20.0;  // pixels from the vehicle to the tip

const QString StopCaptionCommand = QStringLiteral("name='Остановка';coords=[YCOORD],[XCOORD];style=[style]");
const QString StopCaptionBefore = QStringLiteral("b :0 -20: 'Остановка: ");
const QString StopCaptionAfter =
    QStringLiteral("' 'Arial 204' 10 rgb(0, 0, 255) on rgb(255, 255, 255) center 0 5 1 rgb(0, 0, 0)");

}  // namespace

void TForm1::FindSegment(TDateTime moment) {
    data.CurPointIndex = findSegment(data.TrackData, data.TrackPointCount, moment, data.CurPointIndex);
}

void TForm1::ShowMoment(TDateTime moment) {
    if (usablePointCount(data.TrackData, data.TrackPoints, data.TrackPointCount) < 1) return;
    FindSegment(moment);
    const int i = data.CurPointIndex;
    // The panel shows the values of the segment's first point, not interpolated ones.
    lblSpeed->setText(speedText(data.TrackData.speed(i)));
    lblSpeed->repaint();
    lblDistance->setText(distanceText(data.TrackData.distance(i)));
    lblDistance->repaint();
    const TVehiclePose pose = vehiclePose(data.TrackData, data.TrackPoints, data.TrackPointCount, i, moment);
    BuildMarker(pose.X, pose.Y, pose.angle, VehicleMarkerSize);
    ShowLayer(2);
    TripMomentShown(moment);
}

void TForm1::ShowEndOfTrack() {
    if (usablePointCount(data.TrackData, data.TrackPoints, data.TrackPointCount) < 1) return;
    const TVehiclePose pose = lastPointPose(data.TrackPoints, data.TrackPointCount);
    BuildMarker(pose.X, pose.Y, pose.angle, VehicleMarkerSize);
    ShowLayer(2);
    TripMomentShown(data.TrackData.time(data.TrackData.pointCount() - 1));
}

void TForm1::ShowStopLabel(int stopIndex) {
    mvx::IMapTable* table = data.tblStopLabel;
    if (!table) return;
    while (table->GetRecordCount() > 0) {
        table->MoveFirst();
        table->DeleteRecord();
    }
    if (stopIndex > -1) {
        if (data.CurPointIndex < 0 || data.CurPointIndex >= data.TrackPoints.size() ||
            stopIndex >= data.TripStops.size())
            throw Error(QStringLiteral("Остановка %1 или точка трека %2 вне границ данных рейса")
                            .arg(stopIndex)
                            .arg(data.CurPointIndex));
        const TMapPoint& at = data.TrackPoints[data.CurPointIndex];
        table->AddRecord();
        table->SetFieldValue(QVariant(at.X), 0);
        table->SetFieldValue(QVariant(at.Y), 1);
        table->SetFieldValue(
            QVariant(StopCaptionBefore + data.TripStops[stopIndex].Text + StopCaptionAfter), 2);
    }
    MVCtrl->LoadObjects(StopCaptionCommand, QString(), table);
}
