#include "analysis/SpeedChartPainter.h"

#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

#include "common/NumberText.h"

namespace telvika::analysis {

namespace {

constexpr int LeftRoom = 40;    // speed labels
constexpr int TopRoom = 6;
constexpr int RightRoom = 8;
constexpr int MarkRow = 16;     // icons of the entries under the plot
constexpr int TimeRow = 16;     // time labels
constexpr int MarkIcon = 12;
constexpr double LabelSpacing = 80.0;  // pixels between time labels at least

const QColor Background(255, 255, 255);
const QColor Frame(160, 160, 160);
const QColor Grid(228, 228, 228);
const QColor StopShade(205, 222, 250);
const QColor Line(0, 90, 200);
const QColor CursorColor(220, 0, 0);
const QColor Text(60, 60, 60);

// Steps of the time scale, in seconds.
constexpr std::array<double, 20> TimeSteps{1,    2,    5,    10,   15,    30,    60,    120,   300,   600,
                                           900,  1800, 3600, 7200, 10800, 21600, 43200, 86400, 172800, 604800};

double timeStep(double secondsPerPixel) {
    for (double s : TimeSteps)
        if (s / secondsPerPixel >= LabelSpacing) return s;
    return TimeSteps.back();
}

}  // namespace

QRect TSpeedChartPainter::plotRect(const QRect& whole) {
    return whole.adjusted(LeftRoom, TopRoom, -RightRoom, -(MarkRow + TimeRow));
}

double TSpeedChartPainter::scaleTop(double maxSpeed) {
    if (!(maxSpeed > 0.0)) return 10.0;
    for (double step : {5.0, 10.0, 20.0, 25.0, 50.0, 100.0, 200.0})
        if (maxSpeed / step <= 5.0) return std::ceil(maxSpeed / step) * step;
    return std::ceil(maxSpeed / 500.0) * 500.0;
}

void TSpeedChartPainter::paint(QPainter& painter, const QRect& whole, const TSpeedChartData& data,
                               const TChartTimeAxis& axis, std::vector<TSpeedSeries::Column>& scratch) {
    const QRect plot = plotRect(whole);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(whole, Background);
    if (plot.width() > 2 && plot.height() > 2) {
        painter.setClipRect(plot);
        for (const auto& [b, e] : data.stops) {
            if (e < axis.from() || b > axis.to()) continue;
            const double x0 = std::max<double>(plot.left(), axis.xAt(b));
            const double x1 = std::min<double>(plot.right() + 1, axis.xAt(e));
            painter.fillRect(QRectF(x0, plot.top(), std::max(1.0, x1 - x0), plot.height()), StopShade);
        }
        painter.setClipping(false);
        const double top = scaleTop(data.series.maxSpeed());
        paintScales(painter, plot, axis, data.series.t0(), top);
        paintSeries(painter, plot, data, axis, top, scratch);
        paintMarks(painter, plot, data, axis);
        painter.setPen(Frame);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(plot.adjusted(0, 0, -1, -1));
    }
    painter.restore();
}

void TSpeedChartPainter::paintScales(QPainter& painter, const QRect& plot, const TChartTimeAxis& axis, TDateTime t0,
                                     double top) {
    QFont font = painter.font();
    font.setPixelSize(10);
    painter.setFont(font);
    // Speeds: five lines of the grid, labelled on the left.
    for (int i = 0; i <= 5; ++i) {
        const double v = top * i / 5.0;
        const double y = plot.bottom() - (plot.height() - 1) * i / 5.0;
        painter.setPen(Grid);
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(Text);
        painter.drawText(QRectF(plot.left() - LeftRoom, y - 7, LeftRoom - 4, 14), Qt::AlignRight | Qt::AlignVCenter,
                         generalText(v));
    }
    // Times: whole steps of the local clock.
    const double perPixel = (axis.to() - axis.from()) / std::max(1.0, axis.width());
    const double step = timeStep(perPixel);
    const double base = t0 * SecondsPerDay;  // local seconds of the day scale
    const bool days = axis.to() - axis.from() > 86400.0 || step >= 86400.0 ||
                      std::floor((base + axis.from()) / 86400.0) != std::floor((base + axis.to()) / 86400.0);
    const QString format = days ? QStringLiteral("dd.MM HH:mm") : step < 60 ? QStringLiteral("HH:mm:ss")
                                                                              : QStringLiteral("HH:mm");
    const double labelTop = plot.bottom() + MarkRow + 1;
    for (double t = std::ceil((base + axis.from()) / step) * step; t <= base + axis.to(); t += step) {
        const double x = axis.xAt(t - base);
        painter.setPen(Grid);
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        painter.setPen(Text);
        const QString label = oleToDateTime(t / SecondsPerDay).toString(format);
        painter.drawText(QRectF(x - LabelSpacing / 2, labelTop, LabelSpacing, TimeRow - 2), Qt::AlignCenter, label);
    }
}

void TSpeedChartPainter::paintSeries(QPainter& painter, const QRect& plot, const TSpeedChartData& data,
                                     const TChartTimeAxis& axis, double top,
                                     std::vector<TSpeedSeries::Column>& scratch) {
    const int width = plot.width();
    // The plot's own columns: the axis may span a wider run while a drag is on, never mind.
    data.series.reduce(axis.from(), axis.to(), width, scratch);
    const double scale = (plot.height() - 1) / top;
    auto yOf = [&](float v) { return plot.bottom() - std::clamp(static_cast<double>(v), 0.0, top) * scale; };
    QVector<QLineF> lines;
    lines.reserve(2 * width);
    bool havePrevious = false;
    QPointF previous;
    for (int c = 0; c < width; ++c) {
        const TSpeedSeries::Column& col = scratch[static_cast<size_t>(c)];
        if (col.empty) continue;
        const double x = plot.left() + c + 0.5;
        if (havePrevious) lines.push_back(QLineF(previous, QPointF(x, yOf(col.first))));
        lines.push_back(QLineF(x, yOf(col.min), x, yOf(col.max)));
        previous = QPointF(x, yOf(col.last));
        havePrevious = true;
    }
    // A lone point still shows.
    if (lines.size() == 1 && lines.front().length() == 0.0) lines.front().setP2(lines.front().p1() + QPointF(1, 0));
    painter.setClipRect(plot);
    painter.setPen(QPen(Line, 1.5));
    painter.drawLines(lines);
    painter.setClipping(false);
}

void TSpeedChartPainter::paintMarks(QPainter& painter, const QRect& plot, const TSpeedChartData& data,
                                    const TChartTimeAxis& axis) {
    const double y = plot.bottom() + 2;
    for (const TChartMark& m : data.marks) {
        if (m.seconds < axis.from() || m.seconds > axis.to()) continue;
        if (m.kind < 0 || m.kind >= data.kindIcons.size() || data.kindIcons[m.kind].isNull()) continue;
        const double x = axis.xAt(m.seconds);
        painter.drawImage(QRectF(x - MarkIcon / 2.0, y, MarkIcon, MarkIcon), data.kindIcons[m.kind]);
    }
}

QRect TSpeedChartPainter::cursorRect(const QRect& plot, double x) {
    return QRect(static_cast<int>(std::floor(x)) - 2, plot.top(), 5, plot.height());
}

void TSpeedChartPainter::paintCursor(QPainter& painter, const QRect& plot, double x) {
    if (x < plot.left() || x > plot.right() + 1) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(CursorColor, 2));
    painter.drawLine(QPointF(std::floor(x) + 0.5, plot.top()), QPointF(std::floor(x) + 0.5, plot.bottom()));
    painter.restore();
}

}  // namespace telvika::analysis
