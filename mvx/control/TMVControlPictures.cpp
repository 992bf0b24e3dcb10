// The control's pictures: the base map in the screen's device pixels with its labels kept aside,
// and the scene of the base, the labels that no object covers and the object sets over them.
#include "TMVControl.h"

#include <QPainter>
#include <QRegion>

#include <cmath>

namespace mvx {

namespace {

const QColor LandColor(242, 239, 233);

// The whole-pixel shift that turns one view into another, when they differ only by that and it is
// whole device pixels too.
bool pixelShift(const MapView& from, const MapView& to, double ratio, QPoint& shift) {
    if (from.mercatorPerPixel() != to.mercatorPerPixel() || from.size() != to.size()) return false;
    const double dx = (from.center().x() - to.center().x()) / to.mercatorPerPixel();
    const double dy = (to.center().y() - from.center().y()) / to.mercatorPerPixel();
    if (std::fabs(dx - std::round(dx)) > 1e-6 || std::fabs(dy - std::round(dy)) > 1e-6) return false;
    // Compared as doubles first: a jump across the world does not fit an int.
    if (!(std::fabs(dx) < to.size().width() && std::fabs(dy) < to.size().height())) return false;
    shift = QPoint(int(std::round(dx)), int(std::round(dy)));
    return std::fabs(shift.x() * ratio - std::round(shift.x() * ratio)) < 1e-9 &&
           std::fabs(shift.y() * ratio - std::round(shift.y() * ratio)) < 1e-9;
}

QRect scaled(const QRect& r, double ratio) {
    return QRectF(r.x() * ratio, r.y() * ratio, r.width() * ratio, r.height() * ratio).toAlignedRect();
}

}  // namespace

QSize TMVControl::devicePixels(const QSize& size, double ratio) {
    return QSize(std::max(1, static_cast<int>(std::lround(size.width() * ratio))),
                 std::max(1, static_cast<int>(std::lround(size.height() * ratio))));
}

void TMVControl::renderBase(QPainter& painter, const MapView& deviceView, double ratio, bool keepLabels) {
#ifdef MVX_HAVE_CHARTS
    RenderOptions options;
    options.pixelRatio = ratio;
    std::vector<PlacedLabel> placed;
    options.labels = &placed;
    charts_.render(painter, deviceView, options);
    if (!keepLabels) {
        labels_ = std::move(placed);
        return;
    }
    // A strip uncovered by a pan: its labels were placed for the whole view; those that reach into
    // the strip join the kept ones that they do not overlap.
    const QRegion strip = painter.clipRegion();
    for (PlacedLabel& label : placed) {
        const QRect bounds = label.box.boundingRect().toAlignedRect();
        if (!strip.intersects(bounds)) continue;
        bool overlaps = false;
        for (const PlacedLabel& kept : labels_)
            if (kept.box.boundingRect().intersects(label.box.boundingRect())) {
                overlaps = true;
                break;
            }
        if (!overlaps) labels_.push_back(std::move(label));
    }
#else
    Q_UNUSED(ratio);
    Q_UNUSED(keepLabels);
    painter.fillRect(QRect(QPoint(0, 0), deviceView.size()), LandColor);
#endif
}

void TMVControl::updateBase() {
    const double ratio = devicePixelRatioF();
    const QSize pixels = devicePixels(view_.size(), ratio);
    if (baseValid_ && base_.size() == pixels && baseView_ == view_ && baseRatio_ == ratio) return;
    // The base is drawn in device pixels, on the view with pixels that much smaller.
    const MapView device(view_.center(), view_.mercatorPerPixel() / ratio, pixels);
    QPoint shift;
    // While the user drags, the picture is shifted and only the uncovered strips are drawn; labels
    // there are placed for the strip, so the drag's end draws the whole view afresh.
    if (dragging_ && baseValid_ && base_.size() == pixels && baseRatio_ == ratio &&
        pixelShift(baseView_, view_, ratio, shift)) {
        const QPoint deviceShift(static_cast<int>(std::lround(shift.x() * ratio)),
                                 static_cast<int>(std::lround(shift.y() * ratio)));
        QImage shifted(pixels, QImage::Format_ARGB32_Premultiplied);
        QPainter p(&shifted);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(deviceShift, base_);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
#ifdef MVX_HAVE_CHARTS
        for (PlacedLabel& label : labels_) {
            label.topLeft += deviceShift;
            label.box.translate(deviceShift);
        }
#endif
        // Strip by strip: the charts draw into a rectangle straight, and only what reaches it.
        for (const QRect& strip : QRegion(QRect(QPoint(0, 0), pixels)) - QRect(deviceShift, pixels)) {
            p.setClipRect(strip);
            renderBase(p, device, ratio, true);
        }
        p.end();
        base_ = std::move(shifted);
    } else {
        base_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        base_.fill(LandColor);
        QPainter p(&base_);
        renderBase(p, device, ratio, false);
    }
    baseView_ = view_;
    baseRatio_ = ratio;
    baseValid_ = true;
}

void TMVControl::drawLabels(QPainter& painter, const QRect& area) const {
#ifdef MVX_HAVE_CHARTS
    // Labels are in device pixels: drawn one to one, but for those under an object drawn over them.
    const double ratio = baseRatio_;
    std::vector<QRectF> keepFree;
    keepFree.reserve(placement_.covered().size());
    for (const QRectF& r : placement_.covered())
        keepFree.emplace_back(r.x() * ratio, r.y() * ratio, r.width() * ratio, r.height() * ratio);
    painter.save();
    painter.setClipRect(area);
    painter.scale(1.0 / ratio, 1.0 / ratio);
    ChartRenderer::drawLabels(painter, labels_, keepFree);
    painter.restore();
#else
    Q_UNUSED(painter);
    Q_UNUSED(area);
#endif
}

void TMVControl::updateScene() {
    const QSize size = view_.size();
    const double ratio = devicePixelRatioF();
    if (sceneValid_ && scene_.size() == devicePixels(size, ratio) && sceneView_ == view_ && baseRatio_ == ratio) return;
    updateBase();
    icons_.setPixelRatio(ratio);
    QPoint shift;
    if (dragging_ && sceneValid_ && scene_.size() == base_.size() && scene_.devicePixelRatio() == ratio &&
        pixelShift(sceneView_, view_, ratio, shift)) {
        QImage shifted(base_.size(), QImage::Format_ARGB32_Premultiplied);
        shifted.setDevicePixelRatio(ratio);
        placement_.place(view_, layer_, &shifted);
        QPainter p(&shifted);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(shift, scene_);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        const QRegion exposed = QRegion(QRect(QPoint(0, 0), size)) - QRect(shift, size);
        for (const QRect& strip : exposed) {
            p.save();
            p.setClipRect(strip);
            p.drawImage(QRectF(strip), base_, QRectF(scaled(strip, ratio)));
            drawLabels(p, strip);
            renderer_.setPlacement(&placement_);
            renderer_.render(p, view_, layer_, icons_, QRectF(strip));
            p.restore();
        }
        p.end();
        scene_ = std::move(shifted);
    } else {
        scene_ = base_.copy();
        scene_.setDevicePixelRatio(ratio);
        placement_.place(view_, layer_, &scene_);
        QPainter p(&scene_);
        drawLabels(p, QRect(QPoint(0, 0), size));
        renderer_.setPlacement(&placement_);
        // While the user zooms, the worker makes the next steps' scales of long lines ahead.
        const double mpp = view_.mercatorPerPixel();
        renderer_.setBackgroundTiles(wheelZoomed_, {wheelMercPerPixel(mpp, 1.0), wheelMercPerPixel(mpp, -1.0)});
        renderer_.render(p, view_, layer_, icons_);
        renderer_.setBackgroundTiles(false);
    }
    sceneView_ = view_;
    sceneValid_ = true;
}

}  // namespace mvx
