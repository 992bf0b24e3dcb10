#pragma once

#include <QVector>

#include "compute/Computation.h"
#include "compute/FuelSmoother.h"

namespace telvika::server {

// A refuelling (rise) or drain (fall) of a tank, as indices into a fuel series.
struct TankEvent {
    int first = 0;  // reading before the change
    int last = 0;   // reading after the change
    double levelBefore = 0.0;  // smoothed litres
    double levelAfter = 0.0;
};

// Finds refuellings and drains in a smoothed fuel level: places where the level changes by at least
// the jump threshold within the jump time (or across a gap in the readings). Slow consumption while
// driving stays far below the threshold within that time.
class TankEventDetector {
public:
    explicit TankEventDetector(const ComputeSettings& settings)
        : jumpLitres_(settings.tankJumpLitres), jumpMaxSec_(settings.tankJumpMaxSec),
          smoothingSec_(settings.tankSmoothingSec) {}

    QVector<TankEvent> detect(ReadingTimes times, const QVector<double>& smoothed) const;

private:
    TankEvent shape(ReadingTimes times, const QVector<double>& levels, int from, int to,
                    bool rise) const;

    double jumpLitres_;
    double jumpMaxSec_;
    double smoothingSec_;
};

}  // namespace telvika::server
