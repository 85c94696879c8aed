#include "corvid/graphics/text/rasterizer.h"

#include "corvid/graphics/text/flatten.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include <emmintrin.h>

namespace corvid {

namespace {

// Pixel boxes stay far inside the int range so that offsets added later by layout
// cannot overflow, whatever scale a caller asks for.
constexpr double boxLimit = 1 << 24;

int32_t boxCoordinate(double v) {
    if (!(v > -boxLimit)) return -int32_t(boxLimit); // also catches NaN
    if (v > boxLimit) return int32_t(boxLimit);
    return int32_t(v);
}

// The scratch of a target this size is 16 MB; glyph bitmaps stay far below.
constexpr std::int64_t maxTargetPixels = std::int64_t(1) << 22;
// Scratch above this many cells is released after the glyph that needed it.
constexpr std::size_t keptCells = 1u << 16;

} // namespace

std::uint8_t coverageByte(std::uint32_t magnitude, int subRows) {
    const std::uint32_t full = std::uint32_t(subRows) << coverageBits;
    const std::uint32_t v = std::min(magnitude >> (crossingBits - coverageBits), full);
    return std::uint8_t((v * 255 + full / 2) / full);
}

IntRect glyphPixelBox(const GlyphBounds& b, float scale, float shiftX, float shiftY) {
    return {boxCoordinate(std::floor(float(b.xMin) * scale + shiftX)),
            boxCoordinate(std::floor(float(-b.yMax) * scale + shiftY)),
            boxCoordinate(std::ceil(float(b.xMax) * scale + shiftX)),
            boxCoordinate(std::ceil(float(-b.yMin) * scale + shiftY))};
}

template <int N>
inline void GlyphRasterizer::addLine(float x0, float y0, float x1, float y1) {
    // Lines are set up four at a time: done one by one, each would wait on its
    // own division and conversions before its crossings could start.
    float* line = lines_[lineCount_];
    line[0] = x0;
    line[1] = y0;
    line[2] = x1;
    line[3] = y1;
    if (++lineCount_ == lineBatch) addLines<N>();
}

namespace {

// ceil(t) clamped to [0, limit], four at a time, for any t including huge,
// infinite and NaN ones (which give 0).
inline __m128i ceilClamped4(__m128 t, int limit) {
    const __m128 limitF = _mm_set1_ps(float(limit));
    const __m128i truncated = _mm_cvttps_epi32(t);
    // Adding the all-ones mask of "the truncation fell short" adds one.
    const __m128i ceiling =
        _mm_sub_epi32(truncated, _mm_castps_si128(_mm_cmplt_ps(_mm_cvtepi32_ps(truncated), t)));
    const __m128i positive = _mm_castps_si128(_mm_cmpgt_ps(t, _mm_setzero_ps()));
    const __m128i big = _mm_castps_si128(_mm_cmpge_ps(t, limitF));
    const __m128i inRange = _mm_andnot_si128(big, _mm_and_si128(positive, ceiling));
    return _mm_or_si128(inRange, _mm_and_si128(big, _mm_set1_epi32(limit)));
}

inline __m128 select(__m128 mask, __m128 ifSet, __m128 ifClear) {
    return _mm_or_ps(_mm_and_ps(mask, ifSet), _mm_andnot_ps(mask, ifClear));
}

// Clamps to [-limit, limit]; NaN gives limit, as in edgeSlope (minps returns its
// second operand when either is NaN).
inline __m128 clamp4(__m128 v, float limit) {
    return _mm_max_ps(_mm_min_ps(v, _mm_set1_ps(limit)), _mm_set1_ps(-limit));
}

} // namespace

template <int N>
void GlyphRasterizer::addLines() {
    // Padding lines are horizontal, so they cross nothing.
    for (std::size_t i = lineCount_; i % 4 != 0; ++i)
        for (float& v : lines_[i]) v = 0.0f;
    const int samples = height_ * N;
    const __m128 half = _mm_set1_ps(0.5f), subRows = _mm_set1_ps(float(N));
    const __m128 inverse = _mm_set1_ps(1.0f / float(N));
    const __m128 units = _mm_set1_ps(float(crossingUnits));
    for (std::size_t i = 0; i < lineCount_; i += 4) {
        __m128 x0 = _mm_load_ps(lines_[i]), y0 = _mm_load_ps(lines_[i + 1]);
        __m128 x1 = _mm_load_ps(lines_[i + 2]), y1 = _mm_load_ps(lines_[i + 3]);
        _MM_TRANSPOSE4_PS(x0, y0, x1, y1);
        // Horizontal edges never cross a sample row; non-finite ones come only from
        // absurd scales.
        const __m128 sum = _mm_add_ps(_mm_add_ps(_mm_add_ps(x0, y0), x1), y1);
        const __m128 valid =
            _mm_and_ps(_mm_cmpeq_ps(_mm_sub_ps(sum, sum), _mm_setzero_ps()), _mm_cmpneq_ps(y0, y1));
        // Edges run downwards; those drawn upwards count negatively.
        const __m128 down = _mm_cmpgt_ps(y0, y1);
        const __m128 top = select(down, y1, y0), bottom = select(down, y0, y1);
        const __m128 xTop = select(down, x1, x0), xBottom = select(down, x0, x1);
        // Sub-scanline k samples y = (k + 0.5) / N; the edge owns the samples in
        // [top, bottom), so that a vertex shared by two edges is counted once.
        const __m128i k0 = ceilClamped4(_mm_sub_ps(_mm_mul_ps(top, subRows), half), samples);
        const __m128i k1 = ceilClamped4(_mm_sub_ps(_mm_mul_ps(bottom, subRows), half), samples);
        const __m128 live = _mm_and_ps(valid, _mm_castsi128_ps(_mm_cmplt_epi32(k0, k1)));
        int pending = _mm_movemask_ps(live);
        if (pending == 0) continue;
        // edgeSlope, four at a time.
        const __m128 slope =
            clamp4(_mm_div_ps(_mm_sub_ps(xBottom, xTop), _mm_sub_ps(bottom, top)), 1e20f);
        // crossingAt and crossingStep, four at a time.
        const __m128 y = _mm_mul_ps(_mm_add_ps(_mm_cvtepi32_ps(k0), half), inverse);
        const __m128 first = _mm_mul_ps(
            clamp4(_mm_add_ps(xTop, _mm_mul_ps(_mm_sub_ps(y, top), slope)), maxCrossingX), units);
        const __m128 step = _mm_mul_ps(clamp4(_mm_mul_ps(slope, inverse), maxCrossingStep), units);

        alignas(16) float xTops[4], tops[4], slopes[4], firsts[4], steps[4];
        alignas(16) std::int32_t firstSamples[4], endSamples[4], downs[4];
        _mm_store_ps(xTops, xTop);
        _mm_store_ps(tops, top);
        _mm_store_ps(slopes, slope);
        _mm_store_ps(firsts, first);
        _mm_store_ps(steps, step);
        _mm_store_si128(reinterpret_cast<__m128i*>(firstSamples), k0);
        _mm_store_si128(reinterpret_cast<__m128i*>(endSamples), k1);
        _mm_store_si128(reinterpret_cast<__m128i*>(downs), _mm_castps_si128(down));
        while (pending != 0) {
            const int j = std::countr_zero(unsigned(pending));
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
            addCrossings<N>(edge);
        }
    }
    lineCount_ = 0;
}

template <int N>
inline void GlyphRasterizer::addCrossings(const Edge& e) {
    const std::int64_t right = std::int64_t(width_) * crossingUnits;
    const std::int64_t step = e.step;
    const std::uint32_t winding = e.winding;
    const std::size_t pitch = pitch_;
    unsigned row = unsigned(e.firstSample) / N;
    std::uint32_t* cell = cells_.data() + std::size_t(row) * pitch;
    // One run per pixel row: its first crossing from the edge's equation, the
    // others a whole number of steps further.
    std::int64_t first = e.firstCrossing;
    for (int a = e.firstSample;;) {
        const int b = std::min(e.endSample, int(++row) * N);
        const std::int64_t m = b - a;
        const std::int64_t last = first + (m - 1) * step;
        const std::int64_t column = first >> crossingBits;
        if (column == last >> crossingBits && std::uint64_t(column) < std::uint64_t(width_)) {
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
            std::int64_t pixel = std::clamp<std::int64_t>(x, 0, right) >> crossingBits;
            std::uint32_t near = 0, far = 0;
            for (std::int64_t j = 0; j < m; ++j, x += step) {
                const std::int64_t at = std::clamp<std::int64_t>(x, 0, right);
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

namespace {

// Running sum of four cells, continuing from run (the last sum, in every lane).
inline __m128i runningSum(std::uint32_t* cells, __m128i& run) {
    __m128i* at = reinterpret_cast<__m128i*>(cells);
    __m128i v = _mm_load_si128(at);
    _mm_store_si128(at, _mm_setzero_si128());
    v = _mm_add_epi32(v, _mm_slli_si128(v, 4));
    v = _mm_add_epi32(v, _mm_slli_si128(v, 8));
    v = _mm_add_epi32(v, run);
    run = _mm_shuffle_epi32(v, 0xFF);
    // Magnitude in coverage units. A sum that wrapped to INT_MIN stays negative
    // as a signed value but is huge once shifted as unsigned, so it clamps too.
    const __m128i sign = _mm_srai_epi32(v, 31);
    return _mm_srli_epi32(_mm_sub_epi32(_mm_xor_si128(v, sign), sign), crossingBits - coverageBits);
}

} // namespace

template <int N>
void GlyphRasterizer::resolve(ImageView<L8> target) {
    // Eight pixels at a time: a prefix sum across the lanes continues the running
    // sum; the magnitudes, saturated to 16 bits and clamped to a full pixel, become
    // bytes with a 16-bit multiply and a shift, since 255 / N is a whole number.
    static_assert(255 % N == 0 && (N << coverageBits) * (255 / N) + 128 < 65536);
    const __m128i full = _mm_set1_epi16(std::int16_t(N << coverageBits));
    const __m128i factor = _mm_set1_epi16(255 / N), half = _mm_set1_epi16(128);
    const std::size_t width = std::size_t(width_);
    std::uint32_t* cell = cells_.data();
    for (int row = 0; row < height_; ++row, cell += pitch_) {
        L8* out = target.row(row);
        __m128i run = _mm_setzero_si128();
        for (std::size_t x = 0; x < pitch_; x += 8) {
            const __m128i low = runningSum(cell + x, run);
            const __m128i high = runningSum(cell + x + 4, run);
            if (x >= width) continue;
            __m128i v = _mm_min_epi16(_mm_packs_epi32(low, high), full);
            v = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(v, factor), half), 8);
            const __m128i bytes = _mm_packus_epi16(v, v);
            if (x + 8 <= width) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), bytes);
            } else {
                // Fixed-size pieces: a copy of variable length would be a library
                // call on most rows of a small glyph.
                std::uint64_t eight = std::uint64_t(_mm_cvtsi128_si64(bytes));
                auto* to = reinterpret_cast<std::uint8_t*>(out + x);
                const std::size_t left = width - x;
                if (left & 4) {
                    const auto four = std::uint32_t(eight);
                    std::memcpy(to, &four, 4);
                    to += 4;
                    eight >>= 32;
                }
                if (left & 2) {
                    const auto two = std::uint16_t(eight);
                    std::memcpy(to, &two, 2);
                    to += 2;
                    eight >>= 16;
                }
                if (left & 1) *to = std::uint8_t(eight);
            }
        }
    }
}

