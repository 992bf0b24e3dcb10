#pragma once

#include <cstddef>
#include <cstdint>

// The libFuzzer entry point for chart files: the bytes are opened as a map file from memory and
// their text as other_tags. Any result but a crash or an unknown result code is a pass; an unknown
// code aborts, so a fuzzer reports it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// The load code of the last input.
int lastFuzzLoadCode();
