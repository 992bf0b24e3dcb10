#pragma once

// A started main window for the playback figures: real tracking server (empty store), the demo
// town's map, the map control sized as asked, and a long 1 Hz track of the demo town loaded into
// the model as track loading leaves it, drawn as the track layer.

#include <QComboBox>
#include <QDir>
#include <QRandomGenerator>
#include <QSlider>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>

#include "demo/DemoTown.h"
#include "mvx/IMVControl.h"
#include "tests/support/PlayerFixture.h"

class TPlaybackBenchWindow {
public:
    TPlayerFixture player{QStringLiteral("bench-playback")};
    std::unique_ptr<TForm1> w;
    QString error;
    const telvika::TDateTime T0 = 46000.25;

    // False (with error set) when the window, the map or the track could not be set up.
    bool start(QSize mapSize, int trackPoints) {
        w = player.startedWindow();
        if (!w || !w->data.tblTrackLine) return fail(QStringLiteral("the window did not start"));
        const QString chart = QDir(player.appDir.path()).filePath(QStringLiteral("demo-town.chart"));
        if (!telvika::server::demo::writeDemoTownChart(chart, 20091, &error)) return false;
        if (w->MVCtrl->LoadMap(chart, QString()) != 0)
            return fail(QStringLiteral("the demo map did not load"));
        w->MVCtrl->widget()->setFixedSize(mapSize);
        w->resize(w->sizeHint().expandedTo(mapSize + QSize(300, 60)));
        QTest::qWait(50);
        if (w->MVCtrl->widget()->size() != mapSize)
            return fail(QStringLiteral("the map is not %1x%2").arg(mapSize.width()).arg(mapSize.height()));
        loadTrack(trackPoints);
        return true;
    }

private:
    bool fail(const QString& message) {
        error = message;
        return false;
    }

    // A 1 Hz track wandering through the demo town, as the server would deliver it.
    void loadTrack(int points) {
        const QPointF centre = telvika::server::demo::demoTown().center;
        QRandomGenerator rng(42);
        QVector<double> values;
        values.reserve(points * 5);
        TMapPointArray pts;
        pts.reserve(points);
        QString text = QStringLiteral("L E ");
        double lon = centre.x(), lat = centre.y(), dir = 0, dist = 0;
        for (int k = 0; k < points; ++k) {
            dir += (rng.generateDouble() - 0.5) * 0.3;
            const double step = 8.0 + 4.0 * rng.generateDouble();  // metres in a second
            lon = std::clamp(lon + std::cos(dir) * step / 63000.0, centre.x() - 0.03, centre.x() + 0.03);
            lat = std::clamp(lat + std::sin(dir) * step / 111000.0, centre.y() - 0.02, centre.y() + 0.02);
            dist += step;
            values << T0 + k / 86400.0 << lon << lat << dist << step * 3.6;
            pts.push_back({lon, lat});
            if (k) text += QLatin1Char(',');
            text += QString::number(lon, 'f', 6) + QLatin1Char(' ') + QString::number(lat, 'f', 6);
        }
        auto& d = w->data;
        d.TrackData = TTrackData(values);
        d.TrackPoints = pts;
        d.TrackPointCount = points;
        d.CurTrip = 1;
        w->ListView1->clear();
        w->ListView1->setCurrentItem(new QTreeWidgetItem(w->ListView1, {QStringLiteral("1")}));
        w->TrackBar->setRange(0, points - 1);
        w->btnStopClick(nullptr);
        // The track layer as loading draws it.
        d.tblTrackLine->AddRecord();
        d.tblTrackLine->SetFieldValue(text, 0);
        w->MVCtrl->LoadObjects(QStringLiteral("name=nametab2;metrics=[metr]"),
                               QStringLiteral("l rgb(255,0,0) 2"), d.tblTrackLine);
        w->MVCtrl->SetCurScale(20000.0);
        w->MVCtrl->SetCenter(pts[0].Y, pts[0].X);
        w->cmbSpeed->setEditText(QStringLiteral("600x"));
        w->cmbSpeedChange();
    }
};
