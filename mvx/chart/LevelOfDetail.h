#pragma once

#include "chart/FeatureKind.h"

namespace mvx {

// What is drawn, and how wide, at one map scale.
class LevelOfDetail {
public:
    // scaleDenominator: the map scale 1:N; groundPerPixel: ground metres one (device) pixel spans;
    // pixelRatio: device pixels per pixel of the screen's own measure, by which the widths that
    // are not ground widths (minimum widths, casing borders) grow.
    LevelOfDetail(double scaleDenominator, double groundPerPixel, double pixelRatio = 1.0);

    double scaleDenominator() const { return scale_; }
    double pixelRatio() const { return ratio_; }
    bool visible(FeatureKind kind) const;
    bool labelled(FeatureKind kind) const;
    // Line width in pixels, growing with the scale from the kind's minimum to its real width.
    double lineWidth(FeatureKind kind) const;
    // Road casing: the total width of the casing line drawn under the fill (0 for none).
    double casingWidth(FeatureKind kind) const;
    // Areas whose screen bounds are smaller than this many pixels are left out.
    double minAreaPixels() const { return 0.8 * ratio_; }

private:
    double scale_;
    double groundPerPixel_;
    double ratio_;
};

}  // namespace mvx
