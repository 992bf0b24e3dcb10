#include "ChartFuzz.h"

#include "chart/ChartReader.h"
#include "chart/OtherTags.h"

#include <cpl_vsi.h>

#include <cstdlib>
#include <string_view>

namespace {
int lastCode = -1;
}

int lastFuzzLoadCode() { return lastCode; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* path = "/vsimem/fuzz.chart";
    VSILFILE* f = VSIFileFromMemBuffer(path, const_cast<GByte*>(data), static_cast<vsi_l_offset>(size), FALSE);
    if (f == nullptr) std::abort();
    VSIFCloseL(f);
    const mvx::ChartReader::Result result = mvx::ChartReader::read(QString::fromLatin1(path));
    VSIUnlink(path);
    lastCode = result.code;
    if (result.code != mvx::ChartLoaded && result.code != mvx::ChartInvalidFile &&
        result.code != mvx::ChartNoDrawableLayer)
        std::abort();
    if ((result.code == mvx::ChartLoaded) != (result.chart != nullptr)) std::abort();
    mvx::OtherTags::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
