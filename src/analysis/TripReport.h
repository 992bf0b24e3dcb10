#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

#include "analysis/TripRecord.h"

class QPainter;
class QRectF;

namespace telvika::analysis {

// What the report draws besides the trip's own data.
struct TReportExtras {
    // Draws the map of the whole trip into a rectangle and returns its scale (1:N); empty when
    // there is no map control.
    std::function<double(QPainter&, const QRectF&)> drawMap;
    bool mapLoaded = false;   // false: the report says that the map is missing
    QStringList places;       // the place of each entry of the trip, in the same order
    QVector<bool> markedKinds;  // kinds marked on the speed chart (their icons shown on the map)
    QVector<QImage> kindIcons;  // by kind position
};

// Writes an A4 report of the trip through Qt's PDF writer: the header (group, vehicle name,
// number, device, trip number, begin, end, duration), the map of the whole trip, the speed chart,
// the summary and a table of every entry of the listed kinds (kind, begin, end, duration, place).
// The file is written to a temporary file that replaces `path` only when complete; false with a
// Russian message, the old file left as it was.
bool writeTripReport(const TTripRecord& trip, const TReportExtras& extras, const QString& path, QString* error);

}  // namespace telvika::analysis
