#include "chart/CoverageFiller.h"

#include <algorithm>
#include <cmath>

namespace mvx {

namespace {

// Each 8-bit channel of a 32-bit pixel times a / 255, rounded.
inline quint32 byteMul(quint32 x, quint32 a) {
    quint32 t = (x & 0xff00ffu) * a;
    t = ((t + ((t >> 8) & 0xff00ffu) + 0x800080u) >> 8) & 0xff00ffu;
    x = ((x >> 8) & 0xff00ffu) * a;
    x = (x + ((x >> 8) & 0xff00ffu) + 0x800080u) & 0xff00ff00u;
    return x | t;
}

// Twice the signed area of a ring.
double doubleArea(const std::vector<QPointF>& ring) {
    double sum = 0;
    for (size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++)
        sum += ring[j].x() * ring[i].y() - ring[i].x() * ring[j].y();
    return sum;
}

}  // namespace

CoverageFiller::CoverageFiller(QImage& target, QPoint origin, QRect clip)
    : target_(target), origin_(origin), clip_(clip.intersected(target.rect())) {}

bool CoverageFiller::supports(const QImage& image) {
    return image.format() == QImage::Format_ARGB32_Premultiplied || image.format() == QImage::Format_RGB32;
}

bool CoverageFiller::takeRing(const QPointF* points, int count) {
    ring_.clear();
    if (count < 3) return false;
    for (int i = 0; i < count; ++i) {
        const QPointF p = points[i] + QPointF(origin_);
        if (!std::isfinite(p.x()) || !std::isfinite(p.y())) return false;
        // Repeated points (and the closing copy of the first) add no edge.
        if (!ring_.empty() && std::abs(p.x() - ring_.back().x()) < 1e-9 && std::abs(p.y() - ring_.back().y()) < 1e-9)
            continue;
        ring_.push_back(p);
    }
    while (ring_.size() > 1 && std::abs(ring_.front().x() - ring_.back().x()) < 1e-9 &&
           std::abs(ring_.front().y() - ring_.back().y()) < 1e-9)
        ring_.pop_back();
    return ring_.size() >= 3;
}

bool CoverageFiller::placeBox(const std::vector<QPointF>& ring) {
    double x0 = ring[0].x(), x1 = x0, y0 = ring[0].y(), y1 = y0;
    for (const QPointF& p : ring) {
        x0 = std::min(x0, p.x());
        x1 = std::max(x1, p.x());
        y0 = std::min(y0, p.y());
        y1 = std::max(y1, p.y());
    }
    if (x1 - x0 > MaxSide || y1 - y0 > MaxSide || (x1 - x0 + 2) * (y1 - y0 + 2) > MaxPixels) return false;
    const QRect bounds(QPoint(static_cast<int>(std::floor(x0)), static_cast<int>(std::floor(y0))),
                       QPoint(static_cast<int>(std::ceil(x1)), static_cast<int>(std::ceil(y1))));
    box_ = bounds.intersected(clip_);
    return true;
}

void CoverageFiller::accumulate(const std::vector<QPointF>& ring, std::vector<float>& deltas) {
    deltas.assign(static_cast<size_t>(box_.width() + 2) * static_cast<size_t>(box_.height()), 0.0f);
    for (size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) addEdge(deltas, ring[j], ring[i]);
}

bool CoverageFiller::fill(const QPointF* points, int count, QRgb colour) {
    if (!takeRing(points, count) || !placeBox(ring_)) return false;
    if (box_.isEmpty()) return true;  // wholly outside: drawn, as nothing
    accumulate(ring_, outer_);
    blend(colour, nullptr, 0);
    return true;
}

bool CoverageFiller::fillOutlined(const QPointF* points, int count, QRgb fill, QRgb outline) {
    if (!takeRing(points, count)) return false;
    // Each corner moves half a pixel along the mean of its two edges' outward normals, scaled so
    // that both edges move by half a pixel (a mitred corner).
    const size_t n = ring_.size();
    const double area = doubleArea(ring_);
    const double orientation = area > 0 ? 1.0 : -1.0;
    normals_.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const QPointF d = ring_[(i + 1) % n] - ring_[i];
        normals_[i] = QPointF(d.y(), -d.x()) * (orientation / std::sqrt(d.x() * d.x() + d.y() * d.y()));
    }
    outerRing_.resize(n);
    innerRing_.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const QPointF& before = normals_[(i + n - 1) % n];
        const QPointF& after = normals_[i];
        const double join = 1.0 + before.x() * after.x() + before.y() * after.y();
        if (join < 0.25) return false;  // a spike: the corner would move more than ~1.4 pixels
        const QPointF shift = (before + after) * (0.5 / join);
        outerRing_[i] = ring_[i] + shift;
        innerRing_[i] = ring_[i] - shift;
    }
    if (!placeBox(outerRing_)) return false;
    if (box_.isEmpty()) return true;
    // A ring narrower than a pixel turns inside out when narrowed: it is all outline.
    const double inner = doubleArea(innerRing_);
    const bool hasInside = inner * area > 0 && std::abs(inner) < std::abs(area);
    accumulate(outerRing_, outer_);
    if (hasInside) {
        // The narrowed ring lies within the widened one's box.
        std::vector<float>& deltas = inner_;
        deltas.assign(outer_.size(), 0.0f);
        for (size_t i = 0, j = n - 1; i < n; j = i++) addEdge(deltas, innerRing_[j], innerRing_[i]);
    }
    blend(outline, hasInside ? &inner_ : nullptr, fill);
    return true;
}

