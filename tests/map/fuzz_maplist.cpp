// libFuzzer entry point for the map list reader (built with clang when PLAYER_FUZZ is on).
#include "MapListFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    runMapListFuzzInput(data, size);
    return 0;
}
