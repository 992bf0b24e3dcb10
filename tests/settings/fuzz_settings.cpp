// libFuzzer entry point for the settings loader (built with clang when PLAYER_FUZZ is on).
#include "SettingsFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    runSettingsFuzzInput(data, size);
    return 0;
}