void CoverageFiller::addEdge(std::vector<float>& deltas, QPointF a, QPointF b) {
    // Into the box's own pixels; the edge is kept to the box's rows and laid against its left and
    // right sides where it runs past them (what lies left of the box covers its first pixels,
    // what lies right of it nothing).
    const double w = box_.width(), h = box_.height();
    a -= QPointF(box_.left(), box_.top());
    b -= QPointF(box_.left(), box_.top());
    if (a.y() == b.y()) return;
    const bool inside = a.x() >= 0 && a.x() <= w && b.x() >= 0 && b.x() <= w && a.y() >= 0 && a.y() <= h &&
                        b.y() >= 0 && b.y() <= h;
    // Rows: the part with y in [0, h].
    if (!inside) {
        double ta = 0, tb = 1;
        const double dy = b.y() - a.y();
        for (const double edge : {0.0, h}) {
            const double t = (edge - a.y()) / dy;
            if (dy > 0 ? edge == 0.0 : edge == h) ta = std::max(ta, t);
            else tb = std::min(tb, t);
        }
        if (ta >= tb) return;
        const QPointF d = b - a;
        const QPointF na = a + d * ta, nb = a + d * tb;
        a = na;
        b = nb;
    }
    // Columns: cut where the edge crosses x = 0 and x = w, each piece laid inside.
    double cuts[4] = {0, 1, 1, 1};
    int n = 1;
    const double dx = b.x() - a.x();
    if (dx != 0 && !inside) {
        for (const double edge : {0.0, w}) {
            const double t = (edge - a.x()) / dx;
            if (t > 0 && t < 1) cuts[n++] = t;
        }
    }
    if (n == 3 && cuts[1] > cuts[2]) std::swap(cuts[1], cuts[2]);
    cuts[n] = 1;
    const QPointF d = b - a;
    const size_t stride = static_cast<size_t>(box_.width()) + 2;
    for (int k = 0; k < n; ++k) {
        QPointF p0 = a + d * cuts[k], p1 = a + d * cuts[k + 1];
        p0.setX(std::clamp(p0.x(), 0.0, w));
        p1.setX(std::clamp(p1.x(), 0.0, w));
        if (p0.y() == p1.y()) continue;
        // Per row, the covered share that the edge adds from each pixel to the row's end.
        const float dir = p0.y() < p1.y() ? 1.0f : -1.0f;
        if (p0.y() > p1.y()) std::swap(p0, p1);
        const double dxdy = (p1.x() - p0.x()) / (p1.y() - p0.y());
        double x = p0.x();
        const int rowEnd = std::min(static_cast<int>(std::ceil(p1.y())), box_.height());
        for (int y = std::max(0, static_cast<int>(std::floor(p0.y()))); y < rowEnd; ++y) {
            float* row = deltas.data() + static_cast<size_t>(y) * stride;
            const double dy = std::min(y + 1.0, p1.y()) - std::max(static_cast<double>(y), p0.y());
            // Rounding may carry the end a hair past the box's sides.
            const double xnext = std::clamp(x + dxdy * dy, 0.0, w);
            const float dd = static_cast<float>(dy) * dir;
            const double xa = std::min(x, xnext), xb = std::max(x, xnext);
            const double xaFloor = std::floor(xa);
            const int xai = static_cast<int>(xaFloor);
            const int xbi = static_cast<int>(std::ceil(xb));
            if (xbi <= xai + 1) {
                const float mid = static_cast<float>(0.5 * (x + xnext) - xaFloor);
                row[xai] += dd - dd * mid;
                row[xai + 1] += dd * mid;
            } else {
                const double s = 1.0 / (xb - xa);
                const double xaf = xa - xaFloor;
                const double a0 = 0.5 * s * (1 - xaf) * (1 - xaf);
                const double xbf = xb - xbi + 1;
                const double am = 0.5 * s * xbf * xbf;
                row[xai] += static_cast<float>(dd * a0);
                if (xbi == xai + 2) {
                    row[xai + 1] += static_cast<float>(dd * (1 - a0 - am));
                } else {
                    const double a1 = s * (1.5 - xaf);
                    row[xai + 1] += static_cast<float>(dd * (a1 - a0));
                    for (int xi = xai + 2; xi < xbi - 1; ++xi) row[xi] += static_cast<float>(dd * s);
                    const double a2 = a1 + (xbi - xai - 3) * s;
                    row[xbi - 1] += static_cast<float>(dd * (1 - a2 - am));
                }
                row[xbi] += static_cast<float>(dd * am);
            }
            x = xnext;
        }
    }
}

