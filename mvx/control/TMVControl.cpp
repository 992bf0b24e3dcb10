#include "TMVControl.h"

#include "LibraryLocation.h"
#include "ScreenClipper.h"
#include "mvx/MouseAction.h"

#include <QDir>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cmath>

Q_LOGGING_CATEGORY(lcMvxControl, "mvx.control")

namespace mvx {

namespace {

constexpr double MinMercPerPixel = 0.01;
constexpr double MaxMercPerPixel = 200000.0;
constexpr int DragThreshold = 3;  // pixels the pointer may move before a press becomes a drag

int toPixel(double v) {
    if (!std::isfinite(v)) return v < 0 ? INT_MIN : INT_MAX;
    return static_cast<int>(std::clamp(std::round(v), double(INT_MIN), double(INT_MAX)));
}

}  // namespace

TMVControl::TMVControl(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::WheelFocus);
    setMinimumSize(1, 1);
    view_ = MapView(lonLatToMercator(37.62, 55.75), 10.0, QSize(std::max(1, width()), std::max(1, height())));
    SetControlDir(libraryFolder());
    // Called on the worker's thread; the picture is made again on this one.
    renderer_.setTilesReady([this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                sceneValid_ = false;
                update();
            },
            Qt::QueuedConnection);
    });
}

TMVControl::~TMVControl() { renderer_.setTilesReady(nullptr); }  // the worker stops before the widget goes

double TMVControl::dpi() const { return logicalDpiX() > 0 ? logicalDpiX() : 96.0; }

void TMVControl::setView(const MapView& view) {
    if (view == view_) return;
    view_ = view;
    wheelZoomed_ = false;
    overlay_.clear();  // its pixels belong to the old view
    update();
    if (onViewChanged_) onViewChanged_();
}

void TMVControl::SetCenter(double lat, double lon) {
    if (!std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) > 90.0 || std::fabs(lon) > 360.0)
        throw MapError(QStringLiteral("Неверные координаты центра карты: %1, %2").arg(lat).arg(lon));
    viewSetByHost_ = true;
    MapView v = view_;
    v.setCenter(lonLatToMercator(lon, lat));
    setView(v);
}

void TMVControl::GetCenter(double& lat, double& lon) const {
    const QPointF g = mercatorToLonLat(view_.center());
    lat = g.y();
    lon = g.x();
}

void TMVControl::GeoToScreen(double lat, double lon, int& x, int& y) const {
    const QPointF p = view_.geoToScreen(lat, lon);
    x = toPixel(p.x());
    y = toPixel(p.y());
}

void TMVControl::ScreenToGeo(int x, int y, double& lat, double& lon) const {
    const QPointF g = view_.screenToGeo(QPointF(x, y));
    lat = g.y();
    lon = g.x();
}

double TMVControl::CurScale() const { return view_.scaleDenominator(dpi()); }

void TMVControl::SetCurScale(double scale) {
    if (!std::isfinite(scale) || scale <= 0.0) throw MapError(QStringLiteral("Неверный масштаб карты: %1").arg(scale));
    MapView v = view_;
    v.setScaleDenominator(scale, dpi());
    v.setMercatorPerPixel(std::clamp(v.mercatorPerPixel(), MinMercPerPixel, MaxMercPerPixel));
    setView(v);
}

void TMVControl::Redraw() {
    baseValid_ = false;
    sceneValid_ = false;
    update();
}

void TMVControl::SetControlDir(const QString& dir) {
    controlDir_ = QDir::cleanPath(dir);
    icons_.setFolder(QDir(controlDir_).filePath(QStringLiteral("RESOURCES")));
    sceneValid_ = false;
    update();
}

int TMVControl::LoadMap(const QString& fileName, const QString& /*param*/) {
#ifdef MVX_HAVE_CHARTS
    const bool wasEmpty = charts_.isEmpty();
    const int code = charts_.load(fileName);
    if (code == 0) {
        baseValid_ = false;
        sceneValid_ = false;
        update();
        const QRectF extent = charts_.extentMercator();
        if (wasEmpty && !viewSetByHost_ && extent.isValid()) {
            MapView v = view_;
            v.setCenter(extent.center());
            const double fit = std::max(extent.width() / std::max(1, width()), extent.height() / std::max(1, height()));
            if (fit > 0) v.setMercatorPerPixel(std::clamp(fit * 1.05, MinMercPerPixel, MaxMercPerPixel));
            setView(v);
        }
    }
    return code;
#else
    return QFileInfo::exists(fileName) ? 3 : 2;
#endif
}

