#include "chart/ChartRenderFrame.h"
#include "chart/ChartRenderer.h"
#include "chart/ChartStyle.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <thread>

namespace mvx {

namespace {

// Smaller views, and views with fewer features, are drawn on one thread. A second thread pays
// only on a free core: on a busy machine the frame waits for it (Vaduz at 1:5000, 700 features,
// took twice as long on two threads as on one under load), so the bar stays high.
constexpr qint64 MinPixelsForBands = 400000;
constexpr size_t MinFeaturesForBands = 5000;
constexpr int Strips = 64;                     // row groups the work is weighed in

}  // namespace

bool ChartRenderer::planBands(const Frame& f, const QSize& size, int& split) const {
    // How far the features spread on screen, row by row (a street at a large scale costs far more
    // than a whole village at a small one), tells where to cut the picture so that both bands have
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
    std::array<double, Strips> weight{};
    double level = 0, total = 0;
    for (size_t i = 0; i < weight.size(); ++i) total += weight[i] = (level += rise[i]);
    size_t strips = 0;
    for (double above = 0; strips < weight.size() && above + weight[strips] <= total / 2; ++strips)
        above += weight[strips];
    // Never less than a quarter of the rows on either side.
    split = std::clamp(static_cast<int>(strips) * size.height() / Strips, size.height() / 4, size.height() * 3 / 4);
    return true;
}

void ChartRenderer::drawTwoBands(QPainter& painter, const MapView& view, const LevelOfDetail& lod,
                                 const std::vector<const Chart*>& charts, int split) const {
    // Two bands drawn at once, one per core, into a picture that then goes to the painter.
    const QSize size = view.size();
    if (bands_.size() != size) bands_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
    uchar* const bits = bands_.bits();  // taken once: the threads only share plain memory
    const qsizetype stride = bands_.bytesPerLine();
    auto drawBand = [&](int band, int y0, int y1) {
        if (bandHook_) bandHook_(band);
        const QRect rows(0, y0, size.width(), y1 - y0);
        QImage image(bits + static_cast<qsizetype>(y0) * stride, size.width(), rows.height(), stride,
                     QImage::Format_ARGB32_Premultiplied);
        QPainter p(&image);
        p.fillRect(image.rect(), ChartStyle::land());
        p.translate(0, -y0);
        Frame bandFrame{p, view, lod, {}, nullptr};
        bandFrame.clip = frameClip(QRectF(rows));
        collect(bandFrame, charts, QRectF(0, y0, size.width(), y1 - y0), false);
        drawGeometry(bandFrame);
    };
    // A failure on the worker is kept and raised here once it has ended; a failure on this
    // thread leaves through the worker's destructor, which waits for it first. Either way no
    // thread outlives the picture it draws into.
    std::exception_ptr lowerFailure;
    {
        std::jthread lower([&] {
            try {
                drawBand(1, split, size.height());
            } catch (...) {
                lowerFailure = std::current_exception();
            }
        });
        drawBand(0, 0, split);
    }
    if (lowerFailure) std::rethrow_exception(lowerFailure);
    // The bands are opaque (land first): copied, not blended, which gives the same pixels.
    if (painter.opacity() >= 1.0) painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPointF(0, 0), bands_);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

}  // namespace mvx
