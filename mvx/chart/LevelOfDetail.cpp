#include "chart/LevelOfDetail.h"

#include "chart/ChartStyle.h"

#include <algorithm>

namespace mvx {

namespace {
constexpr double MaxLineWidth = 48.0;
}

LevelOfDetail::LevelOfDetail(double scaleDenominator, double groundPerPixel, double pixelRatio)
    : scale_(scaleDenominator), groundPerPixel_(std::max(groundPerPixel, 1e-6)), ratio_(std::max(pixelRatio, 0.1)) {}

bool LevelOfDetail::visible(FeatureKind kind) const {
    return kind != FeatureKind::None && scale_ <= ChartStyle::of(kind).maxScale;
}

bool LevelOfDetail::labelled(FeatureKind kind) const {
    return visible(kind) && scale_ <= ChartStyle::of(kind).labelMaxScale;
}

double LevelOfDetail::lineWidth(FeatureKind kind) const {
    const KindStyle& s = ChartStyle::of(kind);
    // Small scales thin every line so that a whole town stays legible.
    double minimum = s.minWidthPx;
    if (scale_ > 150000)
        minimum *= 0.45;
    else if (scale_ > 60000)
        minimum *= 0.6;
    else if (scale_ > 30000)
        minimum *= 0.8;
    return std::clamp(s.widthMetres / groundPerPixel_, std::max(minimum, 0.5) * ratio_, MaxLineWidth * ratio_);
}

double LevelOfDetail::casingWidth(FeatureKind kind) const {
    if (!isRoad(kind) || qAlpha(ChartStyle::of(kind).stroke) == 0) return 0.0;
    // Zoomed out, roads lose their casings, minor roads first: thin lines read better than
    // a mesh of outlines.
    if (scale_ > 120000) return 0.0;
    if (scale_ > 60000 && kind <= FeatureKind::MinorRoad) return 0.0;
    const double border = scale_ > 60000 ? 0.6 : (scale_ > 15000 ? 1.0 : 1.5);
    return lineWidth(kind) + 2.0 * border * ratio_;
}

}  // namespace mvx
