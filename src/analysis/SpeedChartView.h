#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

#include "analysis/SpeedChartPainter.h"

namespace telvika::analysis {

// The speed chart of a widget: the picture of the chart is drawn only when the data, the size or
// the time axis change; moving the cursor repaints only the few columns it leaves and enters.
class TSpeedChartView {
public:
    TSpeedChartData& data() { return data_; }
    const TSpeedChartData& data() const { return data_; }
    TChartTimeAxis& axis() { return axis_; }
    const TChartTimeAxis& axis() const { return axis_; }

    // After the data changed: the whole trip on the axis, no cursor, a new picture.
    void reset();
    // After the axis changed: a new picture.
    void invalidate() { valid_ = false; }
    void setSize(const QSize& size);
    QSize size() const { return size_; }
    QRect plot() const { return TSpeedChartPainter::plotRect(QRect(QPoint(0, 0), size_)); }

    // Puts the cursor at a moment; returns the pixels to repaint (empty when it stays in its column).
    QRect moveCursor(TDateTime moment);
    bool hasCursor() const { return hasCursor_; }
    double cursorSeconds() const { return cursor_; }

    // The moment under a pixel column, within the trip.
    TDateTime momentAt(double x) const;
    // "12:34:56  45,3 км/ч": the time under the pointer and the speed of the point in force then.
    QString valueAt(double x) const;

    // Paints the part `dirty` of the chart (drawing the picture first when needed).
    void paint(QPainter& painter, const QRect& dirty);
    // Draws the chart's picture now (the redraw a change of data, size or zoom costs).
    void redraw();

private:
    QRect cursorPixels() const;

    TSpeedChartData data_;
    TChartTimeAxis axis_;
    QSize size_{1, 1};
    QImage picture_;
    bool valid_ = false;
    bool hasCursor_ = false;
    double cursor_ = 0.0;  // seconds after the first point
    std::vector<TSpeedSeries::Column> columns_;
};

}  // namespace telvika::analysis
