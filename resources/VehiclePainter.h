#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace resources {

// The vehicle pictures: twelve kinds of vehicle (car, van, lorry, tipper, tanker, bus, crane
// truck, tractor, combine harvester, motorcycle, aeroplane, boat) in fourteen body colours, 168 in
// all. Picture n is kind n / 14 in colour n % 14, seen from the side facing right.
class VehiclePainter {
public:
    static constexpr int KindCount = 12;
    static constexpr int ColorCount = 14;
    static constexpr int Count = KindCount * ColorCount;

    // Draws picture n (0..Count-1) into the square `box` on a transparent background.
    static void draw(QPainter& painter, int n, const QRectF& box);
    static QColor bodyColor(int n);
};

}  // namespace resources
