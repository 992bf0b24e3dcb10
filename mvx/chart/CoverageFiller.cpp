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

// The ring moved out (grow > 0) or in by grow pixels, each corner where the moved edges meet.
// False for a corner so sharp that the meeting point would lie far off.
bool offsetRing(std::vector<QPointF>& ring, double grow) {
    const size_t n = ring.size();
    const double orientation = doubleArea(ring) > 0 ? 1.0 : -1.0;
    std::vector<QPointF> normals(n);
    for (size_t i = 0; i < n; ++i) {
        const QPointF d = ring[(i + 1) % n] - ring[i];
        const double length = std::hypot(d.x(), d.y());
        normals[i] = QPointF(d.y(), -d.x()) * (orientation / length);  // outwards
    }
    std::vector<QPointF> moved(n);
    for (size_t i = 0; i < n; ++i) {
        const QPointF& before = normals[(i + n - 1) % n];
        const QPointF& after = normals[i];
        const double join = 1.0 + before.x() * after.x() + before.y() * after.y();
        if (join < 0.25) return false;  // a spike: the corner would move more than ~2.8 times grow
        moved[i] = ring[i] + (before + after) * (grow / join);
    }
    ring.swap(moved);
    return true;
}

}  // namespace

CoverageFiller::CoverageFiller(QImage& target, QPoint origin, QRect clip)
    : target_(target), origin_(origin), clip_(clip.intersected(target.rect())) {}

bool CoverageFiller::supports(const QImage& image) {
    return image.format() == QImage::Format_ARGB32_Premultiplied || image.format() == QImage::Format_RGB32;
}

bool CoverageFiller::prepare(const QPointF* points, int count, double grow) {
    shifted_.clear();
    if (count < 3) return false;
    for (int i = 0; i < count; ++i) {
        const QPointF p = points[i] + QPointF(origin_);
        if (!std::isfinite(p.x()) || !std::isfinite(p.y())) return false;
        // Repeated points (and the closing copy of the first) add no edge.
        if (!shifted_.empty() && std::abs(p.x() - shifted_.back().x()) < 1e-9 &&
            std::abs(p.y() - shifted_.back().y()) < 1e-9)
            continue;
        shifted_.push_back(p);
    }
    while (shifted_.size() > 1 && std::abs(shifted_.front().x() - shifted_.back().x()) < 1e-9 &&
           std::abs(shifted_.front().y() - shifted_.back().y()) < 1e-9)
        shifted_.pop_back();
    if (shifted_.size() < 3) return false;
    if (grow != 0 && !offsetRing(shifted_, grow)) return false;
    double x0 = shifted_[0].x(), x1 = x0, y0 = shifted_[0].y(), y1 = y0;
    for (const QPointF& p : shifted_) {
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

bool CoverageFiller::fill(const QPointF* points, int count, QRgb colour) {
    if (!prepare(points, count, 0)) return false;
    if (box_.isEmpty()) return true;  // wholly outside: drawn, as nothing
    deltas_.assign(static_cast<size_t>(box_.width() + 2) * static_cast<size_t>(box_.height()), 0.0f);
    for (size_t i = 0, j = shifted_.size() - 1; i < shifted_.size(); j = i++) addEdge(shifted_[j], shifted_[i]);
    blend(colour);
    return true;
}

bool CoverageFiller::fillOutlined(const QPointF* points, int count, QRgb fill, QRgb outline) {
    // Both rings are made before anything is drawn, so that a refusal draws nothing.
    if (!prepare(points, count, 0.5)) return false;
    const std::vector<QPointF> outer = shifted_;
    const QRect outerBox = box_;
    if (!prepare(points, count, -0.5)) return false;
    std::vector<QPointF> inner = shifted_;
    const QRect innerBox = box_;
    const double original = [&] {
        prepare(points, count, 0);
        return doubleArea(shifted_);
    }();
    // A ring narrower than a pixel turns inside out when narrowed: it is all outline.
    const bool innerTurned = doubleArea(inner) * original <= 0 || std::abs(doubleArea(inner)) >= std::abs(original);
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1 && innerTurned) break;
        shifted_ = pass == 0 ? outer : inner;
        box_ = pass == 0 ? outerBox : innerBox;
        if (box_.isEmpty()) continue;
        deltas_.assign(static_cast<size_t>(box_.width() + 2) * static_cast<size_t>(box_.height()), 0.0f);
        for (size_t i = 0, j = shifted_.size() - 1; i < shifted_.size(); j = i++) addEdge(shifted_[j], shifted_[i]);
        blend(pass == 0 ? outline : fill);
    }
    return true;
}

void CoverageFiller::addEdge(QPointF a, QPointF b) {
    // Into the box's own pixels; the edge is kept to the box's rows and laid against its left and
    // right sides where it runs past them (what lies left of the box covers its first pixels,
    // what lies right of it nothing).
    const double w = box_.width(), h = box_.height();
    a -= QPointF(box_.left(), box_.top());
    b -= QPointF(box_.left(), box_.top());
    if (a.y() == b.y()) return;
    // Rows: the part with y in [0, h].
    {
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
    if (dx != 0) {
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
            float* row = deltas_.data() + static_cast<size_t>(y) * stride;
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

void CoverageFiller::blend(QRgb colour) {
    const quint32 c = colour | 0xff000000u;
    const size_t stride = static_cast<size_t>(box_.width()) + 2;
    uchar* const bits = const_cast<uchar*>(target_.constBits());  // never detaches a painted picture
    for (int y = 0; y < box_.height(); ++y) {
        const float* row = deltas_.data() + static_cast<size_t>(y) * stride;
        auto* line = reinterpret_cast<quint32*>(bits + static_cast<qsizetype>(box_.top() + y) * target_.bytesPerLine()) +
                     box_.left();
        float sum = 0;
        for (int x = 0; x < box_.width(); ++x) {
            sum += row[x];
            const float cover = std::min(std::abs(sum), 1.0f);
            const auto a = static_cast<quint32>(cover * 255.0f + 0.5f);
            if (a == 0) continue;
            line[x] = a >= 255 ? c : byteMul(c, a) + byteMul(line[x], 255 - a);
        }
    }
}

}  // namespace mvx
