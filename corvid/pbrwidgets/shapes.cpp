#include "corvid/pbrwidgets/shapes.h"

#include "corvid/core/cpu.h"
#include "corvid/pbrwidgets/shapes_kernel.h"
#include "corvid/pbrwidgets/shapes_simd.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace corvid {

namespace {

using shapes_detail::blendPixel;
using shapes_detail::kCoordinateLimit;
using shapes_detail::kPi;
using shapes_detail::kTwoPi;
using shapes_detail::spanMargin;
using shapes_detail::toPixel;

bool finite(float v) {
    return std::isfinite(v);
}

struct Radii {
    float outer, full;
};

Radii sanitized(float outer, float full) {
    const float o = outer > 0.0f ? std::min(outer, kCoordinateLimit) : 0.0f;
    const float f = full > 0.0f ? std::min(full, o) : 0.0f;
    return {o, f};
}

struct Span {
    std::int32_t x0, y0, x1, y1;
};

// trunc(c - r - 1) up to before trunc(c + r + 1), cut to what the view may draw.
Span square(const IntRect& drawable, float x, float y, float r) {
    return {std::max(toPixel(x - r - 1.0f), drawable.minX),
            std::max(toPixel(y - r - 1.0f), drawable.minY),
            std::min(toPixel(x + r + 1.0f), drawable.maxX),
            std::min(toPixel(y + r + 1.0f), drawable.maxY)};
}

} // namespace

