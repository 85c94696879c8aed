#pragma once
// The glyph rasteriser's vector bodies, written once over a lane type; each
// instruction set's source instantiates them with its lanes. Their arithmetic is
// the plain rasteriser's, operation for operation, so every set gives the same
// bytes. Internal linkage only: each source builds its own copy.

#include "corvid/core/compiler.h"
#include "corvid/graphics/text/rasterizer_kernel.h"
#include "corvid/simd/scalar.h"

#include <cstddef>
#include <cstdint>

namespace corvid::glyph_detail {
namespace {

inline int minInt(int a, int b) {
    return b < a ? b : a;
}
inline std::int64_t clamp64(std::int64_t v, std::int64_t lo, std::int64_t hi) {
    return v < lo ? lo : hi < v ? hi : v;
}
inline float clampFloat(float v, float lo, float hi) {
    return v < lo ? lo : hi < v ? hi : v;
}

// Where an edge through (x0, y0) with slope dxdy crosses sub-scanline `sample`
// (global index; subRows per pixel row).
inline std::int64_t crossingAt(float x0, float y0, float dxdy, int sample, int subRows) {
    const float y = (float(sample) + 0.5f) * (1.0f / float(subRows));
    const float x = x0 + (y - y0) * dxdy;
    return std::int64_t(clampFloat(x, -maxCrossingX, maxCrossingX) * float(crossingUnits));
}

// An edge set up for scanning: it runs down from (x0, y0) and crosses the
// sub-scanlines [firstSample, endSample).
struct Edge {
    float x0, y0, dxdy;
    int firstSample, endSample;
    std::uint32_t winding; // 1 or -1 modulo 2^32
    std::int64_t firstCrossing, step;
};

template <int N>
inline void addCrossings(const ScanJob& job, const Edge& e) {
    const std::int64_t right = std::int64_t(job.width) * crossingUnits;
    const std::int64_t step = e.step;
    const std::uint32_t winding = e.winding;
    const std::size_t pitch = job.pitch;
    unsigned row = unsigned(e.firstSample) / N;
    std::uint32_t* cell = job.cells + std::size_t(row) * pitch;
    // One run per pixel row: its first crossing from the edge's equation, the
    // others a whole number of steps further.
    std::int64_t first = e.firstCrossing;
    for (int a = e.firstSample;;) {
        const int b = minInt(e.endSample, int(++row) * N);
        const std::int64_t m = b - a;
        const std::int64_t last = first + (m - 1) * step;
        const std::int64_t column = first >> crossingBits;
        if (column == last >> crossingBits && std::uint64_t(column) < std::uint64_t(job.width)) {
            // All of the run in one pixel (every row of a steep edge): its share of
            // the next pixel is the sum of an arithmetic series, added in one go.
            const std::int64_t fractions =
                m * (first - column * crossingUnits) + step * (m * (m - 1) / 2);
            cell[column] += winding * std::uint32_t(m * crossingUnits - fractions);
            cell[column + 1] += winding * std::uint32_t(fractions);
        } else {
            // Crossings in the same pixel are summed in registers first: adding each
            // to memory would chain every one on the store before it.
            std::int64_t x = first;
            std::int64_t pixel = clamp64(x, 0, right) >> crossingBits;
            std::uint32_t near = 0, far = 0;
            for (std::int64_t j = 0; j < m; ++j, x += step) {
                const std::int64_t at = clamp64(x, 0, right);
                if ((at >> crossingBits) != pixel) {
                    cell[pixel] += winding * near;
                    cell[pixel + 1] += winding * far;
                    pixel = at >> crossingBits;
                    near = far = 0;
                }
                const std::int64_t fraction = at & (crossingUnits - 1);
                near += std::uint32_t(crossingUnits - fraction);
                far += std::uint32_t(fraction);
            }
            cell[pixel] += winding * near;
            cell[pixel + 1] += winding * far;
        }
        if (b == e.endSample) return;
        a = b;
        cell += pitch;
        first = crossingAt(e.x0, e.y0, e.dxdy, a, N);
    }
}

template <class L>
struct GlyphKernels {
    using VF = typename L::VF;
    using VI = typename L::VI;
    static constexpr int lanes = L::lanes;

