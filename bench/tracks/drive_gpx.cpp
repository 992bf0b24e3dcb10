// Writes a GPX track of a drive along the real roads of an OpenStreetMap extract, one point a
// second, the same for the same arguments:
//   drive_gpx EXTRACT.osm.pbf OUT.gpx SECONDS [SEED [START]]
// START is the first point's time, seconds since 1970 UTC (default 2024-05-06 06:00 UTC).
// Twelve days at 1 Hz, the long drive of the benchmarks, is 1000000 seconds.
#include "RoadDrive.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cmath>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: drive_gpx EXTRACT.osm.pbf OUT.gpx SECONDS [SEED [START]]\n");
        return 2;
    }
    roaddrive::Options options;
    options.seconds = args[3].toInt();
    if (args.size() > 4) options.seed = args[4].toULongLong();
    const qint64 start = args.size() > 5 ? args[5].toLongLong() : 1714975200;
    QElapsedTimer clock;
    clock.start();
    roaddrive::RoadNetwork roads;
    QString error;
    if (options.seconds < 1 || !roads.load(args[1], &error)) {
        std::fprintf(stderr, "drive_gpx: %s\n", qPrintable(error.isEmpty() ? QStringLiteral("bad length") : error));
        return 1;
    }
    const std::vector<roaddrive::Sample> samples = roaddrive::drive(roads, options);
    double km = 0;
    for (size_t i = 1; i < samples.size(); ++i) km += samples[i].speedKmh / 3600.0;
    if (!roaddrive::writeGpx(args[2], samples, start, &error)) {
        std::fprintf(stderr, "drive_gpx: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%zu points, %.0f km driven, %d road nodes, %.1f s\n", samples.size(), km, roads.nodeCount(),
                clock.elapsed() / 1000.0);
    return 0;
}
