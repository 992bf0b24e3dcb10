#include "import/PlainGpxScanner.h"

#include <cstring>

namespace telvika::server::import {

namespace {

constexpr qsizetype Chunk = 1 << 20;
constexpr qsizetype LongestToken = 1 << 20;  // a longer tag or comment is left to Qt

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isNameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool isNameChar(char c) { return isNameStart(c) || (c >= '0' && c <= '9') || c == '.' || c == '-'; }

// Checks characters of text, attribute values and comments: UTF-8 of XML characters only.
bool validCharacters(const char* p, const char* end) {
    while (p < end) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
            ++p;
            continue;
        }
        int extra = 0;
        unsigned int code = 0;
        if (c >= 0xC2 && c <= 0xDF) extra = 1, code = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF) extra = 2, code = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4) extra = 3, code = c & 0x07;
        else return false;
        if (end - p <= extra) return false;
        for (int i = 1; i <= extra; ++i) {
            const unsigned char d = static_cast<unsigned char>(p[i]);
            if ((d & 0xC0) != 0x80) return false;
            code = (code << 6) | (d & 0x3F);
        }
        const unsigned int least[] = {0, 0x80, 0x800, 0x10000};
        if (code < least[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE ||
            code == 0xFFFF)
            return false;
        p += extra + 1;
    }
    return true;
}

// A name with at most one prefix: "trkpt", "gpxtpx:hr". Returns its length (0: no name).
qsizetype nameLength(const char* p, const char* end, QByteArrayView* prefix) {
    const char* q = p;
    if (q >= end || !isNameStart(*q)) return 0;
    while (q < end && isNameChar(*q)) ++q;
    *prefix = QByteArrayView();
    if (q < end && *q == ':') {
        *prefix = QByteArrayView(p, q - p);
        ++q;
        if (q >= end || !isNameStart(*q)) return 0;
        while (q < end && isNameChar(*q)) ++q;
    }
    return q - p;
}

QByteArrayView localName(QByteArrayView name) {
    const qsizetype colon = name.indexOf(':');
    return colon < 0 ? name : name.sliced(colon + 1);
}

// Text as QXmlStreamReader gives it: line ends made "\n"; in attribute values every blank a space.
QString normalized(const char* p, qsizetype n, bool attribute) {
    QString s = QString::fromUtf8(p, n);
    if (s.contains(QLatin1Char('\r'))) {
        s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    }
    if (attribute) {
        for (QChar& c : s)
            if (c == QLatin1Char('\t') || c == QLatin1Char('\n')) c = QLatin1Char(' ');
    }
    return s;
}

}  // namespace

bool PlainGpxScanner::have(qsizetype n) {
    if (buffer_.size() - pos_ >= n) return true;
    if (n > LongestToken) return false;
    buffer_.remove(0, pos_);
    pos_ = 0;
    while (!eof_ && buffer_.size() < n) {
        const qsizetype before = buffer_.size();
        buffer_.resize(before + Chunk);
        const qint64 got = input_.read(buffer_.data() + before, Chunk);
        buffer_.resize(before + std::max<qint64>(got, 0));
        if (got <= 0) eof_ = true;
    }
    return buffer_.size() >= n;
}

qsizetype PlainGpxScanner::find(char c, qsizetype from) {
    while (true) {
        const char* base = buffer_.constData() + pos_;
        const qsizetype size = buffer_.size() - pos_;
        if (from < size) {
            const char* at = static_cast<const char*>(std::memchr(base + from, c, size - from));
            if (at) return at - base;
            from = size;
        }
        if (!have(from + 1)) return -1;
    }
}

bool PlainGpxScanner::declared(QByteArrayView prefix) const {
    if (prefix == "xml") return true;
    for (const QByteArray& p : prefixes_)
        if (p == prefix) return true;
    return false;
}

