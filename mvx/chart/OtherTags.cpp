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

}  // namespace

OtherTags OtherTags::parse(std::string_view text) {
    OtherTags tags;
    size_t pos = 0;
    skipSpaces(text, pos);
    std::string key;
    std::string value;
    while (pos < text.size()) {
        if (!readQuoted(text, pos, key)) break;
        skipSpaces(text, pos);
        if (text.substr(pos, 2) != "=>") break;
        pos += 2;
        skipSpaces(text, pos);
        if (!readQuoted(text, pos, value)) break;
        tags.pairs_.emplace_back(key, value);
        skipSpaces(text, pos);
        if (pos == text.size()) return tags;
        if (text[pos] != ',') break;
        ++pos;
        skipSpaces(text, pos);
        if (pos == text.size()) break;  // a trailing comma
    }
    // Reached on a malformed pair, or at once for an empty text (which is well formed).
    tags.complete_ = tags.pairs_.empty() && pos == text.size();
    return tags;
}

std::string_view OtherTags::value(std::string_view key) const {
    for (const auto& [k, v] : pairs_)
        if (k == key) return v;
    return {};
}

}  // namespace mvx
