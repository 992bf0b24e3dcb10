#pragma once

#include <array>
#include <string_view>

namespace mvx {

// The tags that decide how a feature is drawn, each looked up in its own column first and in
// other_tags otherwise. Values are views into the reader's buffers for the current feature.
class FeatureTags {
public:
    enum Key { Name, Highway, Waterway, Railway, Landuse, Natural, Leisure, Building, Place, Amenity, Water, KeyCount };

    // The column / other_tags key of each tag.
    static constexpr std::array<const char*, KeyCount> keyNames = {
        "name", "highway", "waterway", "railway", "landuse", "natural",
        "leisure", "building", "place", "amenity", "water"};

    std::string_view get(Key k) const { return values_[k]; }
    void set(Key k, std::string_view v) { values_[k] = v; }
    void clear() { values_.fill({}); }

private:
    std::array<std::string_view, KeyCount> values_{};
};

}  // namespace mvx
