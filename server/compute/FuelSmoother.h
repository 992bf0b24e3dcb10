#pragma once

#include <QVector>

namespace telvika::server {

// A fuel level series: the readings of one tank.
struct FuelSeries {
    QVector<double> times;   // instants (UTC days), increasing
    QVector<double> levels;  // litres
};

// Smooths a noisy fuel level: a median of five neighbouring readings removes single wild readings,
// then a centred moving average over a time window evens out sensor noise and the sloshing of fuel
// while driving. A real refuelling or drain is a step of many litres that survives the smoothing as
// a ramp as long as the window.
class FuelSmoother {
public:
    explicit FuelSmoother(double windowSec) : windowSec_(windowSec) {}

    QVector<double> smooth(const FuelSeries& series) const;

private:
    double windowSec_;
};

}  // namespace telvika::server
