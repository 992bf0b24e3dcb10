#include "chart/FeatureTags.h"

namespace mvx {

void FeatureTags::set(Key k, std::string_view v) { values_[static_cast<size_t>(k)].assign(v.data(), v.size()); }

}  // namespace mvx
