// The information panel, the vehicle marker handed to the map control's overlay (rebuilt for every
// new view, on the last point at the end of the track), map following and the seek by a click on
// the map, in the real main window against a real tracking server process.
#include <QtTest>

#include <QLabel>

#include "PlaybackWindowFixture.h"
#include "common/DateText.h"

using namespace telvika;

class TestPlaybackMarker : public QObject, TPlaybackWindowTest {
    Q_OBJECT
private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void endOfTrackShowsTheLastPoint() {
        f->loadTrack(eastTrack(3));
        play();
        tick(2);
        QCOMPARE(w->data.CurPointIndex, 1);
        tick(2);  // 240 s: past the last point (180 s)
        QVERIFY(!w->Timer1->isActive());
        QCOMPARE(w->TrackBar->value(), 1);
        QCOMPARE(w->data.PlayRefTime, f->T0);
        // The panel keeps the stopped state; the marker stands on the last point.
        QCOMPARE(w->lblDate->text(), QString());
        QCOMPARE(w->lblSpeed->text(), QStringLiteral("0 км/ч"));
        QCOMPARE(w->lblDistance->text(), QStringLiteral("0 м"));
        QCOMPARE(w->data.CurPointIndex, 0);
        QCOMPARE(f->overlay(), f->expectedMarker(Lon0 + 0.003, Lat0, 0.0));
        // The next Play starts from the first point again.
        play();
        tick(1);
        QCOMPARE_SECONDS(f->playSeconds(), 60.0);
    }

    void stopCaptionAtTheCurrentPoint() {
        const QVector<TStops> stops{{f->T0, f->T0 + 30 * f->Second, QStringLiteral("30 с")}};
        f->loadTrack(eastTrack(), stops);
        w->FindSegment(f->T0 + 90 * f->Second);
        w->ShowStopLabel(0);
        const mvx::ObjectSetInfo set = w->MVCtrl->ObjectSet(QStringLiteral("Остановка"));
        QCOMPARE(set.records.size(), 1);
        QCOMPARE(set.records[0].lonLat[0], QPointF(Lon0 + 0.001, Lat0));
        QVERIFY(set.records[0].style.contains(QStringLiteral("'Остановка: 30 с'")));
        w->ShowStopLabel(-1);
        w->ShowStopLabel(-1);  // on an empty table it still reloads the empty set
        QVERIFY(w->MVCtrl->ObjectSet(QStringLiteral("Остановка")).records.isEmpty());
    }

    void panelInTheUsersLocale() {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        f->loadTrack(eastTrack());
        w->data.TrackData = TTrackData([&] {
            QVector<double> v = w->data.TrackData.values();
            v[3 * 5 + 3] = 1500.6;  // distance and speed of point 3
            v[3 * 5 + 4] = 12.34;
            return v;
        }());
        w->TrackBar->setValue(200);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(w->data.CurPointIndex, 3);
        QCOMPARE(w->lblSpeed->text(), QStringLiteral("12,3 км/ч"));
        QCOMPARE(w->lblDistance->text(), QStringLiteral("1501 м"));
    }

    void markerRebuiltAfterZoomAndPan() {
        f->loadTrack(eastTrack());
        w->TrackBar->setValue(150);
        QCOMPARE(f->overlay(), f->expectedMarker(Lon0 + 0.0025, Lat0, 0.0));
        const QPoint before = f->pixelOf(Lon0 + 0.0025, Lat0);
        w->MVCtrl->SetCurScale(5000.0);  // zoom in
        QVERIFY(f->pixelOf(Lon0 + 0.0025, Lat0) != before);
        QCOMPARE(f->overlay(), f->expectedMarker(Lon0 + 0.0025, Lat0, 0.0));
        w->MVCtrl->SetCenter(Lat0 + 0.0005, Lon0 + 0.002);  // pan
        QCOMPARE(f->overlay(), f->expectedMarker(Lon0 + 0.0025, Lat0, 0.0));
        // The end-of-track marker too is rebuilt from what was last shown.
        play();
        tick(20);
        QVERIFY(!w->Timer1->isActive());
        w->MVCtrl->SetCurScale(10000.0);
        QCOMPARE(f->overlay(), f->expectedMarker(Lon0 + 0.01, Lat0, 0.0));
    }

