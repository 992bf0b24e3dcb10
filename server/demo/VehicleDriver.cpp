#include "demo/VehicleDriver.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace telvika::server::demo {

namespace {

constexpr double turnSpeed = 20.0 / 3.6;

double headingChange(QPointF a, QPointF b, QPointF c) {
    const double h1 = std::atan2(b.y() - a.y(), b.x() - a.x());
    const double h2 = std::atan2(c.y() - b.y(), c.x() - b.x());
    double d = std::fabs(h2 - h1);
    if (d > std::numbers::pi) d = 2 * std::numbers::pi - d;
    return d * 180.0 / std::numbers::pi;
}

}  // namespace

VehicleDriver::VehicleDriver(const TownPlan& plan, const VehicleProfile& profile, quint32 seed,
                             double startOle, int startNode)
    : plan_(plan), profile_(profile), rng_(seed), sec_(startOle * 86400.0), node_(startNode),
      lastFix_(plan.graph.node(startNode)) {
    fuel1_ = profile.tank1Capacity * 0.7;
    fuel2_ = profile.tank2Capacity * 0.7;
}

void VehicleDriver::record(QPointF at, double speedMs, bool moving, quint8 sensors, bool valid, bool power) {
    if (sec_ > clipSec_) return;
    TelemetryPoint p;
    p.time = sec_ / 86400.0;
    // Receiver noise: a few metres while driving, more scatter while standing.
    const QPointF fix = at + QPointF(noise(moving ? 3.0 : 6.0), noise(moving ? 3.0 : 6.0));
    if (valid) lastFix_ = fix;
    const QPointF ll = plan_.frame.toLonLat(valid ? fix : lastFix_);
    p.lon = ll.x();
    p.lat = ll.y();
    double kmh = speedMs * 3.6;
    if (moving && kmh > 1.0) kmh = std::max(0.0, kmh + noise(1.0));
    if (!moving && rng_.bounded(20) == 0) kmh = rng_.generateDouble() * 6.0;  // jitter of a parked receiver
    p.speedKmh = std::round(kmh * 10.0) / 10.0;
    p.odometerM = std::round(odometer_);
    p.gpsValid = valid;
    p.externalPower = power;
    p.sensors = sensors;
    // Fuel gauges: noise, and fuel sloshing while driving.
    const double slosh = moving ? 2.5 * std::sin(sec_ / 9.0) : 0.0;
    if (profile_.tank1Capacity > 0)
        p.tank1 = std::round(std::clamp(fuel1_ + noise(1.5) + slosh, 0.0, profile_.tank1Capacity) * 10.0) / 10.0;
    if (profile_.tank2Capacity > 0)
        p.tank2 = std::round(std::clamp(fuel2_ + noise(1.5) + slosh, 0.0, profile_.tank2Capacity) * 10.0) / 10.0;
    records_.push_back(p);
}