namespace {

inline float distanceSq(float x, std::int32_t i, float dy2) {
    const float dx = x - static_cast<float>(i);
    return dx * dx + dy2;
}

template <std::uint32_t Max>
std::uint32_t weightOf(float v) {
    if (!(v > 0.0f)) return 0;
    constexpr float m = static_cast<float>(Max);
    return v >= m ? Max : static_cast<std::uint32_t>(v);
}

// The disc's weight at one pixel: 1 - (d2 - r1^2) / (r2^2 - r1^2) scaled to Max and
// by the strength, full inside the full radius, nothing from the outer one on.
template <std::uint32_t Max>
std::uint32_t discWeight(float d2, float r1sq, float r2sq, float strength) {
    constexpr float scale = static_cast<float>(Max);
    if (d2 < r1sq) return weightOf<Max>(1.0f * scale * strength + 0.5f);
    if (!(d2 < r2sq)) return 0;
    const float s = 1.0f - (d2 - r1sq) / (r2sq - r1sq);
    return s <= 0.0f ? 0u : weightOf<Max>(s * scale * strength + 0.5f);
}

// The fade's weights of the four pixels from column i, with the float operations
// of the one-pixel formula in its order, so each is the same. At full strength the
// fade also gives the right weight beyond its ring: above 1 inside the full radius
// (full weight) and at most 0 outside the disc (none).
template <std::uint32_t Max>
__m128i fadeWeights4(__m128 x, __m128 dy2, __m128 r1sq, __m128 span, std::int32_t i) {
    const __m128 scale = _mm_set1_ps(static_cast<float>(Max));
    const __m128 col = _mm_cvtepi32_ps(_mm_setr_epi32(i, i + 1, i + 2, i + 3));
    const __m128 dx = _mm_sub_ps(x, col);
    const __m128 d2 = _mm_add_ps(_mm_mul_ps(dx, dx), dy2);
    const __m128 s = _mm_sub_ps(_mm_set1_ps(1.0f), _mm_div_ps(_mm_sub_ps(d2, r1sq), span));
    const __m128 v = _mm_add_ps(_mm_mul_ps(s, scale), _mm_set1_ps(0.5f));
    const __m128i full = _mm_castps_si128(_mm_cmpge_ps(v, scale));
    // No strength left (s <= 0) or a weight that truncates to nothing: untouched.
    const __m128i drawn = _mm_castps_si128(
        _mm_and_ps(_mm_cmpnle_ps(s, _mm_setzero_ps()), _mm_cmpgt_ps(v, _mm_setzero_ps())));
    const __m128i w = _mm_or_si128(_mm_and_si128(full, _mm_set1_epi32(static_cast<int>(Max))),
                                   _mm_andnot_si128(full, _mm_cvttps_epi32(v)));
    return _mm_and_si128(w, drawn);
}

// Four unsigned 32-bit lanes below 65536 as the low four 16-bit lanes.
inline __m128i narrowTo16(__m128i v) {
    const __m128i biased = _mm_sub_epi32(v, _mm_set1_epi32(32768));
    return _mm_xor_si128(_mm_packs_epi32(biased, biased), _mm_set1_epi16(-32768));
}

// All bits in the lanes of columns at + k that are at least `from`.
inline __m128i lanesFrom(std::int32_t at, std::int32_t from) {
    return _mm_cmpgt_epi32(_mm_setr_epi32(at, at + 1, at + 2, at + 3), _mm_set1_epi32(from - 1));
}

// (w c + (255 - w) d) / 255 per channel of four pixels; the sums stay below 65281,
// where (n + (n >> 8) + 1) >> 8 is n / 255 exactly.
struct RgbaLanes {
    using Pixel = RGBA;
    static constexpr std::uint32_t kMax = 255u;
    explicit RgbaLanes(RGBA c)
        : colour(_mm_setr_epi16(c.r, c.g, c.b, c.a, c.r, c.g, c.b, c.a)), value(c) {}
    // Each pixel's weight over its four channels, for pixels 0-1 and 2-3.
    static void spread(__m128i w, __m128i& lo, __m128i& hi) {
        const __m128i w16 = _mm_packs_epi32(w, w);
        const __m128i pairs = _mm_unpacklo_epi16(w16, w16);
        lo = _mm_unpacklo_epi32(pairs, pairs);
        hi = _mm_unpackhi_epi32(pairs, pairs);
    }
    void blend4(RGBA* p, __m128i w) const {
        __m128i wLo, wHi;
        spread(w, wLo, wHi);
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i zero = _mm_setzero_si128();
        const __m128i out = _mm_packus_epi16(mix(wLo, _mm_unpacklo_epi8(px, zero)),
                                             mix(wHi, _mm_unpackhi_epi8(px, zero)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), out);
    }
    __m128i mix(__m128i w, __m128i d) const {
        const __m128i inv = _mm_sub_epi16(_mm_set1_epi16(255), w);
        const __m128i n = _mm_add_epi16(_mm_mullo_epi16(w, colour), _mm_mullo_epi16(inv, d));
        return _mm_srli_epi16(
            _mm_add_epi16(_mm_add_epi16(n, _mm_srli_epi16(n, 8)), _mm_set1_epi16(1)), 8);
    }
    void blend(RGBA& d, std::uint32_t w) const { blendPixel(d, value, w); }
    void fill(RGBA* p, std::int32_t n) const { std::fill(p, p + n, value); }
    __m128i colour;
    RGBA value;
};

// (w v + (65535 - w) d) / 65535 for four depths, in 32 bits (the sum is at most
// 65535^2), where (n + (n >> 16) + 1) >> 16 is n / 65535 exactly.
struct DepthLanes {
    using Pixel = L16;
    static constexpr std::uint32_t kMax = 65535u;
    explicit DepthLanes(std::uint16_t v)
        : level(_mm_set1_epi16(static_cast<std::int16_t>(v))), value(v) {}
    void blend4(L16* p, __m128i w) const {
        const __m128i w16 = narrowTo16(w);
        const __m128i inv = _mm_xor_si128(w16, _mm_set1_epi16(-1));
        const __m128i d = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        const __m128i a =
            _mm_unpacklo_epi16(_mm_mullo_epi16(w16, level), _mm_mulhi_epu16(w16, level));
        const __m128i b = _mm_unpacklo_epi16(_mm_mullo_epi16(inv, d), _mm_mulhi_epu16(inv, d));
        const __m128i n = _mm_add_epi32(a, b);
        const __m128i q = _mm_srli_epi32(
            _mm_add_epi32(_mm_add_epi32(n, _mm_srli_epi32(n, 16)), _mm_set1_epi32(1)), 16);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), narrowTo16(q));
    }
    void blend(L16& d, std::uint32_t w) const {
        d = L16(static_cast<std::uint16_t>((w * value + (65535u - w) * d.l) / 65535u));
    }
    void fill(L16* p, std::int32_t n) const { std::fill(p, p + n, L16(value)); }
    __m128i level;
    std::uint16_t value;
};