bool PlainGpxScanner::declaration() {
    // <?xml version="1.0" [encoding="UTF-8"] [standalone="yes|no"]?>, blanks as XML allows them.
    const qsizetype close = find('>', 5);
    if (close < 0 || buffer_[pos_ + close - 1] != '?') return false;
    const QByteArrayView body(buffer_.constData() + pos_ + 5, close - 6);
    int part = 0;  // 0 version, 1 encoding, 2 standalone: each at most once and in this order
    qsizetype i = 0;
    while (true) {
        const qsizetype blanks = i;
        while (i < body.size() && isBlank(body[i])) ++i;
        if (i == body.size()) break;
        if (i == blanks) return false;
        const qsizetype eq = body.indexOf('=', i);
        if (eq < 0) return false;
        QByteArrayView key = body.sliced(i, eq - i).trimmed();
        qsizetype v = eq + 1;
        while (v < body.size() && isBlank(body[v])) ++v;
        if (v >= body.size() || (body[v] != '"' && body[v] != '\'')) return false;
        const qsizetype quote = body.indexOf(body[v], v + 1);
        if (quote < 0) return false;
        const QByteArray value = body.sliced(v + 1, quote - v - 1).toByteArray().toLower();
        if (key == "version" && part == 0 && value == "1.0") part = 1;
        else if (key == "encoding" && part == 1 && value == "utf-8") part = 2;
        else if (key == "standalone" && part >= 1 && part <= 2 && (value == "yes" || value == "no")) part = 3;
        else return false;
        i = quote + 1;
    }
    if (part == 0) return false;
    pos_ += close + 1;
    return true;
}

bool PlainGpxScanner::comment() {
    // "<!--" then no "--" until "-->".
    for (qsizetype from = 4;;) {
        const qsizetype dash = find('-', from);
        if (dash < 0 || !have(dash + 3)) return false;
        const char* base = buffer_.constData() + pos_;
        if (base[dash + 1] != '-') {
            from = dash + 1;
            continue;
        }
        if (base[dash + 2] != '>' || !validCharacters(base + 4, base + dash)) return false;
        pos_ += dash + 3;
        return true;
    }
}

bool PlainGpxScanner::text(qsizetype end) {
    const char* p = buffer_.constData() + pos_;
    const char* e = buffer_.constData() + end;
    if (open_.empty()) {
        for (; p < e; ++p)
            if (!isBlank(*p)) return false;
        pos_ = end;
        return true;
    }
    for (const char* q = p; q < e; ++q) {
        if (*q == '&') return false;
        if (*q == '>' && q - p >= 2 && q[-1] == ']' && q[-2] == ']') return false;
    }
    if (!validCharacters(p, e)) return false;
    if (textTarget_ && static_cast<int>(open_.size()) == textDepth_) *textTarget_ += normalized(p, e - p, false);
    pos_ = end;
    return true;
}

bool PlainGpxScanner::startTag(const Point* point) {
    // The whole tag, up to the '>' outside quotes (offsets from pos_).
    qsizetype close = 1;
    for (char quote = 0;; ++close) {
        if (!have(close + 1)) return false;
        const char c = buffer_[pos_ + close];
        if (quote) {
            if (c == quote) quote = 0;
            else if (c == '<' || c == '&') return false;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            break;
        } else if (c == '<') {
            return false;
        }
    }
    const char* base = buffer_.constData() + pos_;
    const char* p = base + 1;
    const char* end = base + close;
    QByteArrayView prefix;
    const qsizetype n = nameLength(p, end, &prefix);
    if (n == 0) return false;
    const QByteArrayView name(p, n);
    p += n;
    const bool root = open_.empty();
    if (root && (rootSeen_ || localName(name) != "gpx")) return false;

    struct Attribute {
        QByteArrayView name, prefix;
        const char* value;
        qsizetype length;
    };
    Attribute attributes[32];
    int count = 0;
    int declaredHere = 0;
    bool empty = false;
    while (true) {
        const char* blanks = p;
        while (p < end && isBlank(*p)) ++p;
        if (p == end) break;
        if (*p == '/') {
            if (p + 1 != end) return false;
            empty = true;
            break;
        }
        if (p == blanks || count == 32) return false;
        Attribute& a = attributes[count++];
        const qsizetype an = nameLength(p, end, &a.prefix);
        if (an == 0) return false;
        a.name = QByteArrayView(p, an);
        p += an;
        while (p < end && isBlank(*p)) ++p;
        if (p == end || *p != '=') return false;
        ++p;
        while (p < end && isBlank(*p)) ++p;
        if (p == end || (*p != '"' && *p != '\'')) return false;
        const char* q = static_cast<const char*>(std::memchr(p + 1, *p, end - p - 1));
        if (!q) return false;
        a.value = p + 1;
        a.length = q - p - 1;
        if (!validCharacters(a.value, q)) return false;
        p = q + 1;
        for (int k = 0; k < count - 1; ++k)
            if (localName(attributes[k].name) == localName(a.name)) return false;
        if (a.prefix == "xmlns") {
            const QByteArrayView declaredName = a.name.sliced(6);
            if (a.length == 0 || declaredName == "xml" || declaredName == "xmlns") return false;
            prefixes_.push_back(declaredName.toByteArray());
            ++declaredHere;
        }
    }
    // Prefixes declared in this tag count for its own name and attributes.
    auto undo = [&] { prefixes_.resize(prefixes_.size() - declaredHere); };
    if (!prefix.isEmpty() && !declared(prefix)) return undo(), false;
    for (int k = 0; k < count; ++k)
        if (!attributes[k].prefix.isEmpty() && attributes[k].prefix != "xmlns" && !declared(attributes[k].prefix))
            return undo(), false;
    rootSeen_ = true;
    pos_ += close + 1;

    const QByteArrayView local = localName(name);
    const bool collecting = textTarget_ != nullptr;
    if (point && !collecting) {
        if (local == "trkpt") {
            pointDepth_ = static_cast<int>(open_.size()) + 1;
            hasLat_ = hasLon_ = false;
            lat_.clear();
            lon_.clear();
            time_.clear();
            speed_.clear();
            for (int k = 0; k < count; ++k) {
                if (attributes[k].name == "lat" && !hasLat_) {
                    lat_ = normalized(attributes[k].value, attributes[k].length, true);
                    hasLat_ = true;
                } else if (attributes[k].name == "lon" && !hasLon_) {
                    lon_ = normalized(attributes[k].value, attributes[k].length, true);
                    hasLon_ = true;
                }
            }
        } else if (pointDepth_ >= 0 && (local == "time" || local == "speed")) {
            QString& target = local == "time" ? time_ : speed_;
            target.clear();
            if (!empty) {
                textTarget_ = &target;
                textDepth_ = static_cast<int>(open_.size()) + 1;
            }
        }
    }
    if (empty) {
        undo();
        if (root) rootClosed_ = true;
        if (point && !collecting && local == "trkpt") {
            pointDepth_ = -1;
            if (!(*point)(hasLat_ ? QStringView(lat_) : QStringView(), hasLon_ ? QStringView(lon_) : QStringView(),
                          time_, speed_))
                stopped_ = true;
        }
        return true;
    }
    open_.push_back({name.toByteArray(), declaredHere});
    return true;
}

