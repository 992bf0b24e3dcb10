#include "chart/OtherTags.h"

namespace mvx {

namespace {

void skipSpaces(std::string_view text, size_t& pos) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n' || text[pos] == '\r'))
        ++pos;
}

// Reads a double-quoted string with backslash escapes starting at pos; false when malformed.
bool readQuoted(std::string_view text, size_t& pos, std::string& out) {
    out.clear();
    if (pos >= text.size() || text[pos] != '"') return false;
    ++pos;
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == '"') return true;
        if (c == '\\') {
            if (pos >= text.size()) return false;
            out.push_back(text[pos++]);
        } else {
            out.push_back(c);
        }
    }
    return false;
}

// Reads "key"=>"value" starting at pos.
bool readPair(std::string_view text, size_t& pos, std::string& key, std::string& value) {
    if (!readQuoted(text, pos, key)) return false;
    skipSpaces(text, pos);
    if (text.substr(pos, 2) != "=>") return false;
    pos += 2;
    skipSpaces(text, pos);
    return readQuoted(text, pos, value);
}

}  // namespace

OtherTags OtherTags::parse(std::string_view text) {
    OtherTags tags;
    size_t pos = 0;
    std::string key;
    std::string value;
    skipSpaces(text, pos);
    while (pos < text.size()) {
        if (!readPair(text, pos, key, value)) {
            tags.complete_ = false;
            break;
        }
        tags.pairs_.emplace_back(key, value);
        skipSpaces(text, pos);
        if (pos == text.size()) break;
        // Pairs are separated by commas; a trailing comma is malformed too.
        if (text[pos] != ',') {
            tags.complete_ = false;
            break;
        }
        ++pos;
        skipSpaces(text, pos);
        if (pos == text.size()) tags.complete_ = false;
    }
    return tags;
}

std::string_view OtherTags::value(std::string_view key) const {
    for (const auto& [k, v] : pairs_)
        if (k == key) return v;
    return {};
}

}  // namespace mvx
