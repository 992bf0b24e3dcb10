#include "PointPlacement.h"

#include "FontResolver.h"
#include "ObjectLayer.h"
#include "core/Projection.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace mvx {

namespace {

// Point objects this far outside the view may still reach into it.
constexpr double ReachPx = 64.0;

// One place where icons meet: its first icon's pixel, and the pictures there in their order.
struct Place {
    QPointF at;
    std::vector<const MapObject*> icons;
    std::vector<QString> pictures;  // distinct, in the order the icons come
    double size = 0;                // the largest icon
};

QString pictureOf(const MapObject& o) {
    return o.style.resource.toLower() + QLatin1Char('|') + QString::number(o.style.iconIndex);
}

}  // namespace

void PointPlacement::clear() {
    offsets_.clear();
    covered_.clear();
}

QRectF PointPlacement::iconRect(const QPointF& at, const MapObject& object) {
    const double size = object.style.iconSize;
    return QRectF(std::round(at.x() - size / 2.0), std::round(at.y() - size / 2.0), size, size);
}

QRectF PointPlacement::textRect(const QPointF& at, const MapObject& object, const QPaintDevice* device) {
    const ObjectStyle& st = object.style;
    const QFont font = FontResolver::resolve(st.fontFace, st.charset, st.fontSize);
    const QFontMetricsF fm(font, device);
    const QSizeF size(fm.horizontalAdvance(st.text), fm.height());
    return QRectF(at - QPointF(size.width() / 2, size.height() / 2), size);
}

QRectF PointPlacement::captionRect(const QPointF& at, const MapObject& object, const QPaintDevice* device) {
    const ObjectStyle& st = object.style;
    const QFont font = FontResolver::resolve(st.fontFace, st.charset, st.fontSize);
    const QFontMetricsF fm(font, device);
    const QSizeF boxSize(fm.horizontalAdvance(st.text) + 2.0 * st.padding, fm.height() + 2.0 * st.padding);
    const QPointF anchor = at + QPointF(st.offset);
    double left = anchor.x() - boxSize.width() / 2.0;
    if (st.align == u"left") left = anchor.x();
    if (st.align == u"right") left = anchor.x() - boxSize.width();
    // Whole pixels, and for an odd frame width half-pixel lines, keep the frame crisp.
    const double shift = st.frameWidth % 2 ? 0.5 : 0.0;
    return QRectF(std::round(left) + shift, std::round(anchor.y() - boxSize.height() / 2.0) + shift,
                  std::round(boxSize.width()), std::round(boxSize.height()));
}

void PointPlacement::place(const MapView& view, const ObjectLayer& layer, const QPaintDevice* device) {
    clear();
    const QRectF reach = QRectF(QPointF(0, 0), QSizeF(view.size())).adjusted(-ReachPx, -ReachPx, ReachPx, ReachPx);
    std::vector<Place> places;
    QHash<QPair<qint64, qint64>, std::vector<size_t>> placesByCell;  // cells SamePlacePx wide
    auto cellOf = [](double v) { return static_cast<qint64>(std::floor(v / SamePlacePx)); };
    for (const ObjectSet& set : layer.sets()) {
        for (const MapObject& o : set.objects) {
            if (o.merc.isEmpty() || !o.style.isPointStyle()) continue;
            const QPointF at = view.mercToScreen(o.merc.first());
            if (!reach.contains(at)) continue;
            if (o.style.kind == StyleKind::Text) {
                covered_.push_back(textRect(at, o, device));
                continue;
            }
            if (o.style.kind == StyleKind::Box) {
                covered_.push_back(captionRect(at, o, device));
                continue;
            }
            // The place of an icon: one within SamePlacePx, found among the cells round its own.
            const qint64 cx = cellOf(at.x()), cy = cellOf(at.y());
            Place* found = nullptr;
            for (qint64 dx = -1; dx <= 1 && !found; ++dx)
                for (qint64 dy = -1; dy <= 1 && !found; ++dy)
                    for (size_t i : placesByCell.value(qMakePair(cx + dx, cy + dy)))
                        if (std::hypot(places[i].at.x() - at.x(), places[i].at.y() - at.y()) <= SamePlacePx) {
                            found = &places[i];
                            break;
                        }
            if (!found) {
                placesByCell[qMakePair(cx, cy)].push_back(places.size());
                places.push_back(Place{at, {}, {}, 0});
                found = &places.back();
            }
            found->icons.push_back(&o);
            found->size = std::max(found->size, static_cast<double>(o.style.iconSize));
            const QString picture = pictureOf(o);
            if (std::find(found->pictures.begin(), found->pictures.end(), picture) == found->pictures.end())
                found->pictures.push_back(picture);
        }
    }
    for (const Place& place : places) {
        const size_t n = place.pictures.size();
        for (const MapObject* o : place.icons) {
            QPointF shift;
            if (n >= 2) {
                // Side by side for two; for more, on a ring whose neighbours just touch, the first
                // picture at the top and the others following clockwise.
                const auto k = static_cast<size_t>(
                    std::find(place.pictures.begin(), place.pictures.end(), pictureOf(*o)) - place.pictures.begin());
                if (n == 2) {
                    shift = QPointF((k == 0 ? -0.5 : 0.5) * place.size, 0);
                } else {
                    const double radius = place.size / (2.0 * std::sin(M_PI / static_cast<double>(n)));
                    const double angle = -M_PI / 2 + 2 * M_PI * static_cast<double>(k) / static_cast<double>(n);
                    shift = QPointF(radius * std::cos(angle), radius * std::sin(angle));
                }
                offsets_.insert(o, shift);
            }
            covered_.push_back(iconRect(view.mercToScreen(o->merc.first()) + shift, *o));
        }
    }
}

}  // namespace mvx