bool PlainGpxScanner::endTag(const Point* point) {
    const qsizetype offset = find('>', 2);
    if (offset < 0) return false;
    const char* base = buffer_.constData() + pos_;
    const char* close = base + offset;
    const char* p = base + 2;
    QByteArrayView prefix;
    const qsizetype n = nameLength(p, close, &prefix);
    if (n == 0 || open_.empty()) return false;
    const QByteArrayView name(p, n);
    for (const char* q = p + n; q < close; ++q)
        if (!isBlank(*q)) return false;
    if (open_.back().name != name) return false;
    prefixes_.resize(prefixes_.size() - open_.back().prefixes);
    const int depth = static_cast<int>(open_.size());
    open_.pop_back();
    pos_ += offset + 1;
    if (open_.empty()) rootClosed_ = true;
    if (!point) return true;
    if (textTarget_) {
        if (depth == textDepth_) textTarget_ = nullptr;
        return true;
    }
    if (localName(name) == "trkpt") {
        pointDepth_ = -1;
        if (!(*point)(hasLat_ ? QStringView(lat_) : QStringView(), hasLon_ ? QStringView(lon_) : QStringView(), time_,
                      speed_))
            stopped_ = true;
    }
    return true;
}

bool PlainGpxScanner::scan(const Point* point) {
    if (have(3) && std::memcmp(buffer_.constData() + pos_, "\xEF\xBB\xBF", 3) == 0) pos_ += 3;
    have(256);  // the declaration, when there is one, in the buffer
    if (have(6) && std::memcmp(buffer_.constData() + pos_, "<?xml", 5) == 0 && isBlank(buffer_[pos_ + 5]) &&
        !declaration())
        return false;
    while (!stopped_) {
        // Text up to the next tag.
        const qsizetype lt = find('<', 0);
        if (lt < 0) return text(buffer_.size()) && rootSeen_ && rootClosed_ && open_.empty();
        if (!text(pos_ + lt)) return false;
        if (!have(4)) return false;
        const char next = buffer_[pos_ + 1];
        bool ok;
        if (next == '/') ok = endTag(point);
        else if (next == '!') ok = std::memcmp(buffer_.constData() + pos_, "<!--", 4) == 0 && comment();
        else if (next == '?') ok = false;
        else ok = !rootClosed_ && startTag(point);
        if (!ok) return false;
    }
    return true;
}

}  // namespace telvika::server::import
