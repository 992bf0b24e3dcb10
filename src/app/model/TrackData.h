#pragma once

#include <QVector>

#include "common/OleDate.h"

// The track of a trip as the server delivers it: five values per point (time, longitude, latitude,
// distance in metres, speed in km/h), addressed 1-based as the server numbers them: for point
// k = 1..N the elements 5k-4 .. 5k. The named accessors take the 0-based point index and do the
// arithmetic once, here.
class TTrackData {
public:
    static constexpr int ValuesPerPoint = 5;

    TTrackData() = default;
    // Takes the server's flat array; its length must be a multiple of five (throws Error if not).
    explicit TTrackData(QVector<double> values);

    int pointCount() const { return static_cast<int>(values_.size() / ValuesPerPoint); }
    bool isEmpty() const { return values_.isEmpty(); }

    // Element by its 1-based server index (1 .. 5N); throws Error outside that range.
    double element(int index) const;

    // Values of point k, counted from 0; throw Error outside 0 .. N-1.
    telvika::TDateTime time(int k) const { return value(k, 0); }
    double longitude(int k) const { return value(k, 1); }
    double latitude(int k) const { return value(k, 2); }
    double distance(int k) const { return value(k, 3); }
    double speed(int k) const { return value(k, 4); }

    const QVector<double>& values() const { return values_; }

private:
    double value(int k, int field) const;
    QVector<double> values_;
};
