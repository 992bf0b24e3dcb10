#pragma once

#include <QVector>

#include <cmath>
#include <numbers>

#include "compute/Telemetry.h"

// Hand-made telemetry: a vehicle that drives east or stands, sampled at a fixed step, with
// switches for fix, power, sensors and tank levels that apply to the samples written after them.
class TelemetryScript {
public:
    static constexpr double t0 = 46000.0;  // 2025-12-07 00:00 as an OLE date
    static double at(double seconds) { return t0 + seconds / 86400.0; }

    explicit TelemetryScript(double stepSec = 10.0) : step_(stepSec) {}

    // Drives east at a constant speed for the given time (samples at every step after now).
    TelemetryScript& drive(double seconds, double kmh) {
        for (double s = step_; s <= seconds + 1e-9; s += step_) sample(step_, kmh, kmh);
        return *this;
    }
    // Stands for the given time.
    TelemetryScript& stand(double seconds) {
        for (double s = step_; s <= seconds + 1e-9; s += step_) sample(step_, 0.0, 0.0);
        return *this;
    }
    // One sample after dt seconds at a speed; the position moves by `moveKmh` over dt.
    TelemetryScript& sample(double dt, double speedKmh, double moveKmh) {
        now_ += dt;
        const double metres = moveKmh / 3.6 * dt;
        lon_ += metres / (111320.0 * std::cos(lat_ * std::numbers::pi / 180.0));
        odo_ += metres;
        push(speedKmh);
        return *this;
    }
    // The first sample, at the current time and place.
    TelemetryScript& start() {
        push(0.0);
        return *this;
    }
    TelemetryScript& skip(double seconds) {
        now_ += seconds;
        return *this;
    }
    TelemetryScript& fix(bool valid) { fix_ = valid; return *this; }
    TelemetryScript& power(bool on) { power_ = on; return *this; }
    TelemetryScript& sensors(quint8 bits) { sensors_ = bits; return *this; }
    TelemetryScript& tank1(double litres) { tank1_ = litres; return *this; }
    TelemetryScript& tank2(double litres) { tank2_ = litres; return *this; }

    double now() const { return now_; }
    double lon() const { return lon_; }
    double lat() const { return lat_; }
    QVector<telvika::server::TelemetryPoint>& points() { return points_; }

private:
    void push(double speedKmh) {
        telvika::server::TelemetryPoint p;
        p.time = at(now_);
        p.lat = lat_;
        p.lon = lon_;
        p.speedKmh = speedKmh;
        p.odometerM = odo_;
        p.gpsValid = fix_;
        p.externalPower = power_;
        p.sensors = sensors_;
        p.tank1 = tank1_;
        p.tank2 = tank2_;
        points_.push_back(p);
    }

    double step_;
    double now_ = 0.0;
    double lat_ = 55.75;
    double lon_ = 37.62;
    double odo_ = 0.0;
    bool fix_ = true;
    bool power_ = true;
    quint8 sensors_ = 0;
    double tank1_ = NAN;
    double tank2_ = NAN;
    QVector<telvika::server::TelemetryPoint> points_;
};
