#pragma once

#include <QString>

namespace mvx {

// While alive, takes GDAL's messages on this thread: drops the warning that a GeoPackage does not
// use the .gpkg extension (our maps are .chart files on purpose), passes other warnings to GDAL's
// default handler and records failures, so a reader can tell a corrupt file from a good one.
class GdalWarningFilter {
public:
    GdalWarningFilter();
    ~GdalWarningFilter();
    GdalWarningFilter(const GdalWarningFilter&) = delete;
    GdalWarningFilter& operator=(const GdalWarningFilter&) = delete;

    bool failed() const { return failures_ > 0; }
    QString firstFailure() const { return firstFailure_; }
    int droppedWarnings() const { return dropped_; }
    // Forgets the failures recorded so far (for a failure the caller has dealt with).
    void clearFailures() {
        failures_ = 0;
        firstFailure_.clear();
    }

    // Whether a GDAL message is the non-standard extension warning.
    static bool isExtensionWarning(const char* message);

private:
    static void handler(int errorClass, int errorNo, const char* message);
    void take(int errorClass, int errorNo, const char* message);

    int failures_ = 0;
    int dropped_ = 0;
    QString firstFailure_;
};

}  // namespace mvx