void GlyphRasterizer::rasterize(const GlyphOutline& outline, float scale, float offsetX,
                                float offsetY, ImageView<L8> target) {
    width_ = target.width();
    height_ = target.height();
    if (width_ <= 0 || height_ <= 0) return;
    if (std::int64_t(width_) * height_ > maxTargetPixels) {
        for (int row = 0; row < height_; ++row)
            std::memset(static_cast<void*>(target.row(row)), 0, std::size_t(width_));
        return;
    }
    lineCount_ = 0;
    // Rows of whole pairs of vectors with room for the two cells right of the
    // last pixel.
    pitch_ = (std::size_t(width_) + 2 + 7) & ~std::size_t(7);
    const std::size_t cells = pitch_ * std::size_t(height_);
    if (cells_.size() < cells) cells_.resize(cells);
    if (subScanlines(height_) == 15) {
        flattenOutline(
            outline, scale, offsetX, offsetY, float(height_),
            [this](float x0, float y0, float x1, float y1) { addLine<15>(x0, y0, x1, y1); });
        addLines<15>();
        resolve<15>(target);
    } else {
        flattenOutline(
            outline, scale, offsetX, offsetY, float(height_),
            [this](float x0, float y0, float x1, float y1) { addLine<5>(x0, y0, x1, y1); });
        addLines<5>();
        resolve<5>(target);
    }
    if (cells_.size() > keptCells) cells_ = {};
}

} // namespace corvid