// A soft disc row by row, over the columns whose distance can fall inside the
// outer radius (a square root's span widened by the span margin, every pixel in
// it still weighted), four pixels at a time. The columns the margin clear inside
// the full radius are filled instead. The result is that of weighting every pixel of
// the disc's square one by one.
template <typename Lanes>
void walkSoftDisc(const ImageView<typename Lanes::Pixel>& view, float x, float y, float outerRadius,
                  float fullRadius, const Lanes& lanes, float strength) {
    using Pixel = typename Lanes::Pixel;
    constexpr std::uint32_t kMax = Lanes::kMax;
    if (!finite(x) || !finite(y) || !finite(outerRadius) || !finite(fullRadius)) return;
    const Radii r = sanitized(outerRadius, fullRadius);
    const float r1sq = r.full * r.full, r2sq = r.outer * r.outer;
    const Span s = square(view.drawableArea(), x, y, r.outer);
    if (s.x0 >= s.x1) return;
    const bool fullStrength = strength == 1.0f;
    const __m128 vx = _mm_set1_ps(x), vr1 = _mm_set1_ps(r1sq), vspan = _mm_set1_ps(r2sq - r1sq);
    const float margin = spanMargin(r.outer);
    for (std::int32_t j = s.y0; j < s.y1; ++j) {
        const float dy = y - static_cast<float>(j);
        const float dy2 = dy * dy;
        if (!(dy2 < r2sq)) continue;
        const float outerHalf = std::sqrt(r2sq - dy2) + margin;
        const std::int32_t i0 = std::max(s.x0, toPixel(x - outerHalf));
        const std::int32_t i1 = std::min(s.x1, toPixel(x + outerHalf) + 1);
        Pixel* row = view.row(j);
        const auto onePixel = [&](std::int32_t i) {
            lanes.blend(row[i], discWeight<kMax>(distanceSq(x, i, dy2), r1sq, r2sq, strength));
        };
        if (!fullStrength) {
            for (std::int32_t i = i0; i < i1; ++i) onePixel(i);
            continue;
        }
        std::int32_t f0 = i1, f1 = i1;
        if (dy2 < r1sq) {
            const float fullHalf = std::sqrt(r1sq - dy2) - margin;
            if (fullHalf > 0.0f) {
                f0 = std::clamp(toPixel(std::ceil(x - fullHalf)), i0, i1);
                f1 = std::clamp(toPixel(std::floor(x + fullHalf)) + 1, f0, i1);
            }
        }
        const __m128 vdy2 = _mm_set1_ps(dy2);
        // Groups of four from `from` until `until` is passed. A group may run on into
        // the full columns (full weight) or past the disc (no weight, values kept),
        // but never past what may be drawn.
        const auto fade = [&](std::int32_t from, std::int32_t until) {
            for (; from < until; from += 4) {
                if (from + 4 > s.x1) {
                    // The last four drawable pixels, those before `from` (done already)
                    // with no weight.
                    if (s.x1 - s.x0 < 4) {
                        for (; from < until; ++from) onePixel(from);
                        return from;
                    }
                    const std::int32_t last = s.x1 - 4;
                    lanes.blend4(row + last,
                                 _mm_and_si128(fadeWeights4<kMax>(vx, vdy2, vr1, vspan, last),
                                               lanesFrom(last, from)));
                    return s.x1;
                }
                lanes.blend4(row + from, fadeWeights4<kMax>(vx, vdy2, vr1, vspan, from));
            }
            return from;
        };
        const std::int32_t afterLeft = fade(i0, f0);
        if (afterLeft < f1) lanes.fill(row + afterLeft, f1 - afterLeft);
        fade(std::max(afterLeft, f1), i1);
    }
}

} // namespace

void softDisc(const ImageView<RGBA>& view, float x, float y, float outerRadius, float fullRadius,
              RGBA color, float strength) {
    walkSoftDisc(view, x, y, outerRadius, fullRadius, RgbaLanes(color), strength);
}

void softDisc(const ImageView<L16>& view, float x, float y, float outerRadius, float fullRadius,
              std::uint16_t value, float strength) {
    walkSoftDisc(view, x, y, outerRadius, fullRadius, DepthLanes(value), strength);
}

