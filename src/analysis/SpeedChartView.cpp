#include "analysis/SpeedChartView.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

#include "common/NumberText.h"

namespace telvika::analysis {

void TSpeedChartView::reset() {
    axis_.reset(data_.series.span());
    axis_.setPixels(plot().left(), plot().width());
    hasCursor_ = false;
    valid_ = false;
}

void TSpeedChartView::setSize(const QSize& size) {
    const QSize s(std::max(1, size.width()), std::max(1, size.height()));
    if (s == size_) return;
    size_ = s;
    const QRect p = plot();
    axis_.setPixels(p.left(), p.width());
    valid_ = false;
}

QRect TSpeedChartView::cursorPixels() const {
    if (!hasCursor_) return QRect();
    return TSpeedChartPainter::cursorRect(plot(), axis_.xAt(cursor_));
}

QRect TSpeedChartView::moveCursor(TDateTime moment) {
    const QRect before = cursorPixels();
    cursor_ = (moment - data_.series.t0()) * SecondsPerDay;
    hasCursor_ = data_.series.size() > 0 && std::isfinite(cursor_);
    const QRect after = cursorPixels();
    return before == after ? QRect() : before | after;
}

TDateTime TSpeedChartView::momentAt(double x) const {
    return data_.series.t0() + axis_.secondsAt(x) / SecondsPerDay;
}

QString TSpeedChartView::valueAt(double x) const {
    const int k = data_.series.pointAt(axis_.secondsAt(x));
    if (k < 0) return QString();
    return oleToDateTime(momentAt(x)).toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ") +
           speedText(data_.series.speedOf(k));
}

void TSpeedChartView::redraw() {
    const QRect p = plot();
    axis_.setPixels(p.left(), p.width());
    if (picture_.size() != size_) picture_ = QImage(size_, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&picture_);
    TSpeedChartPainter::paint(painter, QRect(QPoint(0, 0), size_), data_, axis_, columns_);
    valid_ = true;
}

void TSpeedChartView::paint(QPainter& painter, const QRect& dirty) {
    if (!valid_) redraw();
    const QRect area = dirty & QRect(QPoint(0, 0), size_);
    painter.drawImage(area.topLeft(), picture_, area);
    if (hasCursor_ && cursorPixels().intersects(area)) {
        painter.save();
        painter.setClipRect(area);
        TSpeedChartPainter::paintCursor(painter, plot(), axis_.xAt(cursor_));
        painter.restore();
    }
}

}  // namespace telvika::analysis
