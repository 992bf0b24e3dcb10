#pragma once

#include "ObjectCommand.h"

#include <QString>

namespace mvx {

// Parses object-set commands, clauses separated by ';':
//   name=word | name='quoted text'      the set's name (required)
//   metrics=[field]                     geometry text in a field
//   coords=[latfield],[lonfield]        a point from two fields
//   style=[field]                       per-record style
// Exactly one of metrics and coords. Never throws: a bad command gives false and a reason.
class CommandParser {
public:
    static bool parse(const QString& text, ObjectCommand& command, QString& error);
};

}  // namespace mvx
