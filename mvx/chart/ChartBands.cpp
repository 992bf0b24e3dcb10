#include "chart/ChartRenderFrame.h"
#include "chart/ChartRenderer.h"
#include "chart/ChartStyle.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <exception>
#include <mutex>
#include <thread>

namespace mvx {

namespace {

// Small views, and views with few features, are drawn on one thread: starting a second one costs
// more than it saves.
constexpr qint64 MinPixelsForBands = 400000;
constexpr size_t MinFeaturesForBands = 100;
// The features' screen extents added up: below this, as in a whole region at 1:200000 where
// thousands of features are each a few pixels, a second thread saves nothing.
constexpr double MinSpreadForBands = 50000;
constexpr int Strips = 64;  // row groups the work is weighed in
// A heavy view is cut into this many bands of about equal work, taken in turn by whichever thread
// is free. On a busy machine the second thread may get a core late or share it: the calling
// thread then draws the bands it has not started, and waits at most for the one band the second
// thread is on, so a frame never costs much more than on one thread.
constexpr int Bands = 4;

}  // namespace

bool ChartRenderer::planBands(const Frame& f, const QSize& size, std::vector<int>& cuts) const {
    // How far the features spread on screen, row by row (a street at a large scale costs far more
    // than a whole village at a small one), tells where to cut the picture so that the bands have
    // as much to draw: each feature's share is laid evenly over the rows its bounds cover.
    size_t features = 0;
    for (const auto& bucket : f.buckets) features += bucket.size();
    const qint64 pixels = static_cast<qint64>(size.width()) * size.height();
    if (pixels < MinPixelsForBands || features < MinFeaturesForBands || std::thread::hardware_concurrency() < 2)
        return false;
    std::array<double, Strips + 1> rise{};
    const double widest = 2.0 * std::max(size.width(), size.height());
    auto strip = [&](double y) {
        return static_cast<int>(std::clamp(std::floor(y / size.height() * Strips), 0.0, Strips - 1.0));
    };
    for (const auto& bucket : f.buckets) {
        for (const Ref& r : bucket) {
            const ChartFeature& feature = r.chart->features()[r.feature];
            const double share = std::min(widest, f.screenExtent(feature));
            const int s0 = strip(f.toScreen(QPointF(0, feature.bounds.bottom())).y());
            const int s1 = strip(f.toScreen(QPointF(0, feature.bounds.top())).y());
            const double perStrip = share / (s1 - s0 + 1);
            rise[static_cast<size_t>(s0)] += perStrip;
            rise[static_cast<size_t>(s1) + 1] -= perStrip;
        }
    }
    // Every row costs something too (the land is filled everywhere), so no band is left empty.
    std::array<double, Strips> weight{};
    double level = 0, total = 0;
    for (size_t i = 0; i < weight.size(); ++i) total += weight[i] = (level += rise[i]);
    const double perRow = total / Strips / 4;
    if (total < MinSpreadForBands) return false;
    for (double& w : weight) w += perRow;
    total += perRow * Strips;
    cuts.assign(1, 0);
    double above = 0;
    for (int s = 0; s < Strips && static_cast<int>(cuts.size()) < Bands; ++s) {
        above += weight[static_cast<size_t>(s)];
        if (above >= total * static_cast<double>(cuts.size()) / Bands) {
            const int row = (s + 1) * size.height() / Strips;
            if (row > cuts.back() && row < size.height()) cuts.push_back(row);
        }
    }
    cuts.push_back(size.height());
    return cuts.size() > 2;
}

namespace {

// The picture a painter draws onto when bands can draw straight into its rows: a 32-bit picture
// painted plainly (no clip, blending over, fully opaque) at a whole-pixel shift that keeps the
// view inside it. Null otherwise.
QImage* directTarget(QPainter& painter, const QSize& size, QPoint& origin) {
    QPaintDevice* device = painter.device();
    if (device == nullptr || device->devType() != QInternal::Image || painter.paintEngine() == nullptr ||
        painter.paintEngine()->type() != QPaintEngine::Raster || painter.hasClipping() || painter.opacity() < 1.0 ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return nullptr;
    auto* image = static_cast<QImage*>(device);
    const QTransform t = painter.transform();
    if (!CoverageLayer::supports(*image) || t.type() > QTransform::TxTranslate || t.dx() != std::round(t.dx()) ||
        t.dy() != std::round(t.dy()))
        return nullptr;
    origin = QPoint(static_cast<int>(t.dx()), static_cast<int>(t.dy()));
    if (image->devicePixelRatio() != 1.0 || !image->rect().contains(QRect(origin, size))) return nullptr;
    return image;
}

}  // namespace

void ChartRenderer::drawBands(QPainter& painter, const Frame& whole, const std::vector<int>& cuts) const {
    const MapView& view = whole.view;
    const LevelOfDetail& lod = whole.lod;
    const QSize size = view.size();
    const int count = static_cast<int>(cuts.size()) - 1;
    // Onto a plain picture, each band draws straight into the picture's own rows: every shape goes
    // onto coverage layers clipped to the band's rows, which give each pixel the share it has in
    // the whole view, so the seams need nothing more. Otherwise each band is drawn into a picture
    // of its own that reaches past its rows by more than half the widest line: a line is cut where
    // it leaves a picture, which moves its smoothed edges near the cut, and those rows are not
    // kept. Only the band's own rows go to the painter.
    QPoint origin;
    QImage* const target = directTarget(painter, size, origin);
    double widest = 0;
    for (int k = 0; k < FeatureKindCount; ++k) {
        const auto kind = static_cast<FeatureKind>(k);
        widest = std::max({widest, lod.casingWidth(kind), lod.lineWidth(kind)});
    }
    const int margin = target ? 0 : static_cast<int>(std::ceil(widest / 2.0)) + 2;
    if (!target && bandPictures_.size() < static_cast<size_t>(count)) bandPictures_.resize(static_cast<size_t>(count));
    if (layerCells_.size() < 2 * (static_cast<size_t>(count) + 1)) layerCells_.resize(2 * (static_cast<size_t>(count) + 1));
    std::vector<QRect> rows(static_cast<size_t>(count)), drawn(static_cast<size_t>(count));
    for (int band = 0; band < count; ++band) {
        const size_t b = static_cast<size_t>(band);
        rows[b] = QRect(0, cuts[b], size.width(), cuts[b + 1] - cuts[b]);
        drawn[b] = rows[b].adjusted(0, -margin, 0, margin).intersected(QRect(QPoint(0, 0), size));
        if (target) continue;
        // Pictures are kept between frames and only grow: a new one every frame would cost its
        // pages again each time.
        QImage& picture = bandPictures_[b];
        if (picture.width() != size.width() || picture.height() < drawn[b].height())
            picture = QImage(size.width(), std::max(drawn[b].height(), size.height() / count + 2 * margin),
                             QImage::Format_ARGB32_Premultiplied);
    }
    // Each band's features: those of the whole view that reach its rows (with the same margin as
    // the view's), in the same order, sorted out once here.
    std::vector<Buckets> bandBuckets(static_cast<size_t>(count));
    {
        const double reach = MarginPx * lod.pixelRatio();
        for (size_t k = 0; k < whole.buckets.size(); ++k) {
            for (const Ref& r : whole.buckets[k]) {
                const QRectF& bounds = r.chart->features()[r.feature].bounds;
                const double y0 = whole.toScreen(QPointF(0, bounds.bottom())).y() - reach;  // the upper edge
                const double y1 = whole.toScreen(QPointF(0, bounds.top())).y() + reach;
                // From the first band whose rows reach y0, while bands start above y1.
                int band = static_cast<int>(std::lower_bound(cuts.begin() + 1, cuts.end(), y0 - margin) - cuts.begin()) - 1;
                for (; band < count; ++band) {
                    const QRect& d = drawn[static_cast<size_t>(band)];
                    if (d.top() > y1) break;
                    if (d.top() + d.height() >= y0) bandBuckets[static_cast<size_t>(band)][k].push_back(r);
                }
            }
        }
    }
    auto drawBand = [&](int band) {
        if (bandHook_) bandHook_(band);
        const size_t b = static_cast<size_t>(band);
        // Only the rows this band needs, on the target's or the kept picture's memory.
        QImage image;
        if (target) {
            uchar* bits = const_cast<uchar*>(target->constBits()) +  // never detaches the painted picture
                          static_cast<qsizetype>(origin.y() + drawn[b].top()) * target->bytesPerLine() +
                          static_cast<qsizetype>(origin.x()) * 4;
            image = QImage(bits, size.width(), drawn[b].height(), target->bytesPerLine(), target->format());
        } else {
            QImage& picture = bandPictures_[b];
            image = QImage(picture.bits(), size.width(), drawn[b].height(), picture.bytesPerLine(),
                           QImage::Format_ARGB32_Premultiplied);
        }
        QPainter p(&image);
        p.translate(0, -drawn[b].top());
        Frame bandFrame{p, view, lod, std::move(bandBuckets[b]), nullptr};
        bandFrame.clip = frameClip(QRectF(drawn[b]), lod.pixelRatio());
        bandFrame.sx = whole.sx;
        bandFrame.cx = whole.cx;
        bandFrame.cy = whole.cy;
        bandFrame.hw = whole.hw;
        bandFrame.hh = whole.hh;
        bandFrame.openLayers(&layerCells_[2 * (b + 1)]);
        bandFrame.fillFirst(QRectF(drawn[b]), ChartStyle::land());
        drawGeometry(bandFrame);
    };
    // Both threads take the next band not yet taken until none is left. The first failure stops
    // the taking; it is raised here once both threads have ended, so no thread outlives the
    // pictures it draws into.
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr failure;
    std::mutex failureMutex;
    auto takeBands = [&] {
        for (int band = next++; band < count && !failed; band = next++) {
            try {
                drawBand(band);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(failureMutex);
                if (!failure) failure = std::current_exception();
                failed = true;
            }
        }
    };
    {
        std::jthread second(takeBands);
        takeBands();
    }
    if (failure) std::rethrow_exception(failure);
    if (target) return;
    // The bands are opaque (land first): copied, not blended, which gives the same pixels.
    if (painter.opacity() >= 1.0) painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (int band = 0; band < count; ++band) {
        const size_t b = static_cast<size_t>(band);
        painter.drawImage(rows[b].topLeft(), bandPictures_[b],
                          QRect(0, rows[b].top() - drawn[b].top(), size.width(), rows[b].height()));
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

}  // namespace mvx
