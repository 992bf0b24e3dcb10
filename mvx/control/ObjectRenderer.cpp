#include "ObjectRenderer.h"

#include "FontResolver.h"
#include "IconLibrary.h"
#include "LongLineCache.h"
#include "ObjectLayer.h"
#include "PointPlacement.h"
#include "ScreenClipper.h"
#include "core/Projection.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace mvx {

namespace {

// How far outside the view geometry is kept, so that wide pens and boxes are not cut at the edge.
constexpr double ClipMargin = 64.0;

}  // namespace

ObjectRenderer::ObjectRenderer() : longLines_(std::make_unique<LongLineCache>()) {}
ObjectRenderer::~ObjectRenderer() = default;

void ObjectRenderer::setTilesReady(std::function<void()> ready) { longLines_->setReady(std::move(ready)); }

void ObjectRenderer::render(QPainter& painter, const MapView& view, const ObjectLayer& layer, IconLibrary& icons) {
    render(painter, view, layer, icons, QRectF(QPointF(0, 0), QSizeF(view.size())));
}

void ObjectRenderer::render(QPainter& painter, const MapView& view, const ObjectLayer& layer, IconLibrary& icons,
                            const QRectF& area) {
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    // Pixels to keep geometry in, and the same in Mercator metres for a cheap first test.
    const QRectF clip = area.adjusted(-ClipMargin, -ClipMargin, ClipMargin, ClipMargin);
    const QPointF m1 = view.screenToMerc(clip.topLeft()), m2 = view.screenToMerc(clip.bottomRight());
    const QRectF reach = QRectF(m1, m2).normalized();
    // Point objects are cheap and may reach far (a caption's text): they are tested against the
    // whole view and left to the painter's clip.
    const QRectF screenReach =
        QRectF(QPointF(0, 0), QSizeF(view.size())).adjusted(-ClipMargin, -ClipMargin, ClipMargin, ClipMargin);

    // Long lines drawn one after the other go to the cache together, as one picture.
    const QTransform device = painter.deviceTransform();
    const bool cached = lineDetail_ == LineDetail::Cached && device.m12() == 0.0 && device.m21() == 0.0;
    QVector<const MapObject*> longRun;
    std::vector<quint64> longIds;
    auto flushLongRun = [&] {
        if (longRun.isEmpty()) return;
        const LongLineCache::Behind behind{ahead_};
        longLines_->draw(painter, view, longRun, area, backgroundTiles_ ? &behind : nullptr);
        longRun.clear();
    };
    for (const ObjectSet& set : layer.sets()) {
        for (const MapObject& o : set.objects) {
            if (o.merc.isEmpty()) continue;
            if (cached && o.style.kind == StyleKind::Line && o.style.width > 0.0 && o.merc.size() >= LongLinePoints) {
                longRun.append(&o);
                longIds.push_back(o.geometryId);
                continue;
            }
            flushLongRun();
            if (o.style.isPointStyle()) {
                const QPointF at = view.mercToScreen(o.merc.first()) + (placement_ ? placement_->offset(o) : QPointF());
                if (!screenReach.contains(at)) continue;
                switch (o.style.kind) {
                    case StyleKind::Icon: drawIcon(painter, at, o, icons); break;
                    case StyleKind::Text: drawText(painter, at, o); break;
                    default: drawBox(painter, at, o); break;
                }
                continue;
            }
            // A bounding box of zero width or height still intersects when it lies inside.
            const QRectF& b = o.mercBounds;
            if (b.right() < reach.left() || b.left() > reach.right() || b.bottom() < reach.top() || b.top() > reach.bottom())
                continue;
            if (o.style.kind == StyleKind::Line)
                drawLine(painter, view, o, clip);
            else
                drawArea(painter, view, o, clip);
        }
    }
    flushLongRun();
    if (cached) longLines_->keepOnly(longIds);  // what is no longer shown keeps nothing
}