bool VehicleDriver::driveTo(int target) {
    const RoadGraph& g = plan_.graph;
    const QVector<int> path = g.shortestPath(node_, target);
    if (path.size() < 2) return !clipped();
    const int legs = static_cast<int>(path.size()) - 1;
    QVector<double> cruise(legs), passSpeed(legs), lightWait(legs, 0.0);
    for (int k = 0; k < legs; ++k) {
        const RoadGraph::Edge* e = g.edge(path[k], path[k + 1]);
        const double factor = e->limitKmh >= 90 ? profile_.highwayFactor : profile_.cruiseFactor;
        cruise[k] = e->limitKmh * factor * (0.95 + rng_.generateDouble() * 0.1) / 3.6;
    }
    // The speed at the end of each leg: a stop at the destination, slowing down for turns, now and
    // then a red light at a crossing of bigger roads.
    for (int k = 0; k < legs; ++k) {
        if (k == legs - 1) {
            passSpeed[k] = 0.0;
            continue;
        }
        const QPointF a = g.node(path[k]), b = g.node(path[k + 1]), c = g.node(path[k + 2]);
        passSpeed[k] = std::min(cruise[k], cruise[k + 1]);
        if (headingChange(a, b, c) > 35.0) passSpeed[k] = turnSpeed;
        const RoadGraph::Edge* e = g.edge(path[k], path[k + 1]);
        if (g.edges(path[k + 1]).size() >= 4 && e->roadClass >= 2 && rng_.bounded(100) < 20) {
            passSpeed[k] = 0.0;
            lightWait[k] = 10 + rng_.bounded(40);
        }
    }

    const double start = sec_;
    double v = 0.0;
    double nextSample = sec_ + 10 + rng_.bounded(6);
    for (int k = 0; k < legs; ++k) {
        const QPointF a = g.node(path[k]), b = g.node(path[k + 1]);
        const double length = std::hypot(b.x() - a.x(), b.y() - a.y());
        const QPointF dir = (b - a) / std::max(1.0, length);
        double s = 0.0;
        while (s < length) {
            const double left = length - s;
            const double vEnd = passSpeed[k];
            const double vBrake = std::sqrt(vEnd * vEnd + 2.0 * profile_.decel * left);
            const double vTarget = std::min(cruise[k], vBrake);
            if (vEnd == 0.0 && left <= std::max(v, 0.5) * 1.0 + 0.5) {
                s = length;  // pull up at the node
                v = 0.0;
            } else {
                v = v < vTarget ? std::min(vTarget, v + profile_.accel) : std::max(vTarget, v - profile_.decel);
                v = std::max(v, 0.5);
                const double step = std::min(v, left);
                s += step;
                odometer_ += step;
            }
            sec_ += 1.0;
            const bool blind = blindNow(start);
            const bool powerOff = powerOffNow(start);
            const double litresPerMetre = profile_.litresPer100Km / 100000.0;
            fuel1_ = std::max(0.0, fuel1_ - v * litresPerMetre);
            if (profile_.tank2Capacity > 0 && fuel1_ <= 0.0) fuel2_ = std::max(0.0, fuel2_ - v * litresPerMetre);
            if (sec_ >= nextSample || (v == 0.0 && k == legs - 1)) {
                record(a + dir * s, v, v > 0.0, driveSensors_, !blind, !powerOff);
                nextSample = sec_ + 10 + rng_.bounded(6);
            }
            if (sec_ > clipSec_) {
                node_ = s < length / 2 ? path[k] : path[k + 1];
                return false;
            }
        }
        if (lightWait[k] > 0) {
            sec_ += lightWait[k];
            record(b, 0.0, true, driveSensors_, !blindNow(start), !powerOffNow(start));
            nextSample = sec_ + 10 + rng_.bounded(6);
        }
        node_ = path[k + 1];
    }
    blindAfter_ = powerAfter_ = -1;
    return !clipped();
}

void VehicleDriver::stay(double seconds, const StayPlan& plan) {
    if (seconds <= 0) return;
    const double start = sec_;
    const QPointF at = plan_.graph.node(node_);
    // Record times: the regular ones, every change, densely during a level change, and the end.
    QVector<double> times;
    // All in whole seconds, at least three seconds apart.
    seconds = std::round(seconds);
    for (double t = plan.sampleSec * (0.5 + rng_.generateDouble() * 0.5); t < seconds; t += plan.sampleSec)
        times.push_back(std::round(t));
    for (const TankChange& c : plan.tankChanges)
        for (double t = c.at; t <= c.at + c.duration + 1; t += 20) times.push_back(std::round(std::min(t, c.at + c.duration)));
    for (const SensorSpan& s : plan.sensors) times << std::round(s.from) << std::round(s.to);
    times.push_back(seconds);
    std::sort(times.begin(), times.end());
    QVector<double> spaced;
    for (double t : times)
        if (spaced.isEmpty() || t - spaced.last() >= 3.0) spaced.push_back(t);
    times.swap(spaced);

    const double base1 = fuel1_;
    const double base2 = fuel2_;
    for (double t : times) {
        if (t <= 0 || t > seconds) continue;
        sec_ = start + t;
        fuel1_ = base1;
        fuel2_ = base2;
        for (const TankChange& c : plan.tankChanges) {
            const double share = std::clamp((t - c.at) / c.duration, 0.0, 1.0);
            double& level = c.tank == 1 ? fuel1_ : fuel2_;
            const double capacity = c.tank == 1 ? profile_.tank1Capacity : profile_.tank2Capacity;
            level = std::clamp(level + c.litres * share, 0.0, capacity);
        }
        quint8 sensors = 0;
        for (const SensorSpan& s : plan.sensors)
            if (t >= s.from && t < s.to) sensors |= static_cast<quint8>(1u << (s.sensor - 1));
        record(at, 0.0, false, sensors, true, true);
        if (sec_ > clipSec_) return;
    }
    sec_ = start + seconds;
}

}  // namespace telvika::server::demo
