#pragma once

#include "ObjectStyle.h"

#include <QString>

namespace mvx {

// Parses the style strings of object sets:
//   l rgb(r,g,b) w                          line of width w pixels
//   a rgb(r,g,b) n                          area filled at n % opacity
//   m 'file.res' n rgb(r,g,b) s             icon n of a resource bundle, s pixels wide
//   t 'text' 'Face charset' size rgb(r,g,b) text
//   b :dx dy: 'text' 'Face charset' size rgb(...) on rgb(...) align radius padding frame rgb(...)
// Quoted texts double an inner quote (''). Never throws: a bad string gives false and a reason.
class StyleParser {
public:
    static bool parse(const QString& text, ObjectStyle& style, QString& error);
};

}  // namespace mvx
