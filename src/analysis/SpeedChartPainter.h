#pragma once

#include <QImage>
#include <QRect>
#include <QVector>

#include <utility>
#include <vector>

#include "analysis/ChartTimeAxis.h"
#include "analysis/SpeedSeries.h"

class QPainter;

namespace telvika::analysis {

// An entry marked on the time axis with its kind's icon.
struct TChartMark {
    double seconds = 0.0;  // its begin, after the trip's first point
    int kind = 0;          // position of its kind in the settings' list
};

// What the speed chart shows: speed against time, the stops shaded, entries marked.
struct TSpeedChartData {
    TSpeedSeries series;
    std::vector<std::pair<double, double>> stops;  // begin and end, seconds after the first point
    QVector<TChartMark> marks;
    QVector<QImage> kindIcons;  // by kind position; a null image marks nothing
};

// Draws the chart into a rectangle of any painter (a widget's picture, a PDF page): the plot with
// its speed and time scales, the stops, the speed line reduced to the plot's columns and the row
// of marks under it. Sizes are in the painter's units, taken as screen pixels.
class TSpeedChartPainter {
public:
    // The plot inside the chart's rectangle (room for the scales and the row of marks).
    static QRect plotRect(const QRect& whole);
    // The top of the speed scale for a highest speed: a round number above it (10 for none).
    static double scaleTop(double maxSpeed);

    static void paint(QPainter& painter, const QRect& whole, const TSpeedChartData& data,
                      const TChartTimeAxis& axis, std::vector<TSpeedSeries::Column>& scratch);
    // The cursor at pixel column x of the plot, and the pixels it covers.
    static void paintCursor(QPainter& painter, const QRect& plot, double x);
    static QRect cursorRect(const QRect& plot, double x);

private:
    static void paintScales(QPainter& painter, const QRect& plot, const TChartTimeAxis& axis, TDateTime t0,
                            double top);
    static void paintSeries(QPainter& painter, const QRect& plot, const TSpeedChartData& data,
                            const TChartTimeAxis& axis, double top, std::vector<TSpeedSeries::Column>& scratch);
    static void paintMarks(QPainter& painter, const QRect& plot, const TSpeedChartData& data,
                           const TChartTimeAxis& axis);
};

}  // namespace telvika::analysis
