#pragma once
// What the glyph rasteriser's vector bodies share with the rest of it: the
// fixed-point units, the jobs they are handed and their entry points. Plain
// declarations only, so that the sources built for each instruction set can
// include it without bringing in inline functions of their own.

#include <cstddef>
#include <cstdint>

namespace corvid {

// Crossing positions are fixed-point pixels with this many fraction bits.
constexpr int crossingBits = 16;
constexpr std::int64_t crossingUnits = std::int64_t(1) << crossingBits;
// Coverage sums keep this many fraction bits when turned into a byte.
constexpr int coverageBits = 8;
// Crossings further out than maxCrossingX are as good as infinitely far, steps
// longer than maxCrossingStep as good as infinitely long, and slopes beyond
// maxEdgeSlope as good as infinitely steep; the bounds keep every position of a
// run well inside 64 bits.
constexpr float maxCrossingX = float(1 << 24);
constexpr float maxCrossingStep = float(1 << 20);
constexpr float maxEdgeSlope = 1e20f;

namespace glyph_detail {

// A batch of lines to set up and add to the difference array. count is a whole
// number of the widest set's lanes; the lines past the real ones are horizontal.
struct ScanJob {
    const float* x0;
    const float* y0;
    const float* x1;
    const float* y1;
    std::size_t count;
    int width, height, subRows; // subRows is 5 or 15
    std::size_t pitch;          // cells per row, a whole number of 8
    std::uint32_t* cells;
};

// The running sums of the difference array turned into coverage bytes; the cells
// are left zero.
struct ResolveJob {
    std::uint32_t* cells;
    std::size_t pitch;
    int width, height, subRows;
    std::uint8_t* pixels;
    std::ptrdiff_t pitchBytes;
};

void scanLinesSse2(const ScanJob& job);
void scanLinesAvx2(const ScanJob& job);
void resolveSse2(const ResolveJob& job);

} // namespace glyph_detail
} // namespace corvid