void TMVControl::CloseMap(const QString& fileName) {
#ifdef MVX_HAVE_CHARTS
    if (charts_.close(fileName)) Redraw();
#else
    Q_UNUSED(fileName);
#endif
}

QStringList TMVControl::LoadedMaps() const {
#ifdef MVX_HAVE_CHARTS
    return charts_.paths();
#else
    return {};
#endif
}

IMapTable* TMVControl::CreateTable() {
    tables_.push_back(std::make_unique<MapTable>());
    return tables_.back().get();
}

int TMVControl::LoadObjects(const QString& command, const QString& style, IMapTable* table) {
    if (!table) throw MapError(QStringLiteral("Таблица объектов не задана"));
    const int n = layer_.load(command, style, *table);
    sceneValid_ = false;
    update();
    return n;
}

QRect TMVControl::overlayBounds(const QVector<OverlayPolygon>& polygons) const {
    QRectF bounds;
    int pen = 0;
    for (const OverlayPolygon& poly : polygons) {
        bounds |= poly.points.boundingRect();
        pen = std::max(pen, poly.penWidth);
    }
    if (bounds.isNull()) return QRect();
    // Pens straddle the outline and the edges are rounded to pixels: widen by the pen and a pixel.
    const double m = pen + 2.0;
    const QRectF widened = bounds.adjusted(-m, -m, m, m) & QRectF(rect());
    return widened.isEmpty() ? QRect() : widened.toAlignedRect();
}

void TMVControl::SetOverlay(const QVector<OverlayPolygon>& polygons) {
    // When the picture under the overlay stays as it is, only the pixels of the old and the new
    // polygons need painting again; a replay tick then costs a small blit instead of a full one.
    // A host's self-draw is clipped to the same pixels, so what it drew before stays in place.
    const bool sceneKept = sceneValid_ && sceneView_ == view_ && scene_.size() == devicePixels(view_.size(), devicePixelRatioF()) &&
                           overlayView_ == view_ && !fullRepaintPending_;
    const QRect old = overlayView_ == view_ ? overlayBounds(overlay_) : QRect();
    overlay_ = polygons;
    overlayView_ = view_;
    if (sceneKept) {
        const QRegion dirty = QRegion(old) | QRegion(overlayBounds(overlay_));
        overlayDirty_ |= dirty;
        onlyOverlayDirty_ = true;
        if (!dirty.isEmpty()) update(dirty);
    } else {
        onlyOverlayDirty_ = false;
        fullRepaintPending_ = true;
        overlayDirty_ = QRegion();
        update();
    }
}

void TMVControl::RepaintNow() {
    if (onlyOverlayDirty_) {
        const QRegion dirty = overlayDirty_;
        if (!dirty.isEmpty()) repaint(dirty);
    } else {
        repaint();
    }
}

QVector<OverlayPolygon> TMVControl::Overlay() const { return overlayView_ == view_ ? overlay_ : QVector<OverlayPolygon>(); }

void TMVControl::paintEvent(QPaintEvent* event) {
    // A paint of the whole widget answers every pending overlay change.
    if ((QRegion(rect()) - event->region()).isEmpty()) {
        onlyOverlayDirty_ = false;
        fullRepaintPending_ = false;
        overlayDirty_ = QRegion();
    } else {
        overlayDirty_ -= event->region();
        if (overlayDirty_.isEmpty()) onlyOverlayDirty_ = false;
    }
    try {
        updateScene();
    } catch (const std::exception& e) {
        qCWarning(lcMvxControl) << "map picture failed:" << e.what();
    }
    QPainter p(this);
    p.drawImage(0, 0, scene_);
    if (overlayView_ == view_ && !overlay_.isEmpty()) {
        p.save();
        p.setRenderHint(QPainter::Antialiasing, false);
        // Host pixels may lie anywhere; the painter only gets what is near the view.
        const QRectF near = QRectF(rect()).adjusted(-64, -64, 64, 64);
        for (const OverlayPolygon& poly : std::as_const(overlay_)) {
            const QPolygonF visible = near.contains(poly.points.boundingRect())
                                          ? poly.points
                                          : ScreenClipper::clipPolygon(poly.points, near);
            if (visible.isEmpty()) continue;
            p.setPen(poly.penColor.isValid() ? QPen(poly.penColor, poly.penWidth) : QPen(Qt::NoPen));
            p.setBrush(poly.brushColor.isValid() ? QBrush(poly.brushColor) : QBrush(Qt::NoBrush));
            p.drawPolygon(visible);
        }
        p.restore();
    }
    if (onSelfDraw_) {
        try {
            onSelfDraw_(p, rect());
        } catch (const std::exception& e) {
            qCWarning(lcMvxControl) << "OnSelfDraw failed:" << e.what();
        }
    }
}