void CoverageFiller::blend(QRgb colour, const std::vector<float>* inside, QRgb insideColour) {
    // Over each pixel the colour by its covered share, then the inside colour by the inside's.
    // Where a row's shares stop changing at full cover, the rest of the run is one colour.
    const quint32 c = colour | 0xff000000u, ci = insideColour | 0xff000000u;
    const size_t stride = static_cast<size_t>(box_.width()) + 2;
    const int width = box_.width();
    const qsizetype bytesPerLine = target_.bytesPerLine();
    uchar* const bits = const_cast<uchar*>(target_.constBits());  // never detaches a painted picture
    auto share = [](float sum) { return static_cast<quint32>(std::min(std::abs(sum), 1.0f) * 255.0f + 0.5f); };
    for (int y = 0; y < box_.height(); ++y) {
        const float* row = outer_.data() + static_cast<size_t>(y) * stride;
        const float* rowInside = inside ? inside->data() + static_cast<size_t>(y) * stride : nullptr;
        auto* line = reinterpret_cast<quint32*>(bits + static_cast<qsizetype>(box_.top() + y) * bytesPerLine) + box_.left();
        float sum = 0, sumInside = 0;
        for (int x = 0; x < width; ++x) {
            sum += row[x];
            const quint32 a = share(sum);
            if (!rowInside) {
                if (a == 0) continue;
                if (a >= 255) {
                    int end = x + 1;
                    while (end < width && row[end] == 0.0f) ++end;
                    std::fill(line + x, line + end, c);
                    x = end - 1;
                    continue;
                }
                line[x] = byteMul(c, a) + byteMul(line[x], 255 - a);
                continue;
            }
            sumInside += rowInside[x];
            if (a == 0) continue;
            const quint32 b = share(sumInside);
            if (a >= 255 && b >= 255) {
                int end = x + 1;
                while (end < width && row[end] == 0.0f && rowInside[end] == 0.0f) ++end;
                std::fill(line + x, line + end, ci);
                x = end - 1;
                continue;
            }
            quint32 pixel = a >= 255 ? c : byteMul(c, a) + byteMul(line[x], 255 - a);
            if (b != 0) pixel = b >= 255 ? ci : byteMul(ci, b) + byteMul(pixel, 255 - b);
            line[x] = pixel;
        }
    }
}

}  // namespace mvx
