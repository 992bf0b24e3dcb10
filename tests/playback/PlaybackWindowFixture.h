#pragma once

// A started main window with a trip set up directly in its model: a track of known points, its
// stops, the track bar range and a selected trip row, as track loading leaves them. "Now" and the
// hold after a skipped stop are replaced, so that the clock is driven step by step.

#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <cmath>

#include "common/OleDate.h"
#include "mvx/IMVControl.h"
#include "playback/MarkerGeometry.h"
#include "tests/support/PlayerFixture.h"

struct TPlaybackTrackPoint {
    double seconds;  // after the first point
    double lon;
    double lat;
};

class TPlaybackWindowFixture {
public:
    static constexpr double Second = 1.0 / 86400.0;
    const telvika::TDateTime T0 = 46000.25;  // 2025-12-09 06:00

    TPlayerFixture player{QStringLiteral("playback")};
    std::unique_ptr<TForm1> w;
    telvika::TDateTime now = 45990.5;
    struct Hold {
        int ms;
        bool timerActive;
        int captionRecords;
    };
    QVector<Hold> holds;

    TPlaybackWindowFixture() {
        telvika::setNowSource([this] { return now; });
    }
    ~TPlaybackWindowFixture() {
        w.reset();
        telvika::setNowSource({});
    }

    void start() {
        TPlayerEnvironment env = player.environment();
        env.hold = [this](int ms) {
            holds.push_back({ms, w->Timer1->isActive(), w->data.tblStopLabel->GetRecordCount()});
            now += ms / 1000.0 * Second;  // the wall clock goes on during the hold
        };
        w = player.startedWindow(env);
        w->resize(900, 700);
        // A tick comes only when the test calls it.
        w->Timer1->disconnect(w.get());
    }

    void advance(double wallSeconds) { now += wallSeconds * Second; }

    // What track loading leaves: the track in the model, the bar's range, a selected trip row, Stop.
    void loadTrack(const QVector<TPlaybackTrackPoint>& points, const QVector<TStops>& stops = {},
                   int speed = 60) {
        QVector<double> values;
        TMapPointArray pts;
        for (int k = 0; k < points.size(); ++k) {
            values << T0 + points[k].seconds * Second << points[k].lon << points[k].lat << 1000.0 * k
                   << 10.5 * k;
            pts.push_back({points[k].lon, points[k].lat});
        }
        auto& d = w->data;
        d.TrackData = TTrackData(values);
        d.TrackPoints = pts;
        d.TrackPointCount = int(points.size());
        d.TripStops = stops;
        d.TripStopsCount = int(stops.size());
        d.PlayRefTime = T0;
        d.CurTrip = 1;
        w->cmbSpeed->setEditText(QStringLiteral("%1x").arg(speed));
        d.SpeedFactor = speed;
        w->ListView1->clear();
        auto* row = new QTreeWidgetItem(w->ListView1, {QStringLiteral("1"), QString(), QString(), QString()});
        w->ListView1->setCurrentItem(row);
        w->TrackBar->setRange(0, telvika::trackBarPosition(d.TrackData.time(d.TrackPointCount - 1), T0));
        w->btnStopClick(nullptr);
    }

    // Seconds of track time after t0 of a moment.
    double at(telvika::TDateTime moment) const { return (moment - T0) * 86400.0; }
    double playSeconds() const { return at(w->data.PlayTime); }

    // The overlay the window should hand to the control for a vehicle at (lon, lat) pointing along
    // angle, on the control's current view.
    QVector<QPolygonF> expectedMarker(double lon, double lat, double angle) const {
        int xs = 0, ys = 0;
        w->MVCtrl->GeoToScreen(lat, lon, xs, ys);
        const TMapPointArrays shape = telvika::playback::markerShape(xs, ys, angle, 20.0);
        QVector<QPolygonF> polys;
        for (const TMapPointArray& poly : shape) {
            QPolygonF p;
            for (int k = 0; k < 4; ++k) p << QPointF(telvika::playback::wholePixel(poly[k]));
            polys << p;
        }
        return polys;
    }
    QVector<QPolygonF> overlay() const {
        QVector<QPolygonF> polys;
        for (const mvx::OverlayPolygon& p : w->MVCtrl->Overlay()) polys << p.points;
        return polys;
    }
    // The vehicle's pixel on the current view, read back from the overlay (the outer tip is 20 px
    // ahead of it, the notch 8 px behind).
    QPointF overlayVehicle() const {
        const auto o = w->MVCtrl->Overlay();
        if (o.isEmpty()) return {};
        const QPointF notch = o[0].points[0], tip = o[0].points[2];
        return notch + (tip - notch) * (8.0 / 28.0);
    }
    QPoint pixelOf(double lon, double lat) const {
        int x = 0, y = 0;
        w->MVCtrl->GeoToScreen(lat, lon, x, y);
        return {x, y};
    }
};

// Track seconds derived from the wall clock carry the rounding of day fractions.
#define QCOMPARE_SECONDS(actual, expected) \
    QVERIFY2(std::fabs((actual) - (expected)) < 1e-3, qPrintable(QString::number(actual, 'f', 6)))

inline constexpr double Lon0 = 37.62, Lat0 = 55.75;

// Ten minutes driving east, a point a minute, 0.001 degrees of longitude apart.
inline QVector<TPlaybackTrackPoint> eastTrack(int minutes = 10) {
    QVector<TPlaybackTrackPoint> pts;
    for (int k = 0; k <= minutes; ++k) pts.push_back({60.0 * k, Lon0 + 0.001 * k, Lat0});
    return pts;
}

// What the window tests share: a fresh window per test, the view on the east track, and the
// steps of the clock.
class TPlaybackWindowTest {
protected:
    std::unique_ptr<TPlaybackWindowFixture> f;
    TForm1* w = nullptr;

    void setUp() {
        f = std::make_unique<TPlaybackWindowFixture>();
        f->start();
        w = f->w.get();
        QVERIFY(w->data.tblStopLabel);
        w->MVCtrl->SetCurScale(20000.0);
        w->MVCtrl->SetCenter(Lat0, Lon0 + 0.003);
    }
    void tearDown() {
        QLocale::setDefault(QLocale::c());
        const auto& calls = f->player.dialogs.calls;
        QVERIFY2(calls.isEmpty() || calls.constFirst().kind != QStringLiteral("exception"),
                 qPrintable(calls.isEmpty() ? QString() : calls.constFirst().text));
        w = nullptr;
        f.reset();
    }
    void play() {
        w->btnPlayClick();
        QVERIFY(w->Timer1->isActive());
    }
    void tick(double wallSeconds) {
        f->advance(wallSeconds);
        w->Timer1Timer();
    }
    void setSpeed(const QString& text) {
        w->cmbSpeed->setEditText(text);
        w->cmbSpeedChange();
    }
};