void TMVControl::resizeEvent(QResizeEvent* event) {
    MapView v = view_;
    v.setSize(QSize(std::max(1, event->size().width()), std::max(1, event->size().height())));
    setView(v);
}

bool TMVControl::raiseMouseAction(int action, int message, const QPoint& at) {
    bool handled = false;
    if (!onMouseAction_) return false;
    try {
        onMouseAction_(action, message, at.x(), at.y(), handled);
    } catch (const std::exception& e) {
        qCWarning(lcMvxControl) << "OnMouseAction failed:" << e.what();
    }
    return handled;
}

void TMVControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        leftPressed_ = true;
        dragging_ = false;
        pressPos_ = lastPos_ = event->position().toPoint();
    } else if (event->button() == Qt::RightButton) {
        rightPressed_ = true;
        pressPos_ = event->position().toPoint();
    }
}

void TMVControl::mouseMoveEvent(QMouseEvent* event) {
    if (!leftPressed_) return;
    const QPoint pos = event->position().toPoint();
    if (!dragging_ && (pos - pressPos_).manhattanLength() <= DragThreshold) return;
    if (!dragging_) setCursor(Qt::ClosedHandCursor);
    dragging_ = true;
    const QPoint d = pos - lastPos_;
    lastPos_ = pos;
    if (d.isNull()) return;
    MapView v = view_;
    const double mpp = v.mercatorPerPixel();
    v.setCenter(QPointF(v.center().x() - d.x() * mpp, v.center().y() + d.y() * mpp));
    setView(v);
}

void TMVControl::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && leftPressed_) {
        leftPressed_ = false;
        if (dragging_) {
            dragging_ = false;
            unsetCursor();
            baseValid_ = false;
            sceneValid_ = false;
            update();
            raiseMouseAction(MouseAction::PanFinished, MouseAction::MsgLeftButtonUp, pos);
        } else {
            raiseMouseAction(MouseAction::LeftClick, MouseAction::MsgLeftButtonUp, pressPos_);
        }
    } else if (event->button() == Qt::RightButton && rightPressed_) {
        rightPressed_ = false;
        if ((pos - pressPos_).manhattanLength() <= DragThreshold)
            raiseMouseAction(MouseAction::RightClick, MouseAction::MsgRightButtonUp, pos);
    }
}

void TMVControl::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        raiseMouseAction(MouseAction::LeftDoubleClick, MouseAction::MsgLeftButtonDoubleClick, event->position().toPoint());
}

void TMVControl::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) return;
    const QPointF pos = event->position();
    if (raiseMouseAction(MouseAction::WheelZoom, MouseAction::MsgMouseWheel, pos.toPoint())) return;
    // One notch (120) zooms by the square root of two; the ground under the pointer stays put.
    const QPointF anchor = view_.screenToMerc(pos);
    MapView v = view_;
    const double mpp = wheelMercPerPixel(v.mercatorPerPixel(), delta / 120.0);
    v.setMercatorPerPixel(mpp);
    v.setCenter(QPointF(anchor.x() - (pos.x() - v.size().width() / 2.0) * mpp,
                        anchor.y() + (pos.y() - v.size().height() / 2.0) * mpp));
    // The view's corner on a whole device pixel of the scale's world grid (the ground under the
    // pointer moves by half a device pixel at most), where the tiles of a long line made ahead for
    // this step lie.
    const double ratio = devicePixelRatioF();
    const QPointF corner((v.center().x() / mpp - v.size().width() / 2.0) * ratio,
                         (-v.center().y() / mpp - v.size().height() / 2.0) * ratio);
    const QPointF off(corner.x() - std::round(corner.x()), corner.y() - std::round(corner.y()));
    v.setCenter(QPointF(v.center().x() - off.x() / ratio * mpp, v.center().y() + off.y() / ratio * mpp));
    setView(v);
    wheelZoomed_ = true;
    event->accept();
}

double TMVControl::wheelMercPerPixel(double mercPerPixel, double steps) {
    return std::clamp(mercPerPixel * std::pow(2.0, -steps / 2.0), MinMercPerPixel, MaxMercPerPixel);
}

bool TMVControl::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString name = layer_.nameAt(view_, help->pos(), &placement_);
        if (name.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), name, this);
        }
        return true;
    }
    return QWidget::event(event);
}

}  // namespace mvx
