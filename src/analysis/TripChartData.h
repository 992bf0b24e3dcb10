#pragma once

#include <QImage>
#include <QVector>

#include "analysis/SpeedChartPainter.h"
#include "analysis/TripRecord.h"

namespace telvika::analysis {

// The chart of a trip: its speed, its stops, and its entries of the kinds whose icons are shown
// (marked[kind] true) with the kinds' icons (by kind position; the stops and the other kinds of
// the settings' list).
void fillChartData(TSpeedChartData& data, const TTripRecord& trip, const QVector<bool>& marked,
                   const QVector<QImage>& icons);

}  // namespace telvika::analysis
