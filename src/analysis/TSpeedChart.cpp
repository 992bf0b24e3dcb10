#include "analysis/TSpeedChart.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

using namespace telvika::analysis;

namespace {
constexpr double ZoomPerNotch = 1.25;
}

TSpeedChart::TSpeedChart(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setMinimumSize(200, 90);
}

void TSpeedChart::dataChanged() {
    view_.reset();
    update();
}

void TSpeedChart::setMoment(telvika::TDateTime moment) {
    const QRect dirty = view_.moveCursor(moment);
    if (!dirty.isEmpty()) update(dirty);
}

void TSpeedChart::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setFont(font());
    view_.paint(painter, event->rect());
}

void TSpeedChart::resizeEvent(QResizeEvent*) { view_.setSize(size()); }

void TSpeedChart::seekAt(double x) {
    if (view_.data().series.size() == 0) return;
    emit seekRequested(view_.momentAt(x));
}

void TSpeedChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) seekAt(event->position().x());
}

void TSpeedChart::mouseMoveEvent(QMouseEvent* event) {
    emit pointed(view_.valueAt(event->position().x()));
    if (event->buttons() & Qt::LeftButton) seekAt(event->position().x());
}

void TSpeedChart::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    view_.axis().showWhole();
    view_.invalidate();
    update();
}

void TSpeedChart::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0 || view_.data().series.size() == 0) return;
    view_.axis().zoom(event->position().x(), std::pow(ZoomPerNotch, delta / 120.0));
    view_.invalidate();
    update();
    event->accept();
}

void TSpeedChart::leaveEvent(QEvent*) { emit pointed(QString()); }
