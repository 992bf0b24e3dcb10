#include "chart/GdalWarningFilter.h"

#include <cpl_error.h>

#include <cstring>

namespace mvx {

GdalWarningFilter::GdalWarningFilter() {
    CPLPushErrorHandlerEx(
        [](CPLErr cls, CPLErrorNum no, const char* msg) { handler(static_cast<int>(cls), no, msg); }, this);
}

GdalWarningFilter::~GdalWarningFilter() { CPLPopErrorHandler(); }

bool GdalWarningFilter::isExtensionWarning(const char* message) {
    if (message == nullptr) return false;
    // GDAL says this when creating ("The filename extension should be 'gpkg' ...") and when opening
    // ("... has GPKG application_id, but non conformant file extension").
    return std::strstr(message, "non conformant file extension") != nullptr ||
           std::strstr(message, "filename extension should be 'gpkg'") != nullptr;
}

void GdalWarningFilter::handler(int errorClass, int errorNo, const char* message) {
    auto* self = static_cast<GdalWarningFilter*>(CPLGetErrorHandlerUserData());
    if (self != nullptr) self->take(errorClass, errorNo, message);
}

void GdalWarningFilter::take(int errorClass, int errorNo, const char* message) {
    if (errorClass == CE_Warning && isExtensionWarning(message)) {
        ++dropped_;
        return;
    }
    if (errorClass >= CE_Failure) {
        if (failures_++ == 0) firstFailure_ = QString::fromUtf8(message ? message : "");
        return;
    }
    if (errorClass == CE_Warning) CPLDefaultErrorHandler(CE_Warning, errorNo, message);
}

}  // namespace mvx