    static VF select(VI mask, VF ifSet, VF ifClear) {
        return (VF)((mask & (VI)ifSet) | (~mask & (VI)ifClear));
    }

    // ceil(t) clamped to [0, limit], for any t including huge, infinite and NaN
    // ones (which give 0).
    static VI ceilClamped(VF t, int limit) {
        const VF limitF = L::splatF(float(limit));
        const VI truncated = L::truncate(t);
        // Adding the all-ones mask of "the truncation fell short" adds one.
        const VI ceiling = truncated - (VI)(L::toFloat(truncated) < t);
        const VI positive = (VI)(t > L::splatF(0.0f));
        const VI big = (VI)(t >= limitF);
        return (~big & positive & ceiling) | (big & L::splatI(limit));
    }

    // Clamps to [-limit, limit]; NaN gives limit, as in the plain slope (the
    // minimum returns its second operand when either is NaN).
    static VF clamp(VF v, float limit) {
        return L::max(L::min(v, L::splatF(limit)), L::splatF(-limit));
    }

    // Lines are set up a register at a time: done one by one, each would wait on
    // its own division and conversions before its crossings could start.
    template <int N>
    static void scan(const ScanJob& shared) {
        // A copy the cells cannot alias, so its fields stay in registers across
        // the stores to them.
        const ScanJob job = shared;
        const int samples = job.height * N;
        const VF half = L::splatF(0.5f), subRows = L::splatF(float(N));
        const VF inverse = L::splatF(1.0f / float(N));
        const VF units = L::splatF(float(crossingUnits));
        for (std::size_t i = 0; i < job.count; i += lanes) {
            const VF x0 = (VF)L::load(job.x0 + i), y0 = (VF)L::load(job.y0 + i);
            const VF x1 = (VF)L::load(job.x1 + i), y1 = (VF)L::load(job.y1 + i);
            // Horizontal edges never cross a sample row; non-finite ones come only
            // from absurd scales.
            const VF sum = x0 + y0 + x1 + y1;
            const VI valid = (VI)(sum - sum == L::splatF(0.0f)) & (VI)(y0 != y1);
            // Edges run downwards; those drawn upwards count negatively.
            const VI down = (VI)(y0 > y1);
            const VF top = select(down, y1, y0), bottom = select(down, y0, y1);
            const VF xTop = select(down, x1, x0), xBottom = select(down, x0, x1);
            // Sub-scanline k samples y = (k + 0.5) / N; the edge owns the samples in
            // [top, bottom), so that a vertex shared by two edges is counted once.
            const VI k0 = ceilClamped(top * subRows - half, samples);
            const VI k1 = ceilClamped(bottom * subRows - half, samples);
            int pending = L::mask(valid & (VI)(k0 < k1));
            if (pending == 0) continue;
            const VF slope = clamp((xBottom - xTop) / (bottom - top), maxEdgeSlope);
            const VF y = (L::toFloat(k0) + half) * inverse;
            const VF first = clamp(xTop + (y - top) * slope, maxCrossingX) * units;
            const VF step = clamp(slope * inverse, maxCrossingStep) * units;

            float xTops[lanes], tops[lanes], slopes[lanes], firsts[lanes], steps[lanes];
            std::int32_t firstSamples[lanes], endSamples[lanes], downs[lanes];
            L::store(xTops, (VI)xTop);
            L::store(tops, (VI)top);
            L::store(slopes, (VI)slope);
            L::store(firsts, (VI)first);
            L::store(steps, (VI)step);
            L::store(firstSamples, k0);
            L::store(endSamples, k1);
            L::store(downs, down);
            while (pending != 0) {
                const int j = simd::lowestBit(unsigned(pending));
                pending &= pending - 1;
                Edge edge;
                edge.x0 = xTops[j];
                edge.y0 = tops[j];
                edge.dxdy = slopes[j];
                edge.firstSample = firstSamples[j];
                edge.endSample = endSamples[j];
                edge.winding = std::uint32_t(downs[j]) | 1u; // -1 or 1 modulo 2^32
                edge.firstCrossing = std::int64_t(firsts[j]);
                edge.step = std::int64_t(steps[j]);
                addCrossings<N>(job, edge);
            }
        }
    }

