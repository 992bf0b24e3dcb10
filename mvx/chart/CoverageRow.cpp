#include "chart/CoverageRow.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <limits>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define MVX_COVERAGE_AVX2 1
#endif

namespace mvx {

namespace {

constexpr int TileShift = 3;  // tiles of 8 pixels
constexpr int TilePixels = 1 << TileShift;
// Shares are kept in fixed point, a whole pixel being One; a share that rounds to no level of 256
// is left alone, one that rounds to all of them is the colour itself.
constexpr std::int32_t One = 1 << 16;
constexpr std::int32_t MinCover = 128;
constexpr std::int32_t MaxCover = One - 128;

// Row sums add modulo 2^32, as the cells do.
inline std::int32_t plus(std::int32_t sum, std::int32_t v) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(sum) + static_cast<std::uint32_t>(v));
}

// The covered share of a row's running sum, whichever way the shapes turn.
inline std::int32_t coverOf(std::int32_t sum) {
    return sum == std::numeric_limits<std::int32_t>::min() ? std::numeric_limits<std::int32_t>::max() : std::abs(sum);
}

// The colour over the pixel by the share covered (in fixed point, within One), two channels at a
// time.
inline quint32 over(quint32 colour, quint32 pixel, std::int32_t cover) {
    const auto a = static_cast<quint32>(cover + 128) >> 8, b = 256 - a;
    const quint32 rb = (((colour & 0xff00ffu) * a + (pixel & 0xff00ffu) * b) >> 8) & 0xff00ffu;
    const quint32 ag = (((colour >> 8) & 0xff00ffu) * a + ((pixel >> 8) & 0xff00ffu) * b) & 0xff00ff00u;
    return rb | ag;
}

// The pixels from `from` to `end` (within the width) under one share: nothing, all colour, or
// the colour over them.
inline void paintRunPlain(quint32* line, int from, int end, std::int32_t sum, quint32 c) {
    const std::int32_t cover = coverOf(sum);
    if (from >= end || cover < MinCover) return;
    if (cover >= MaxCover) {
        std::fill(line + from, line + end, c);
    } else {
        for (int x = from; x < end; ++x) line[x] = over(c, line[x], cover);
    }
}

// One tile's pixels, x0 to x1 (within the stride), those within the width painted; returns the
// running sum after it.
inline std::int32_t paintTilePlain(const CoverageRow& r, int x0, int x1, std::int32_t sum, quint32 c) {
    const int drawn = std::min(x1, r.width);
    int x = x0;
    for (; x < drawn; ++x) {
        sum = plus(sum, r.cells[x]);
        const std::int32_t cover = coverOf(sum);
        if (cover < MinCover) continue;
        r.line[x] = cover >= MaxCover ? c : over(c, r.line[x], cover);
    }
    for (; x < x1; ++x) sum = plus(sum, r.cells[x]);  // the cells beyond the right edge
    std::fill(r.cells + x0, r.cells + x1, 0);
    return sum;
}

#ifdef MVX_COVERAGE_AVX2

// Eight pixels at a time. The levels a = (min(|sum|, One) + 128) >> 8 run from 0 (the pixel kept)
// to 256 (the colour), the plain way's three cases in one formula; each channel's products fit in
// 16 bits, so the plain way's 32-bit arithmetic on two channels at a time is done on 16-bit lanes.
struct Avx2Colour {
    __m256i rb, ag;
};

__attribute__((target("avx2"))) inline __m256i levelsOf(__m256i sums) {
    const __m256i cover = _mm256_min_epu32(_mm256_abs_epi32(sums), _mm256_set1_epi32(One));
    return _mm256_srli_epi32(_mm256_add_epi32(cover, _mm256_set1_epi32(128)), 8);
}

__attribute__((target("avx2"))) inline __m256i blend(const Avx2Colour& c, __m256i pixels, __m256i levels) {
    const __m256i mask = _mm256_set1_epi32(0x00ff00ff);
    const __m256i a = _mm256_or_si256(levels, _mm256_slli_epi32(levels, 16));
    const __m256i b = _mm256_sub_epi16(_mm256_set1_epi16(256), a);
    const __m256i rb = _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(c.rb, a), _mm256_mullo_epi16(_mm256_and_si256(pixels, mask), b)), 8);
    const __m256i ag = _mm256_and_si256(
        _mm256_add_epi16(_mm256_mullo_epi16(c.ag, a), _mm256_mullo_epi16(_mm256_srli_epi16(pixels, 8), b)),
        _mm256_set1_epi32(static_cast<int>(0xff00ff00u)));
    return _mm256_or_si256(rb, ag);
}