void ObjectRenderer::drawLine(QPainter& p, const MapView& view, const MapObject& o, const QRectF& clip) {
    if (o.style.width <= 0.0) return;
    screen_.resize(o.merc.size());
    const double mpp = view.mercatorPerPixel();
    const double cx = view.center().x(), cy = view.center().y();
    const double hw = view.size().width() / 2.0, hh = view.size().height() / 2.0;
    const QPointF* src = o.merc.constData();
    QPointF* dst = screen_.data();
    for (qsizetype i = 0, n = o.merc.size(); i < n; ++i)
        dst[i] = QPointF((src[i].x() - cx) / mpp + hw, (cy - src[i].y()) / mpp + hh);

    // Bevel joins: round joins cost the stroker an arc at every vertex, which on a dense track is
    // most of the time, and at these widths a bevel looks the same. Points closer than half the
    // pen's width cannot change the stroke visibly, so they are dropped too.
    QPen pen(o.style.color, o.style.width, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin);
    const double minStep = lineDetail_ == LineDetail::AllPoints ? 0.0 : std::max(1.0, o.style.width / 2.0);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    ScreenClipper::clipPolyline(screen_.constData(), static_cast<int>(screen_.size()), clip, minStep,
                                [&](const QVector<QPointF>& run) {
                                    const int n = static_cast<int>(run.size());
                                    if (n == 2 && run[0] == run[1]) {
                                        p.drawPoint(run[0]);
                                        return;
                                    }
                                    for (int start = 0; start < n - 1; start += ChunkPoints - 1)
                                        p.drawPolyline(run.constData() + start, std::min(ChunkPoints, n - start));
                                });
}

void ObjectRenderer::drawArea(QPainter& p, const MapView& view, const MapObject& o, const QRectF& clip) {
    if (o.merc.size() < 3 || o.style.opacity <= 0) return;
    QPolygonF ring;
    ring.reserve(o.merc.size());
    for (const QPointF& m : o.merc) ring.append(view.mercToScreen(m));
    const QPolygonF visible = ScreenClipper::clipPolygon(ring, clip);
    if (visible.isEmpty()) return;
    QColor fill = o.style.color;
    fill.setAlphaF(o.style.opacity / 100.0);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPolygon(visible, Qt::OddEvenFill);
}

void ObjectRenderer::drawIcon(QPainter& p, const QPointF& at, const MapObject& o, IconLibrary& icons) {
    const int size = o.style.iconSize;
    const QImage img = icons.icon(o.style.resource, o.style.iconIndex, size, o.style.color);
    const QPointF topLeft(std::round(at.x() - size / 2.0), std::round(at.y() - size / 2.0));
    if (!img.isNull()) {
        p.drawImage(topLeft, img);
        return;
    }
    // A missing picture still marks the place: a small ring in the style's colour.
    p.setPen(QPen(o.style.color, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(at, 4.0, 4.0);
}

void ObjectRenderer::drawText(QPainter& p, const QPointF& at, const MapObject& o) {
    p.setFont(FontResolver::resolve(o.style.fontFace, o.style.charset, o.style.fontSize));
    p.setPen(o.style.color);
    p.drawText(PointPlacement::textRect(at, o, p.device()), Qt::AlignCenter, o.style.text);
}

void ObjectRenderer::drawBox(QPainter& p, const QPointF& at, const MapObject& o) {
    const ObjectStyle& st = o.style;
    const QFont font = FontResolver::resolve(st.fontFace, st.charset, st.fontSize);
    const QRectF box = PointPlacement::captionRect(at, o, p.device());

    p.setBrush(st.background);
    if (st.frameWidth > 0) {
        QPen frame(st.frameColor, st.frameWidth);
        frame.setJoinStyle(Qt::MiterJoin);
        p.setPen(frame);
    } else {
        p.setPen(Qt::NoPen);
    }
    if (st.radius > 0)
        p.drawRoundedRect(box, st.radius, st.radius);
    else
        p.drawRect(box);
    p.setFont(font);
    p.setPen(st.color);
    p.drawText(box, Qt::AlignCenter, st.text);
}

}  // namespace mvx
