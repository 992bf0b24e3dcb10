#pragma once

#include <QVector>

#include <functional>

#include "compute/Telemetry.h"
#include "import/ImportProblems.h"

namespace telvika::server::import {

struct ImportResult;

// Where a track file's reader hands its points, in file order, and the reasons it left points out.
class PointCollector {
public:
    virtual ~PointCollector() = default;

    ImportProblems& problems() { return problems_; }
    // Told by the reader before the first point: the file can give speeds (a GPX file, a CSV file
    // with a speed column).
    void setSpeedColumn(bool present) { speedColumn_ = present; }
    // A point as read (speedKmh NaN when the point gives none); false: stop reading.
    virtual bool add(const TelemetryPoint& p) = 0;

protected:
    bool speedColumn_ = false;
    ImportProblems problems_;
};

// The whole file in memory, finished by ImportProblems::finish.
class WholeTrack : public PointCollector {
public:
    bool add(const TelemetryPoint& p) override;
    void finish(ImportResult& result);

private:
    QVector<TelemetryPoint> points_;
    bool allHaveSpeed_ = true;
};

// The points made ready for the store as they come, a batch at a time, so that a long file is
// never held whole: points outside the store's ranges are left out, repeated instants dropped and
// the odometer and (when the file gives none) the speeds derived, exactly as ImportProblems::finish
// does for the whole file. That holds as long as the file keeps to time order and gives speeds for
// all of its points or for none; a file that does not stops the stream (streamable() false), and
// what it handed out must be thrown away and the file read whole.
class PointStream : public PointCollector {
public:
    using Batch = std::function<void(const QVector<TelemetryPoint>&)>;
    explicit PointStream(Batch batch, int batchSize = 8192);

    bool add(const TelemetryPoint& p) override;
    // Hands out the last points and words the outcome (skipped points, problems; the error when no
    // point was usable) into `result`, whose points stay empty.
    void finish(ImportResult& result);

    bool streamable() const { return streamable_; }
    int handedOut() const { return handedOut_; }

private:
    void next(TelemetryPoint p);
    void complete(TelemetryPoint& p, const TelemetryPoint& before, const TelemetryPoint& after, double metres);
    void handOut(const TelemetryPoint& p);

    Batch batch_;
    const int batchSize_;
    const double now_;
    QVector<TelemetryPoint> pending_;
    bool streamable_ = true;
    bool first_ = true;
    bool derived_ = false;  // speeds are derived from the positions
    bool haveLastTime_ = false;
    double lastTime_ = 0.0;  // of the last point in range, for the order
    int count_ = 0;          // distinct points so far
    TelemetryPoint before_, current_;
    double stepToCurrent_ = 0.0;  // metres from before_ to current_
    double odometer_ = 0.0;
    int handedOut_ = 0;
};

}  // namespace telvika::server::import
