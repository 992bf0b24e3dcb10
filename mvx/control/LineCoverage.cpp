#include "LineCoverage.h"

#include <QImage>

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>

namespace mvx {

LineCoverage::Mask::Mask(int width, int height)
    : values(static_cast<size_t>(width) * height, 0), rowMin(height, INT_MAX), rowMax(height, INT_MIN), top(height), bottom(-1) {}

void LineCoverage::Mask::touch(int y, int x0, int x1) {
    rowMin[y] = std::min(rowMin[y], x0);
    rowMax[y] = std::max(rowMax[y], x1);
    top = std::min(top, y);
    bottom = std::max(bottom, y);
}

void LineCoverage::Mask::reset(int height) {
    for (int y = top; y <= bottom; ++y) {
        rowMin[y] = INT_MAX;
        rowMax[y] = INT_MIN;
    }
    top = height;
    bottom = -1;
}

namespace {

// Bits x0..x1 (x0 <= x1) of a word w of a row that x0..x1 reaches.
inline std::uint64_t bitsOf(int w, int x0, int x1) {
    const int lo = std::max(x0 - w * 64, 0), hi = std::min(x1 - w * 64, 63);
    return (~std::uint64_t(0) >> (63 - hi)) & (~std::uint64_t(0) << lo);
}

// Whether bits x0..x1 (x0 <= x1) of a row are set in one of two bit rows.
inline bool allSet(const std::uint64_t* full, const std::uint64_t* opaque, int x0, int x1) {
    const int first = x0 >> 6, last = x1 >> 6;
    if (first == last) {  // most strokes of a tile lie within one word of a row
        const std::uint64_t want = (~std::uint64_t(0) >> (63 - (x1 & 63))) & (~std::uint64_t(0) << (x0 & 63));
        return ((full[first] | opaque[first]) & want) == want;
    }
    for (int w = first; w <= last; ++w) {
        const std::uint64_t want = bitsOf(w, x0, x1);
        if (((full[w] | opaque[w]) & want) != want) return false;
    }
    return true;
}

// ceil(v) and floor(v) with v first brought within -1..limit, without a call into the maths
// library (the baseline instruction set has no rounding instruction, and a row takes a few).
inline int ceilWithin(double v, double limit) {
    v = std::min(std::max(v, -1.0), limit);
    const int i = static_cast<int>(v);
    return i + (static_cast<double>(i) < v);
}
inline int floorWithin(double v, double limit) {
    v = std::min(std::max(v, -1.0), limit);
    const int i = static_cast<int>(v);
    return i - (static_cast<double>(i) > v);
}

}  // namespace

LineCoverage::LineCoverage(int width, int height)
    : width_(width), height_(height), words_((width + 63) / 64), pass_(width, height), mask_(width, height),
      passFull_(static_cast<size_t>(words_) * height, 0), opaque_(static_cast<size_t>(words_) * height, 0) {}

void LineCoverage::endPass() {
    for (int y = pass_.top; y <= pass_.bottom; ++y) {
        if (pass_.rowMin[y] > pass_.rowMax[y]) continue;
        unsigned char* p = pass_.values.data() + static_cast<size_t>(y) * width_;
        unsigned char* m = mask_.values.data() + static_cast<size_t>(y) * width_;
        std::uint64_t* opaque = opaque_.data() + static_cast<size_t>(y) * words_;
        for (int x = pass_.rowMin[y]; x <= pass_.rowMax[y]; ++x) {
            const unsigned c = p[x];
            if (c == 0) continue;
            p[x] = 0;
            m[x] = static_cast<unsigned char>(255 - ((255 - m[x]) * (255 - c) + 127) / 255);
            if (m[x] == 255) opaque[x >> 6] |= std::uint64_t(1) << (x & 63);
        }
        std::fill_n(passFull_.data() + static_cast<size_t>(y) * words_, words_, 0);
        mask_.touch(y, pass_.rowMin[y], pass_.rowMax[y]);
    }
    pass_.reset(height_);
}

void LineCoverage::addSegment(const QPointF& a, const QPointF& b, double penWidth) {
    const double half = penWidth / 2.0;
    const double outer = half + 0.5, inner = half - 0.5;  // no coverage beyond, full coverage within
    const double peak = std::min(1.0, penWidth) * 255.0;
    const unsigned char full = static_cast<unsigned char>(peak);
    const double ax = a.x(), ay = a.y(), bx = b.x(), by = b.y(), dx = bx - ax, dy = by - ay;
    if (!std::isfinite(ax + ay + dx + dy)) return;
    // Most segments of the pieces that reach a tile pass beside it.
    if (std::max(ax, bx) + outer <= 0.0 || std::min(ax, bx) - outer >= width_ || std::max(ay, by) + outer <= 0.0 ||
        std::min(ay, by) - outer >= height_)
        return;
    const double len2 = dx * dx + dy * dy, len = std::sqrt(len2);
    const double inv2 = len2 > 0.0 ? 1.0 / len2 : 0.0, inv = len > 0.0 ? 1.0 / len : 0.0;
    const double invDy = dy != 0.0 ? 1.0 / dy : 0.0;

    // The rows and columns whose pixel centres may lie within `outer` of the segment.
    const double w = width_, h = height_;
    const int y0 = std::max(0, ceilWithin(std::min(ay, by) - outer - 0.5, h));
    const int y1 = std::min(height_ - 1, floorWithin(std::max(ay, by) + outer - 0.5, h));
    const int boxLeft = std::max(0, ceilWithin(std::min(ax, bx) - outer - 0.5, w));
    const int boxRight = std::min(width_ - 1, floorWithin(std::max(ax, bx) + outer - 0.5, w));
    if (y0 > y1 || boxLeft > boxRight) return;
    for (int y = y0; y <= y1; ++y) {
        std::uint64_t* passFull = passFull_.data() + static_cast<size_t>(y) * words_;
        const std::uint64_t* opaque = opaque_.data() + static_cast<size_t>(y) * words_;
        // A row settled across the whole stroke's columns needs no more.
        if (allSet(passFull, opaque, boxLeft, boxRight)) continue;
        const double py = y + 0.5, ry = py - ay;
        // The part of the segment within `outer` of this row bounds the columns.
        double t1 = 0.0, t2 = 1.0;
        if (dy != 0.0) {
            t1 = (ry - outer) * invDy;
            t2 = (ry + outer) * invDy;
            if (t1 > t2) std::swap(t1, t2);
            t1 = std::max(t1, 0.0);
            t2 = std::min(t2, 1.0);
            if (t1 > t2) continue;
        } else if (std::fabs(ry) >= outer) {
            continue;
        }
        const double xa = ax + t1 * dx, xb = ax + t2 * dx;
        const int x0 = std::max(boxLeft, ceilWithin(std::min(xa, xb) - outer - 0.5, w));
        const int x1 = std::min(boxRight, floorWithin(std::max(xa, xb) + outer - 0.5, w));
        if (x0 > x1 || allSet(passFull, opaque, x0, x1)) continue;
        // Along the row the position on the segment (t) and the distance across it change linearly;
        // beyond its ends the distance is to the end point.
        const double rx0 = 0.5 - ax;
        const double tBase = (rx0 * dx + ry * dy) * inv2, tStep = dx * inv2;
        const double across = (rx0 * dy - ry * dx) * inv, acrossStep = dy * inv;
        unsigned char* row = pass_.values.data() + static_cast<size_t>(y) * width_;
        // A pixel the pass already covers fully, or that earlier passes made opaque, cannot change:
        // on a road driven many times most of a segment's pixels are such.
        bool touched = false;
        for (int w = x0 >> 6; w <= x1 >> 6; ++w) {
            for (std::uint64_t open = bitsOf(w, x0, x1) & ~(passFull[w] | opaque[w]); open != 0; open &= open - 1) {
                const int x = w * 64 + std::countr_zero(open);
                const double t = tBase + x * tStep;
                double d;
                if (t > 0.0 && t < 1.0) {
                    d = std::fabs(across + x * acrossStep);
                } else {
                    const double ex = x + 0.5 - (t <= 0.0 ? ax : bx), ey = py - (t <= 0.0 ? ay : by);
                    d = std::sqrt(ex * ex + ey * ey);
                }
                if (d >= outer) continue;
                const unsigned char c = d <= inner ? full : static_cast<unsigned char>(std::min(1.0, outer - d) * peak + 0.5);
                if (c <= row[x]) continue;
                row[x] = c;
                if (c >= full) passFull[w] |= std::uint64_t(1) << (x & 63);
                touched = true;
            }
        }
        if (touched) pass_.touch(y, x0, x1);
    }
}

bool LineCoverage::blendInto(QImage& picture, const QColor& color) {
    endPass();
    if (isEmpty()) return false;
    const QRgb premultiplied = qPremultiply(color.rgba());
    const unsigned sa = qAlpha(premultiplied), sr = qRed(premultiplied), sg = qGreen(premultiplied),
                   sb = qBlue(premultiplied);
    for (int y = mask_.top; y <= mask_.bottom; ++y) {
        if (mask_.rowMin[y] > mask_.rowMax[y]) continue;
        unsigned char* mask = mask_.values.data() + static_cast<size_t>(y) * width_;
        QRgb* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = mask_.rowMin[y]; x <= mask_.rowMax[y]; ++x) {
            const unsigned m = mask[x];
            if (m == 0) continue;
            mask[x] = 0;
            const QRgb d = line[x];
            // Source over: the pen's premultiplied colour at the mask's coverage, over the picture.
            const unsigned keep = 255 - (sa * m + 127) / 255;
            auto mix = [&](unsigned s, unsigned dc) { return (s * m + 127) / 255 + (dc * keep + 127) / 255; };
            line[x] = qRgba(std::min(255u, mix(sr, qRed(d))), std::min(255u, mix(sg, qGreen(d))),
                            std::min(255u, mix(sb, qBlue(d))), std::min(255u, mix(sa, qAlpha(d))));
        }
    }
    mask_.reset(height_);
    std::fill(opaque_.begin(), opaque_.end(), 0);
    return true;
}

}  // namespace mvx
