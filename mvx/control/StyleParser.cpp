#include "StyleParser.h"

#include "TextScanner.h"

namespace mvx {

namespace {

// "Face charset": the face is everything before the last blank, the charset the number after it.
// A face without a charset number gets charset 0.
bool splitFont(const QString& font, QString& face, int& charset) {
    const QString t = font.trimmed();
    const int blank = t.lastIndexOf(u' ');
    if (blank > 0) {
        bool ok = false;
        const int cs = t.mid(blank + 1).toInt(&ok);
        if (ok && cs >= 0 && cs <= 255) {
            face = t.left(blank).trimmed();
            charset = cs;
            return !face.isEmpty();
        }
    }
    face = t;
    charset = 0;
    return !face.isEmpty();
}

bool inRange(double v, double lo, double hi) { return v >= lo && v <= hi; }

}  // namespace

bool StyleParser::parse(const QString& text, ObjectStyle& style, QString& error) {
    TextScanner s(text);
    ObjectStyle st;
    QString kind;
    if (!s.readWord(kind)) {
        error = QStringLiteral("empty style");
        return false;
    }
    auto fail = [&](const char* what) {
        error = QStringLiteral("style \"%1\": %2 at position %3").arg(text, QLatin1String(what)).arg(s.position());
        return false;
    };
    QString font;
    if (kind == u"l") {
        st.kind = StyleKind::Line;
        if (!s.readColor(st.color)) return fail("expected rgb(r,g,b)");
        if (!s.readNumber(st.width) || !inRange(st.width, 0, 100)) return fail("expected a line width 0..100");
    } else if (kind == u"a") {
        st.kind = StyleKind::Area;
        if (!s.readColor(st.color)) return fail("expected rgb(r,g,b)");
        if (!s.readInt(st.opacity) || !inRange(st.opacity, 0, 100)) return fail("expected an opacity 0..100");
    } else if (kind == u"m") {
        st.kind = StyleKind::Icon;
        if (!s.readQuoted(st.resource) || st.resource.trimmed().isEmpty()) return fail("expected 'bundle file'");
        if (!s.readInt(st.iconIndex) || st.iconIndex < 0) return fail("expected an icon number");
        if (!s.readColor(st.color)) return fail("expected rgb(r,g,b)");
        if (!s.readInt(st.iconSize) || !inRange(st.iconSize, 1, 512)) return fail("expected an icon size 1..512");
    } else if (kind == u"t" || kind == u"b") {
        st.kind = kind == u"t" ? StyleKind::Text : StyleKind::Box;
        if (st.kind == StyleKind::Box && !s.readOffset(st.offset)) return fail("expected :dx dy:");
        if (!s.readQuoted(st.text)) return fail("expected 'text'");
        if (!s.readQuoted(font) || !splitFont(font, st.fontFace, st.charset)) return fail("expected 'Face charset'");
        if (!s.readNumber(st.fontSize) || !inRange(st.fontSize, 1, 200)) return fail("expected a font size 1..200");
        if (!s.readColor(st.color)) return fail("expected rgb(r,g,b)");
        if (st.kind == StyleKind::Box) {
            if (!s.acceptKeyword(QStringLiteral("on"))) return fail("expected 'on'");
            if (!s.readColor(st.background)) return fail("expected a background rgb(r,g,b)");
            QString align;
            if (!s.readWord(align)) return fail("expected center, left or right");
            align = align.toLower();
            if (align != u"center" && align != u"left" && align != u"right") return fail("expected center, left or right");
            st.align = align;
            if (!s.readInt(st.radius) || !inRange(st.radius, 0, 100)) return fail("expected a corner radius 0..100");
            if (!s.readInt(st.padding) || !inRange(st.padding, 0, 100)) return fail("expected a padding 0..100");
            if (!s.readInt(st.frameWidth) || !inRange(st.frameWidth, 0, 100)) return fail("expected a frame width 0..100");
            if (!s.readColor(st.frameColor)) return fail("expected a frame rgb(r,g,b)");
        }
    } else {
        error = QStringLiteral("style \"%1\": unknown kind \"%2\"").arg(text, kind);
        return false;
    }
    if (!s.atEnd()) return fail("unexpected text");
    style = st;
    return true;
}

}  // namespace mvx