void roundedDisc(const ImageView<L16>& view, float x, float y, float outerRadius, float fullRadius,
                 std::uint16_t value) {
    if (!finite(x) || !finite(y) || !finite(outerRadius) || !finite(fullRadius)) return;
    const Radii r = sanitized(outerRadius, fullRadius);
    const float r0sq = r.full * r.full, r1sq = r.outer * r.outer;
    const Span s = square(view.drawableArea(), x, y, r.outer);
    for (std::int32_t j = s.y0; j < s.y1; ++j) {
        L16* row = view.row(j);
        const float dy = y - static_cast<float>(j);
        for (std::int32_t i = s.x0; i < s.x1; ++i) {
            const float dx = x - static_cast<float>(i);
            const float d2 = dx * dx + dy * dy;
            if (d2 < r0sq) {
                row[i] = L16(value);
            } else if (d2 < r1sq) {
                const float t = (d2 - r0sq) / (r1sq - r0sq);
                const auto w =
                    static_cast<std::uint32_t>((1.0f - std::pow(t, 1.2f)) * 65535.0f + 0.5f);
                row[i] = L16(static_cast<std::uint16_t>(
                    (value * w + (65535u - w) * static_cast<std::uint32_t>(row[i].l)) / 65535u));
            }
        }
    }
}

namespace {

using shapes_detail::PreparedArc;

PreparedArc prepare(float a, float b, RGBA color) {
    PreparedArc p;
    if (!finite(a) || !finite(b) || a == b) return p;
    if (b < a) b += kTwoPi;
    if (a < -kPi || b < -kPi) {
        a += kTwoPi;
        b += kTwoPi;
    }
    return {true, a, b, color};
}

void drawRing(ShapePath path, const ImageView<RGBA>& view, float x, float y, float innerRadius,
              float outerRadius, const PreparedArc& first, const PreparedArc* second) {
    if (!finite(x) || !finite(y) || !finite(innerRadius) || !finite(outerRadius)) return;
    if (!first.draws && !(second != nullptr && second->draws)) return;
    const IntRect drawable = view.drawableArea();
    if (drawable.isEmpty()) return;
    shapes_detail::RingJob job;
    job.pixels = reinterpret_cast<std::byte*>(view.pixels());
    job.pitch = view.pitch();
    job.minX = drawable.minX;
    job.minY = drawable.minY;
    job.maxX = drawable.maxX;
    job.maxY = drawable.maxY;
    job.x = x;
    job.y = y;
    job.outerRadius = std::clamp(outerRadius, 0.0f, kCoordinateLimit);
    job.innerRadius = std::clamp(innerRadius, 0.0f, job.outerRadius);
    job.arcs[0] = first;
    if (second != nullptr) job.arcs[1] = *second;
    job.arcCount = second != nullptr ? 2 : 1;
    if (path == ShapePath::avx2)
        shapes_detail::drawRingAvx2(job);
    else
        shapes_detail::drawRingSse2(job);
}

} // namespace

ShapePath bestShapePath() {
    static const ShapePath best = cpuFeatures().avx2 ? ShapePath::avx2 : ShapePath::sse2;
    return best;
}

void annularArc(const ImageView<RGBA>& view, float x, float y, float innerRadius, float outerRadius,
                float a, float b, RGBA color) {
    drawRing(bestShapePath(), view, x, y, innerRadius, outerRadius, prepare(a, b, color), nullptr);
}

void annularArcPair(const ImageView<RGBA>& view, float x, float y, float innerRadius,
                    float outerRadius, const ArcSpan& first, const ArcSpan& second) {
    annularArcPairUsing(bestShapePath(), view, x, y, innerRadius, outerRadius, first, second);
}

void annularArcPairUsing(ShapePath path, const ImageView<RGBA>& view, float x, float y,
                         float innerRadius, float outerRadius, const ArcSpan& first,
                         const ArcSpan& second) {
    const PreparedArc over = prepare(second.a, second.b, second.color);
    drawRing(path, view, x, y, innerRadius, outerRadius, prepare(first.a, first.b, first.color),
             &over);
}

} // namespace corvid
