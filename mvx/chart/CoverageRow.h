#pragma once

#include <QtGlobal>

#include <cstdint>

namespace mvx {

// One row of a coverage layer's strip as it is painted: per pixel the change of covered share
// from the pixel before it (cells, stride of them: the width and two beyond its right edge), per
// 8 pixels a flag for any change (flags, tileWords 64-bit words), and the picture's row.
struct CoverageRow {
    std::int32_t* cells;
    std::uint64_t* flags;
    int tileWords;
    int width;
    int stride;
    quint32* line;
};

// Paints the row in the opaque colour by the running sum of its cells, each pixel by its covered
// share, and empties its cells and flags. Uses the processor's 256-bit vector unit when it has one,
// with the same pixels to the last bit as the plain way.
void paintCoverageRow(const CoverageRow& row, quint32 colour);
// The plain way, one pixel at a time, on any processor.
void paintCoverageRowPlain(const CoverageRow& row, quint32 colour);

}  // namespace mvx
