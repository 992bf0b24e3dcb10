#pragma once

#include <QVector>

#include "compute/Telemetry.h"

namespace telvika::server {

// The instants (UTC days, increasing) of a tank's readings: a column of their own, or the records'
// own time fields when every record carries a reading (a month at 1 Hz need not be copied).
class ReadingTimes {
public:
    explicit ReadingTimes(const QVector<double>& times)
        : first_(reinterpret_cast<const char*>(times.constData())), stride_(sizeof(double)) {}
    explicit ReadingTimes(const TelemetryPoint* records)
        : first_(reinterpret_cast<const char*>(&records->time)), stride_(sizeof(TelemetryPoint)) {}
    double operator[](qsizetype i) const { return *reinterpret_cast<const double*>(first_ + i * stride_); }

private:
    const char* first_;
    qsizetype stride_;
};

// Smooths a noisy fuel level: a median of five neighbouring readings removes single wild readings,
// then a centred moving average over a time window evens out sensor noise and the sloshing of fuel
// while driving. A real refuelling or drain is a step of many litres that survives the smoothing as
// a ramp as long as the window.
class FuelSmoother {
public:
    explicit FuelSmoother(double windowSec) : windowSec_(windowSec) {}

    // The smoothed levels of readings at `times`, in the place of `levels`.
    QVector<double> smooth(ReadingTimes times, QVector<double> levels) const;

private:
    double windowSec_;
};

}  // namespace telvika::server
