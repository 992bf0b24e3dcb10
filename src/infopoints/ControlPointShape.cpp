#include "infopoints/ControlPointShape.h"

#include <cmath>
#include <numbers>

#include "common/NumberText.h"

namespace infopoints {

double radiusToDegrees(double metres) {
    return metres * 180.0 / 20015159.0526516052887;
}

QString coordinateText(double degrees) {
    QString s = telvika::generalTextDot(degrees);
    s.replace(QLatin1Char(','), QLatin1Char('.'));
    return s;
}

QString circleText(double longitude, double latitude, double radiusMetres) {
    const double d = radiusToDegrees(radiusMetres);
    const double widen = std::cos(latitude * std::numbers::pi / 180.0);
    QString text;
    for (int k = 0; k <= 30; ++k) {
        // The 31st point closes the ring on the first one exactly: at a full turn the sine is not
        // exactly zero in floating point and would leave a gap of about 1e-18 degrees.
        const double a = (k % 30) * 12 * std::numbers::pi / 180.0;
        const double x = std::cos(a) * d / widen + longitude;
        const double y = std::sin(a) * d + latitude;
        if (k > 0) text += QLatin1Char(',');
        text += coordinateText(x) + QLatin1Char(' ') + coordinateText(y);
    }
    return text;
}

QString controlPointLabel(const QString& name, const QString& note) {
    return name + QLatin1Char('(') + note + QLatin1Char(')');
}

}  // namespace infopoints
