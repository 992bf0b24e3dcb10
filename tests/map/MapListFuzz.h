#pragma once

#include <cstddef>
#include <cstdint>

// One fuzz input through the map list reader: the bytes are read as MapList.ini the way the
// player reads the file, MapCount and the paths are read, written back into the document and read
// again: the count and every path must come back unchanged, and a shorter list written over it
// must read as that list. A write may refuse only a path that cannot stand on one line. Aborts
// when a promise is broken. Returns the number of maps read (0 to MaxMapCount).
int runMapListFuzzInput(const uint8_t* data, size_t size);
