#pragma once

#include <QFont>
#include <QString>

namespace mvx {

// Turns a style's "Face charset" into an installed font: the face itself when it is installed and
// covers the charset's script, else DejaVu Sans (which covers Cyrillic), else the default font.
class FontResolver {
public:
    static QFont resolve(const QString& face, int charset, double pointSize);
    // The family resolve() uses for a face and charset.
    static QString family(const QString& face, int charset);
};

}  // namespace mvx
