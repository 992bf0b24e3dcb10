#pragma once

#include "chart/FeatureKind.h"
#include "chart/FeatureTags.h"

namespace mvx {

// Decides the kind of a feature from its tags and its geometry. A kind that does not suit the
// geometry (a landuse tag on a line, a road drawn as an area) gives FeatureKind::None.
class FeatureClassifier {
public:
    static FeatureKind classify(const FeatureTags& tags, FeatureShape shape);

private:
    static FeatureKind areaKind(const FeatureTags& tags);
    static FeatureKind lineKind(const FeatureTags& tags);
    static FeatureKind placeKind(std::string_view place);
};

}  // namespace mvx
