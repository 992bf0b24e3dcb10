#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

#include "compute/Telemetry.h"

namespace telvika::server::import {

struct ImportResult;

// Collects the points of a track file and the reasons points were left out, then puts the points
// in time order, drops repeated timestamps and words the result for the user.
class ImportProblems {
public:
    // One point left out for a reason (a Russian phrase such as "нет времени").
    void skip(const QString& reason) { ++counts_[reason]; }

    // Orders the points, drops repeated timestamps, derives what is missing and fills the result;
    // with no usable point the result carries the error and no point.
    void finish(QVector<TelemetryPoint> points, bool speedKnown, ImportResult& result);
    // The points left out and why, one line per reason, into the result.
    void report(ImportResult& result) const;

private:
    QMap<QString, int> counts_;
};

}  // namespace telvika::server::import
