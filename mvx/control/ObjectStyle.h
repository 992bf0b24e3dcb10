#pragma once

#include <QColor>
#include <QPoint>
#include <QString>

namespace mvx {

// What a style string asks for; see docs/style-strings.md for the grammar.
enum class StyleKind { Line, Area, Icon, Text, Box };

// A parsed style string. Only the members of its kind are meaningful.
struct ObjectStyle {
    StyleKind kind = StyleKind::Line;
    QColor color{0, 0, 0};  // line, area fill, text colour; the icon's transparent key

    double width = 1.0;  // line: pen width in pixels
    int opacity = 100;   // area: fill opacity in percent

    QString resource;  // icon: bundle file name
    int iconIndex = 0;
    int iconSize = 16;  // icon: edge in pixels

    QString text;  // text and box
    QString fontFace;
    int charset = 0;
    double fontSize = 8.0;  // points

    QPoint offset;  // box: shift of the caption from the object's pixel
    QColor background{255, 255, 255};
    QString align;  // box: "center", "left" or "right" of the shifted point
    int radius = 0;
    int padding = 0;
    int frameWidth = 0;
    QColor frameColor{0, 0, 0};

    // "line", "area", "icon", "text" or "box".
    QString kindName() const;
    // Line and area styles need a geometry of several points; the others place at one point.
    bool isPointStyle() const { return kind == StyleKind::Icon || kind == StyleKind::Text || kind == StyleKind::Box; }
};

}  // namespace mvx
