#include "chart/ChartStyle.h"

#include <array>

namespace mvx {

namespace {

constexpr double Always = 1e12;

// Indexed by FeatureKind, in its order.
const std::array<KindStyle, FeatureKindCount> kStyles = {{
    {qRgb(0xe0, 0xdf, 0xdf), 0, 0, 0, Qt::SolidLine, 400000, 0},                      // Residential
    {qRgb(0xeb, 0xdb, 0xe8), 0, 0, 0, Qt::SolidLine, 400000, 0},                      // Industrial
    {qRgb(0xf2, 0xda, 0xd9), 0, 0, 0, Qt::SolidLine, 400000, 0},                      // Commercial
    {qRgb(0xee, 0xf0, 0xd5), 0, 0, 0, Qt::SolidLine, 400000, 0},                      // Farmland
    {qRgb(0xad, 0xd1, 0x9e), 0, 0, 0, Qt::SolidLine, Always, 0},                      // Forest
    {qRgb(0xc8, 0xfa, 0xcc), 0, 0, 0, Qt::SolidLine, 400000, 10000},                  // Park
    {qRgb(0xaa, 0xcb, 0xaf), 0, 0, 0, Qt::SolidLine, 100000, 0},                      // Cemetery
    {qRgb(0xd6, 0xec, 0xea), 0, 0, 0, Qt::SolidLine, 400000, 0},                      // Wetland
    {qRgb(0xf5, 0xe9, 0xc6), 0, 0, 0, Qt::SolidLine, 400000, 0},                      // Sand
    {qRgb(0xee, 0xee, 0xee), qRgb(0xd0, 0xd0, 0xd0), 0, 0, Qt::SolidLine, 15000, 0},  // Parking
    {qRgb(0xaa, 0xd3, 0xdf), 0, 0, 0, Qt::SolidLine, Always, 30000},                  // Water
    {qRgb(0xaa, 0xd3, 0xdf), 0, 25, 2.0, Qt::SolidLine, Always, 30000},               // River
    {qRgb(0xaa, 0xd3, 0xdf), 0, 3, 1.0, Qt::SolidLine, 50000, 0},                     // Stream
    {qRgb(0xd9, 0xd0, 0xc9), qRgb(0xc4, 0xb6, 0xab), 0, 0, Qt::SolidLine, 30000, 0},  // Building
    {qRgb(0xfa, 0x80, 0x72), 0, 2, 1.0, Qt::DashLine, 15000, 0},                      // Path
    {qRgb(0x99, 0x66, 0x00), 0, 3, 1.0, Qt::DashLine, 25000, 0},                      // Track
    {qRgb(0xff, 0xff, 0xff), qRgb(0xbb, 0xbb, 0xbb), 6, 2.0, Qt::SolidLine, 25000, 0},     // Service
    {qRgb(0xff, 0xff, 0xff), qRgb(0xbb, 0xbb, 0xbb), 10, 3.0, Qt::SolidLine, 100000, 30000},  // MinorRoad
    {qRgb(0xff, 0xff, 0xff), qRgb(0xa0, 0xa0, 0xa0), 12, 4.0, Qt::SolidLine, 100000, 30000},  // Tertiary
    {qRgb(0xf7, 0xfa, 0xbf), qRgb(0xa3, 0x7b, 0x48), 14, 4.5, Qt::SolidLine, 500000, 60000},  // Secondary
    {qRgb(0xfc, 0xd6, 0xa4), qRgb(0xa0, 0x6b, 0x00), 16, 5.0, Qt::SolidLine, Always, 60000},  // Primary
    {qRgb(0xf9, 0xb2, 0x9c), qRgb(0xc8, 0x4e, 0x2f), 18, 5.5, Qt::SolidLine, Always, 60000},  // Trunk
    {qRgb(0xe8, 0x92, 0xa2), qRgb(0xdc, 0x2a, 0x67), 22, 6.0, Qt::SolidLine, Always, 60000},  // Motorway
    {qRgb(0x70, 0x70, 0x70), 0, 4, 2.5, Qt::SolidLine, Always, 0},                    // Rail
    {qRgb(0x90, 0x90, 0x90), 0, 2, 1.5, Qt::SolidLine, 50000, 0},                     // MinorRail
    {0, 0, 0, 0, Qt::SolidLine, Always, Always},                                      // PlaceCity
    {0, 0, 0, 0, Qt::SolidLine, 100000, 100000},                                      // PlaceSuburb
    {0, 0, 0, 0, Qt::SolidLine, 30000, 30000},                                        // PlaceLocal
}};

}  // namespace

const KindStyle& ChartStyle::of(FeatureKind kind) {
    static const KindStyle none{};
    const int i = kindIndex(kind);
    return i >= 0 && i < FeatureKindCount ? kStyles[static_cast<size_t>(i)] : none;
}

QColor ChartStyle::labelText(FeatureKind kind) {
    if (kind == FeatureKind::Water || kind == FeatureKind::River) return QColor(0x2b, 0x5f, 0x8a);
    if (kind == FeatureKind::Park) return QColor(0x2f, 0x6b, 0x34);
    if (isPlace(kind)) return QColor(0x22, 0x22, 0x22);
    return QColor(0x33, 0x33, 0x33);
}

}  // namespace mvx
