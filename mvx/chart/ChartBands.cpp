#include "chart/ChartRenderFrame.h"
#include "chart/ChartRenderer.h"
#include "chart/ChartStyle.h"

#include <QImage>
#include <QPainter>

#include <exception>
#include <thread>

namespace mvx {

void ChartRenderer::drawTwoBands(QPainter& painter, const MapView& view, const LevelOfDetail& lod,
                                 const std::vector<const Chart*>& charts) const {
    // Two bands drawn at once, one per core, into a picture that then goes to the painter.
    const QSize size = view.size();
    if (bands_.size() != size) bands_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
    const int split = size.height() / 2;
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
        // The whole picture, clipped to this band's rows, for dashed lines; the clip keeps the
        // two threads' writes apart.
        QImage whole(bits, size.width(), size.height(), stride, QImage::Format_ARGB32_Premultiplied);
        QPainter dashed(&whole);
        dashed.setClipRect(rows);
        Frame bandFrame{p, view, lod, {}, nullptr};
        bandFrame.dashed = &dashed;
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
