#pragma once

#include <cstddef>
#include <cstdint>

// One fuzz input through the settings loader: the bytes are parsed as TVSettings.xml and every
// value is read through the reader the window uses. A document whose Settings element is found is
// then saved the way the window saves (the values read, or the default values when reading
// failed), parsed again and read back: the values must come back unchanged. Aborts when the
// loader throws anything but telvika::Error or breaks that promise.
// Returns 0 when the bytes are not a settings document, 1 when a value could not be read, 2 when
// every value was read.
int runSettingsFuzzInput(const uint8_t* data, size_t size);
