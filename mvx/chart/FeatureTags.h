#pragma once

#include <array>
#include <string>
#include <string_view>

namespace mvx {

// The tags that decide how a feature is drawn, each looked up in its own column first and in
// other_tags otherwise. Values are owned copies: GDAL formats integer and real columns into a
// per-feature scratch buffer that the next field read frees, so a view into it would dangle.
class FeatureTags {
public:
    enum Key { Name, Highway, Waterway, Railway, Landuse, Natural, Leisure, Building, Place, Amenity, Water, KeyCount };

    // The column / other_tags key of each tag.
    static constexpr std::array<const char*, KeyCount> keyNames = {
        "name", "highway", "waterway", "railway", "landuse", "natural",
        "leisure", "building", "place", "amenity", "water"};

    std::string_view get(Key k) const { return values_[k]; }
    // Copies v; the storage of a key is reused from feature to feature.
    void set(Key k, std::string_view v);
    void clear() {
        for (std::string& v : values_) v.clear();
    }

private:
    std::array<std::string, KeyCount> values_{};
};

}  // namespace mvx