// The running sums of eight cells after a sum carried in (in every lane).
__attribute__((target("avx2"))) inline __m256i runningSums(__m256i cells, __m256i carried) {
    __m256i s = _mm256_add_epi32(cells, _mm256_slli_si256(cells, 4));
    s = _mm256_add_epi32(s, _mm256_slli_si256(s, 8));
    // The low half's total into every lane of the high half.
    s = _mm256_add_epi32(s, _mm256_shuffle_epi32(_mm256_permute2x128_si256(s, s, 0x08), 0xff));
    return _mm256_add_epi32(s, carried);
}

__attribute__((target("avx2"))) void paintRunAvx2(const Avx2Colour& colour, quint32* line, int from, int end,
                                                  std::int32_t sum, quint32 c) {
    const std::int32_t cover = coverOf(sum);
    if (from >= end || cover < MinCover || cover >= MaxCover) {
        paintRunPlain(line, from, end, sum, c);
        return;
    }
    const __m256i levels = levelsOf(_mm256_set1_epi32(sum));
    int x = from;
    for (; x + TilePixels <= end; x += TilePixels) {
        auto* at = reinterpret_cast<__m256i*>(line + x);
        _mm256_storeu_si256(at, blend(colour, _mm256_loadu_si256(at), levels));
    }
    for (; x < end; ++x) line[x] = over(c, line[x], cover);
}

__attribute__((target("avx2"))) void paintRowAvx2(const CoverageRow& r, quint32 c) {
    const __m256i all = _mm256_set1_epi32(static_cast<int>(c));
    const __m256i mask = _mm256_set1_epi32(0x00ff00ff);
    const Avx2Colour colour{_mm256_and_si256(all, mask), _mm256_and_si256(_mm256_srli_epi32(all, 8), mask)};
    const __m256i full = _mm256_set1_epi32(256), zero = _mm256_setzero_si256();
    std::int32_t sum = 0;
    int done = 0;  // pixels of the row painted so far
    for (int k = 0; k < r.tileWords; ++k) {
        std::uint64_t word = r.flags[k];
        r.flags[k] = 0;
        while (word != 0) {
            const int t = (k << 6) + std::countr_zero(word);
            word &= word - 1;
            const int x0 = t << TileShift;
            paintRunAvx2(colour, r.line, done, std::min(x0, r.width), sum, c);
            if (x0 + TilePixels > r.width) {
                const int x1 = std::min(x0 + TilePixels, r.stride);
                sum = paintTilePlain(r, x0, x1, sum, c);
                done = x1;
                continue;
            }
            auto* cells = reinterpret_cast<__m256i*>(r.cells + x0);
            const __m256i sums = runningSums(_mm256_loadu_si256(cells), _mm256_set1_epi32(sum));
            _mm256_storeu_si256(cells, zero);
            sum = _mm256_extract_epi32(sums, 7);
            const __m256i levels = levelsOf(sums);
            auto* pixels = reinterpret_cast<__m256i*>(r.line + x0);
            if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(levels, full)) == -1)
                _mm256_storeu_si256(pixels, all);
            else if (!_mm256_testz_si256(levels, levels))
                _mm256_storeu_si256(pixels, blend(colour, _mm256_loadu_si256(pixels), levels));
            done = x0 + TilePixels;
        }
    }
    paintRunAvx2(colour, r.line, done, r.width, sum, c);
}

bool hasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

#endif

}  // namespace

void paintCoverageRowPlain(const CoverageRow& r, quint32 c) {
    std::int32_t sum = 0;
    int done = 0;  // pixels of the row painted so far
    // Between tiles that edges touched, the row keeps the share it carries: nothing, or the inside
    // of a shape, painted as one run.
    for (int k = 0; k < r.tileWords; ++k) {
        std::uint64_t word = r.flags[k];
        r.flags[k] = 0;
        while (word != 0) {
            const int t = (k << 6) + std::countr_zero(word);
            word &= word - 1;
            const int x0 = t << TileShift;
            paintRunPlain(r.line, done, std::min(x0, r.width), sum, c);
            const int x1 = std::min(x0 + TilePixels, r.stride);
            sum = paintTilePlain(r, x0, x1, sum, c);
            done = x1;
        }
    }
    paintRunPlain(r.line, done, r.width, sum, c);
}

void paintCoverageRow(const CoverageRow& row, quint32 colour) {
#ifdef MVX_COVERAGE_AVX2
    if (hasAvx2()) {
        paintRowAvx2(row, colour);
        return;
    }
#endif
    paintCoverageRowPlain(row, colour);
}

}  // namespace mvx
