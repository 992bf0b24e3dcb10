#include "chart/ChartRenderFrame.h"
#include "chart/ChartRenderer.h"
#include "chart/ChartStyle.h"

#include <QImage>
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
constexpr size_t MinFeaturesForBands = 300;
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

void ChartRenderer::drawBands(QPainter& painter, const Frame& whole, const std::vector<int>& cuts) const {
    const MapView& view = whole.view;
    const LevelOfDetail& lod = whole.lod;
    const QSize size = view.size();
    const int count = static_cast<int>(cuts.size()) - 1;
    // Each band is drawn into a picture of its own that reaches past its rows by more than half
    // the widest line: a line is cut where it leaves a picture, which moves its smoothed edges
    // near the cut, and those rows are not kept. Only the band's own rows go to the painter.
    double widest = 0;
    for (int k = 0; k < FeatureKindCount; ++k) {
        const auto kind = static_cast<FeatureKind>(k);
        widest = std::max({widest, lod.casingWidth(kind), lod.lineWidth(kind)});
    }
    const int margin = static_cast<int>(std::ceil(widest / 2.0)) + 2;
    if (bandPictures_.size() < static_cast<size_t>(count)) bandPictures_.resize(static_cast<size_t>(count));
    if (layerCells_.size() < 2 * (static_cast<size_t>(count) + 1)) layerCells_.resize(2 * (static_cast<size_t>(count) + 1));
    std::vector<QRect> rows(static_cast<size_t>(count)), drawn(static_cast<size_t>(count));
    for (int band = 0; band < count; ++band) {
        const size_t b = static_cast<size_t>(band);
        rows[b] = QRect(0, cuts[b], size.width(), cuts[b + 1] - cuts[b]);
        drawn[b] = rows[b].adjusted(0, -margin, 0, margin).intersected(QRect(QPoint(0, 0), size));
        // Pictures are kept between frames and only grow: a new one every frame would cost its
        // pages again each time.
        QImage& picture = bandPictures_[b];
        if (picture.width() != size.width() || picture.height() < drawn[b].height())
            picture = QImage(size.width(), std::max(drawn[b].height(), size.height() / count + 2 * margin),
                             QImage::Format_ARGB32_Premultiplied);
    }
    auto drawBand = [&](int band) {
        if (bandHook_) bandHook_(band);
        const size_t b = static_cast<size_t>(band);
        QImage& picture = bandPictures_[b];
        // Only the rows this band needs, on the kept picture's memory.
        QImage image(picture.bits(), size.width(), drawn[b].height(), picture.bytesPerLine(),
                     QImage::Format_ARGB32_Premultiplied);
        QPainter p(&image);
        p.fillRect(image.rect(), ChartStyle::land());
        p.translate(0, -drawn[b].top());
        Frame bandFrame{p, view, lod, {}, nullptr};
        bandFrame.clip = frameClip(QRectF(drawn[b]), lod.pixelRatio());
        // The band's features: those of the whole view that reach its rows (with the same margin
        // as the view's), in the same order.
        const double margin = MarginPx * lod.pixelRatio();
        const double top = drawn[b].top() - margin, bottom = drawn[b].top() + drawn[b].height() + margin;
        bandFrame.sx = whole.sx;
        bandFrame.cx = whole.cx;
        bandFrame.cy = whole.cy;
        bandFrame.hw = whole.hw;
        bandFrame.hh = whole.hh;
        for (size_t k = 0; k < whole.buckets.size(); ++k) {
            std::vector<Ref>& refs = bandFrame.buckets[k];
            for (const Ref& r : whole.buckets[k]) {
                const QRectF& bounds = r.chart->features()[r.feature].bounds;
                const double y0 = whole.toScreen(QPointF(0, bounds.bottom())).y();  // the upper edge on screen
                const double y1 = whole.toScreen(QPointF(0, bounds.top())).y();
                if (y1 >= top && y0 <= bottom) refs.push_back(r);
            }
        }
        bandFrame.openLayers(&layerCells_[2 * (b + 1)]);
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