    void mapFollowsAtTheMargin() {
        f->loadTrack(eastTrack());
        const QWidget* view = w->MVCtrl->widget();
        const int width = view->width();
        QVERIFY(width > 200);
        // The vehicle's rear notch 8 px behind it: put the vehicle where the notch sits exactly at
        // the margin, then one pixel farther.
        double latC = 0, lonC = 0;
        w->MVCtrl->GetCenter(latC, lonC);
        int cx = 0, cy = 0;
        w->MVCtrl->GeoToScreen(latC, lonC, cx, cy);
        const double limit = width / 2.0 - 25;
        const int inside = int(std::floor(cx + limit)) + 8;  // vehicle pixel with the notch inside
        double lat = 0, lon = 0;
        w->MVCtrl->ScreenToGeo(inside, cy, lat, lon);
        w->BuildMarker(lon, lat, 0.0, 20.0);
        w->ShowMarkerLayer();
        w->MVCtrl->GetCenter(lat, lon);
        QCOMPARE(lat, latC);
        QCOMPARE(lon, lonC);

        w->MVCtrl->ScreenToGeo(inside + 1, cy, lat, lon);
        const double vehicleLon = lon, vehicleLat = lat;
        w->BuildMarker(lon, lat, 0.0, 20.0);
        w->ShowMarkerLayer();
        // Recentred on the notch: the notch is now at the centre and the marker was rebuilt there.
        w->MVCtrl->GetCenter(lat, lon);
        QVERIFY(lon != lonC);
        QCOMPARE(f->overlay(), f->expectedMarker(vehicleLon, vehicleLat, 0.0));
        w->MVCtrl->GeoToScreen(lat, lon, cx, cy);
        QVERIFY(std::abs(f->overlay()[0][0].x() - cx) <= 1);
    }

    void mapClickSeeksWithoutRebasingTheClock() {
        f->loadTrack(eastTrack());
        play();
        tick(1);
        QCOMPARE_SECONDS(f->playSeconds(), 60.0);
        // A click just south of the segment from point 4 to point 5 seeks to the foot of the
        // perpendicular from the clicked place: a whole second into that segment.
        const QPoint p = f->pixelOf(Lon0 + 0.0045, Lat0) + QPoint(0, 3);
        double lat = 0, lon = 0;
        w->MVCtrl->ScreenToGeo(p.x(), p.y(), lat, lon);
        const double expected = 240.0 + std::nearbyint((lon - (Lon0 + 0.004)) / 0.001 * 60.0);
        QVERIFY(expected > 240.0 && expected < 300.0);
        bool handled = false;
        w->MVCtrlMouseAction(33, 0, p.x(), p.y(), handled);  // a double click is ignored
        QCOMPARE_SECONDS(f->playSeconds(), 60.0);
        w->MVCtrlMouseAction(32, 0, p.x(), p.y(), handled);
        QVERIFY(!handled);
        QCOMPARE_SECONDS(f->playSeconds(), expected);
        QCOMPARE(w->TrackBar->value(), int(expected));
        QCOMPARE(w->lblDate->text(), dateLabelText(w->data.PlayTime));
        QCOMPARE(w->data.CurPointIndex, 4);
        QVERIFY(w->Timer1->isActive());
        // The clock keeps its base: the next tick carries on from where the replay was.
        tick(1);
        QCOMPARE_SECONDS(f->playSeconds(), 120.0);
    }
};

QTEST_MAIN(TestPlaybackMarker)
#include "tst_playback_marker.moc"
