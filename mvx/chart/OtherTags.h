#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mvx {

// The tags GDAL's OSM driver packs into the text column other_tags, written in the hstore form
// "key"=>"value","key2"=>"value2" with \" and \\ escaping a quote and a backslash. Parsing stops at
// the first malformed pair and keeps the pairs read before it.
class OtherTags {
public:
    OtherTags() = default;
    static OtherTags parse(std::string_view text);

    // The value of a key, empty when the key is absent.
    std::string_view value(std::string_view key) const;
    // Whether the whole text was well formed.
    bool complete() const { return complete_; }
    const std::vector<std::pair<std::string, std::string>>& pairs() const { return pairs_; }

private:
    std::vector<std::pair<std::string, std::string>> pairs_;
    bool complete_ = true;
};

}  // namespace mvx
