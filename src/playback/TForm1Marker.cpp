// The vehicle marker over the map, the map following it, and the seek by a click on the map.
#include "app/TForm1.h"

#include <QLabel>
#include <QSlider>
#include <QWidget>

#include "common/DateText.h"
#include "mvx/IMVControl.h"
#include "mvx/MouseAction.h"
#include "playback/MapSeek.h"
#include "playback/MarkerGeometry.h"

using namespace telvika;
using namespace telvika::playback;

namespace {

constexpr int ClickAction = mvx::MouseAction::LeftClick;  // 32

// The marker's two polygons as the control paints them: the outer dart outlined in black (2 px)
// and filled white, the inner one red. Points 0..3 in whole pixels; the polygon closes itself.
QVector<mvx::OverlayPolygon> overlayOf(const TMapPointArrays& shape) {
    QVector<mvx::OverlayPolygon> polygons;
    for (int poly = 0; poly < 2 && poly < shape.size(); ++poly) {
        if (shape[poly].size() < 4) continue;
        mvx::OverlayPolygon p;
        for (int k = 0; k < 4; ++k) p.points << QPointF(wholePixel(shape[poly][k]));
        p.penColor = poly == 0 ? QColor(0, 0, 0) : QColor(255, 0, 0);
        p.penWidth = poly == 0 ? 2 : 1;
        p.brushColor = poly == 0 ? QColor(255, 255, 255) : QColor(255, 0, 0);
        polygons << p;
    }
    return polygons;
}

// The marker's polygons for the pose on the control's current view.
TMapPointArrays shapeOnView(const mvx::IMVControl& control, double lon, double lat, double angle,
                            double size) {
    int xs = 0, ys = 0;
    control.GeoToScreen(lat, lon, xs, ys);
    return markerShape(xs, ys, angle, size);
}

}  // namespace

void TForm1::BuildMarker(double x, double y, double angle, double size) {
    if (!MarkerViewWired) {
        MarkerViewWired = true;
        MVCtrl->SetOnViewChanged([this] { guarded([this] { MarkerViewChanged(); }); });
    }
    data.MarkerShape = shapeOnView(*MVCtrl, x, y, angle, size);
    MarkerLon = x;
    MarkerLat = y;
    MarkerAngle = angle;
    MarkerSize = size;
    MarkerPlaced = true;
    // The previous marker goes; the new one is painted with the next picture of the map.
    MVCtrl->SetOverlay({});
}

void TForm1::ShowMarkerLayer() {
    if (data.MarkerShape.isEmpty() || data.MarkerShape[0].isEmpty()) return;
    MVCtrl->SetOverlay(overlayOf(data.MarkerShape));
    MVCtrl->RepaintNow();

    // Following: the view is recentred on the rear notch when it nears an edge (unless the user
    // switched following off in the trip menu).
    if (!FollowVehicle) return;
    const QPoint notch = wholePixel(data.MarkerShape[0][0]);
    double lat = 0, lon = 0;
    MVCtrl->GetCenter(lat, lon);
    QPoint centre;
    MVCtrl->GeoToScreen(lat, lon, centre.rx(), centre.ry());
    const QWidget* view = MVCtrl->widget();
    if (needsFollowing(notch, centre, view->width(), view->height())) {
        MVCtrl->ScreenToGeo(notch.x(), notch.y(), lat, lon);
        MVCtrl->SetCenter(lat, lon);  // the view change rebuilds the marker for the new view
    }
}

void TForm1::MarkerViewChanged() {
    // The control dropped the overlay: its pixels belonged to the old view.
    if (!MarkerPlaced || data.MarkerShape.isEmpty() || data.MarkerShape[0].isEmpty()) return;
    data.MarkerShape = shapeOnView(*MVCtrl, MarkerLon, MarkerLat, MarkerAngle, MarkerSize);
    MVCtrl->SetOverlay(overlayOf(data.MarkerShape));
}

void TForm1::MVCtrlMouseAction(int action, int, int x, int y, bool&) {
    if (action != ClickAction) return;
    double lat = 0, lon = 0;
    MVCtrl->ScreenToGeo(x, y, lat, lon);
    SeekToMapPoint(lon, lat);
}

void TForm1::MVCtrlSelfDraw() {}  // the marker is painted by the control's overlay

void TForm1::SeekToMapPoint(double x, double y) {
    const TMapSeek seek = nearestSegment(data.TrackPoints, data.TrackPointCount, x, y);
    if (!seek.found) return;
    // A failure from here on leaves the display as far as it was updated.
    try {
        const TDateTime moment = seekMoment(data.TrackData.time(seek.segment),
                                            data.TrackData.time(seek.segment + 1), seek.fraction);
        data.PlayTime = moment;
        lblDate->setText(dateLabelText(moment));
        data.TrackBarSeekEnabled = false;
        TrackBar->setValue(trackBarPosition(moment, data.TrackData.element(1)));
        data.TrackBarSeekEnabled = true;
        ShowMoment(moment);
    } catch (...) {
        data.TrackBarSeekEnabled = true;
    }
}