    static void scan(const ScanJob& job) {
        if (job.subRows == 15)
            scan<15>(job);
        else
            scan<5>(job);
    }

    // Running sum of one register of cells, continuing from run (the last sum, in
    // every lane); the cells are cleared for the next glyph.
    static VI runningSum(std::uint32_t* cells, VI& run) {
        typedef CORVID_VECTOR(std::uint32_t, sizeof(VI)) VU32;
        VI v = L::load(cells);
        L::store(cells, L::splatI(0));
        v = L::prefixSum(v) + run;
        run = L::broadcastLast(v);
        // Magnitude in coverage units. A sum that wrapped to INT_MIN stays negative
        // as a signed value but is huge once shifted as unsigned, so it clamps too.
        const VI sign = v >> 31;
        return (VI)((VU32)((v ^ sign) - sign) >> (crossingBits - coverageBits));
    }

    // Two registers of cells a step: a prefix sum across the lanes continues the
    // running sum; the magnitudes, saturated to 16 bits and clamped to a full
    // pixel, become bytes with a 16-bit multiply and a shift, since 255 / N is a
    // whole number. Glyph rows are narrow, so the step stays at eight cells (four
    // lanes): wider registers would mostly sum the padding.
    template <int N>
    static void resolve(const ResolveJob& job) {
        static_assert(lanes == 4, "eight cells, eight bytes a step");
        static_assert(255 % N == 0 && (N << coverageBits) * (255 / N) + 128 < 65536);
        using VU = typename L::VU;
        const auto full = L::splat16(std::int16_t(N << coverageBits));
        const VU factor = L::splatU(255 / N), half = L::splatU(128);
        // Locals the stores to cells and bytes cannot alias.
        const std::size_t width = std::size_t(job.width), pitch = job.pitch;
        const int height = job.height;
        const std::ptrdiff_t pitchBytes = job.pitchBytes;
        std::uint32_t* cell = job.cells;
        std::uint8_t* out = job.pixels;
        for (int row = 0; row < height; ++row, cell += pitch, out += pitchBytes) {
            VI run = L::splatI(0);
            for (std::size_t x = 0; x < pitch; x += 8) {
                const VI low = runningSum(cell + x, run);
                const VI high = runningSum(cell + x + 4, run);
                if (x >= width) continue;
                const VU v = (VU)L::min16(L::narrow32(low, high), full);
                const auto bytes = L::narrowBytes((typename L::Words)((v * factor + half) >> 8));
                std::uint8_t* to = out + x;
                if (x + 8 <= width) {
                    L::storeLow64(to, bytes);
                    continue;
                }
                // Fixed-size pieces: a copy of variable length would be a library
                // call on most rows of a small glyph.
                std::uint64_t eight = L::low64(bytes);
                const std::size_t left = width - x;
                if (left & 4) {
                    const auto four = std::uint32_t(eight);
                    simd::copyBytes(to, &four, 4);
                    to += 4;
                    eight >>= 32;
                }
                if (left & 2) {
                    const auto two = std::uint16_t(eight);
                    simd::copyBytes(to, &two, 2);
                    to += 2;
                    eight >>= 16;
                }
                if (left & 1) *to = std::uint8_t(eight);
            }
        }
    }

    static void resolve(const ResolveJob& job) {
        if (job.subRows == 15)
            resolve<15>(job);
        else
            resolve<5>(job);
    }
};

} // namespace
} // namespace corvid::glyph_detail
