#include "ObjectStyle.h"

namespace mvx {

QString ObjectStyle::kindName() const {
    switch (kind) {
        case StyleKind::Line: return QStringLiteral("line");
        case StyleKind::Area: return QStringLiteral("area");
        case StyleKind::Icon: return QStringLiteral("icon");
        case StyleKind::Text: return QStringLiteral("text");
        case StyleKind::Box: return QStringLiteral("box");
    }
    return QString();
}

}  // namespace mvx
