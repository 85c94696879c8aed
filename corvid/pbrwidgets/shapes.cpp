#include "corvid/pbrwidgets/shapes.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace corvid {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 6.28318530717959f;
constexpr float kHalfPi = 1.57079632679490f;
// Far beyond any view, so converting a clamped coordinate cannot overflow.
constexpr float kCoordinateLimit = 1.0e7f;

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

// How far a row's span found with a square root is widened (or narrowed, for the
// inside of a ring or the full part of a disc) before every pixel in it is still
// tested one by one: a pixel for the rounding of a truncated bound, and the float
// error of the squares, which grows with the radius.
float spanMargin(float radius) {
    return 1.0f + radius * 0x1p-20f;
}

std::int32_t toPixel(float v) {
    return static_cast<std::int32_t>(std::clamp(v, -kCoordinateLimit, kCoordinateLimit));
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

inline void blend(RGBA& d, RGBA c, std::uint32_t w) {
    const std::uint32_t inv = 255u - w;
    d = {static_cast<std::uint8_t>((w * c.r + inv * d.r) / 255u),
         static_cast<std::uint8_t>((w * c.g + inv * d.g) / 255u),
         static_cast<std::uint8_t>((w * c.b + inv * d.b) / 255u),
         static_cast<std::uint8_t>((w * c.a + inv * d.a) / 255u)};
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
    // This colour, then the other over it: the bytes of two blend4 calls, with the
    // pixels loaded and stored once.
    void blend4Then(RGBA* p, __m128i w, const RgbaLanes& other, __m128i otherW) const {
        __m128i wLo, wHi, oLo, oHi;
        spread(w, wLo, wHi);
        spread(otherW, oLo, oHi);
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i zero = _mm_setzero_si128();
        const __m128i lo = other.mix(oLo, mix(wLo, _mm_unpacklo_epi8(px, zero)));
        const __m128i hi = other.mix(oHi, mix(wHi, _mm_unpackhi_epi8(px, zero)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(lo, hi));
    }
    __m128i mix(__m128i w, __m128i d) const {
        const __m128i inv = _mm_sub_epi16(_mm_set1_epi16(255), w);
        const __m128i n = _mm_add_epi16(_mm_mullo_epi16(w, colour), _mm_mullo_epi16(inv, d));
        return _mm_srli_epi16(
            _mm_add_epi16(_mm_add_epi16(n, _mm_srli_epi16(n, 8)), _mm_set1_epi16(1)), 8);
    }
    void blend(RGBA& d, std::uint32_t w) const { corvid::blend(d, value, w); }
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

// One arc's angles after the wrap rules, or none when its ends are equal.
struct PreparedArc {
    bool draws = false;
    float a = 0.0f, b = 0.0f;
    RGBA color{};
};

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

// The angular and radial coverage of one ring pixel under one arc, as a weight.
inline void plotArc(RGBA& pixel, const PreparedArc& arc, float d, float angle,
                    float radialCoverage) {
    float e = angle;
    if (!(arc.a <= e && e <= arc.b)) {
        e += kTwoPi;
        if (!(arc.a <= e && e <= arc.b)) return;
    }
    float coverage = radialCoverage;
    const float k = 1.0f / d;
    if (e < arc.a + k)
        coverage *= (e - arc.a) / k;
    else if (arc.b < e + k)
        coverage *= (arc.b - e) / k;
    const float w = coverage * 255.0f + 0.5f;
    if (!(w >= 1.0f)) return;
    blend(pixel, arc.color, w >= 255.0f ? 255u : static_cast<std::uint32_t>(w));
}

// atan2 of four pixels of one row to within 1e-5 radians (a minimax polynomial of
// the octant's tangent), several times cheaper than the exact one. It only decides
// that a pixel lies well inside or well outside every arc; near an end the exact
// angle is taken.
inline __m128 roughAngles(__m128 dy, __m128 dx) {
    const __m128 sign = _mm_set1_ps(-0.0f);
    const __m128 ax = _mm_andnot_ps(sign, dx), ay = _mm_andnot_ps(sign, dy);
    const __m128 z = _mm_div_ps(_mm_min_ps(ax, ay), _mm_max_ps(ax, ay));
    const __m128 z2 = _mm_mul_ps(z, z);
    __m128 p = _mm_set1_ps(-0.01172120f);
    for (const float c : {0.05265332f, -0.11643287f, 0.19354346f, -0.33262347f, 0.99997726f})
        p = _mm_add_ps(_mm_set1_ps(c), _mm_mul_ps(z2, p));
    __m128 a = _mm_mul_ps(z, p);
    const __m128 steep = _mm_cmpgt_ps(ay, ax);
    a = _mm_or_ps(_mm_and_ps(steep, _mm_sub_ps(_mm_set1_ps(kHalfPi), a)), _mm_andnot_ps(steep, a));
    const __m128 left = _mm_cmplt_ps(dx, _mm_setzero_ps());
    a = _mm_or_ps(_mm_and_ps(left, _mm_sub_ps(_mm_set1_ps(kPi), a)), _mm_andnot_ps(left, a));
    const __m128 up = _mm_cmplt_ps(dy, _mm_setzero_ps());
    return _mm_xor_ps(a, _mm_and_ps(up, sign));
}

// Far more than the rough angle's error, so outside these bands its verdict on an
// arc is the exact angle's.
constexpr float kAngleMargin = 1.0e-3f;

// What the rough angle t of a ring pixel says about one arc, tested as the pixel
// test goes (the angle itself, then a full turn on): the pixel lies clear inside
// the arc, away from both end ramps; clear outside it; or near an end, where the
// exact angle must decide. Every bound is widened by the margin, so a verdict of
// the rough angle is also the exact angle's.
struct ArcBounds {
    ArcBounds() = default;
    // kMax is the widest end ramp, 1/d at the smallest distance drawn.
    ArcBounds(const PreparedArc& arc, float kMax)
        : draws(arc.draws), touchLo(_mm_set1_ps(arc.a - kAngleMargin)),
          touchHi(_mm_set1_ps(arc.b + kAngleMargin)),
          clearLo(_mm_set1_ps(arc.a + kMax + kAngleMargin)),
          clearHi(_mm_set1_ps(arc.b - kMax - kAngleMargin)) {}
    bool draws = false;
    __m128 touchLo = _mm_setzero_ps(), touchHi = _mm_setzero_ps();
    __m128 clearLo = _mm_setzero_ps(), clearHi = _mm_setzero_ps();
};

struct Verdict {
    __m128 inside, exact;
};

inline Verdict judge(const ArcBounds& arc, __m128 t) {
    const __m128 turned = _mm_add_ps(t, _mm_set1_ps(kTwoPi));
    const __m128 touches = _mm_and_ps(_mm_cmpge_ps(t, arc.touchLo), _mm_cmple_ps(t, arc.touchHi));
    const __m128 clear = _mm_and_ps(_mm_cmpge_ps(t, arc.clearLo), _mm_cmple_ps(t, arc.clearHi));
    const __m128 touchesTurned =
        _mm_and_ps(_mm_cmpge_ps(turned, arc.touchLo), _mm_cmple_ps(turned, arc.touchHi));
    const __m128 clearTurned =
        _mm_and_ps(_mm_cmpge_ps(turned, arc.clearLo), _mm_cmple_ps(turned, arc.clearHi));
    // The angle itself decides when it touches the arc; a full turn on only if not.
    const __m128 byTurn = _mm_andnot_ps(touches, touchesTurned);
    return {_mm_or_ps(_mm_and_ps(touches, clear), _mm_and_ps(byTurn, clearTurned)),
            _mm_or_ps(_mm_andnot_ps(clear, touches), _mm_andnot_ps(clearTurned, byTurn))};
}

// The half turn where atan2 wraps: there the rough angle may sit on the other side.
inline __m128 nearWrap(__m128 t) {
    const __m128 magnitude = _mm_andnot_ps(_mm_set1_ps(-0.0f), t);
    return _mm_cmpgt_ps(magnitude, _mm_set1_ps(kPi - kAngleMargin));
}

// Both arcs at a pixel that lies near an end, with the exact angle.
template <std::size_t N>
void exactPixel(RGBA& pixel, const PreparedArc (&arcs)[N], float d, float angle, float radial) {
    for (const PreparedArc& arc : arcs)
        if (arc.draws) plotArc(pixel, arc, d, angle, radial);
}

struct Ring {
    __m128 x, ri, ro, riSq, roSq;
};

// Four pixels of a ring row: each arc's weight where the rough angle settles it,
// and the lanes of ring pixels whose angle must be found exactly (their weights
// are 0). The float operations are those of the one-pixel test.
struct RingGroup {
    __m128i weight[2];
    int exactLanes;
};

template <std::size_t N>
inline RingGroup ringGroup(const Ring& r, const ArcBounds (&bounds)[N], __m128 dy, __m128 dy2,
                           std::int32_t i) {
    const __m128 col = _mm_cvtepi32_ps(_mm_setr_epi32(i, i + 1, i + 2, i + 3));
    const __m128 dx = _mm_sub_ps(col, r.x);
    const __m128 d2 = _mm_add_ps(_mm_mul_ps(dx, dx), dy2);
    const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
    __m128 ring = _mm_and_ps(_mm_and_ps(_mm_cmpnlt_ps(d2, r.riSq), _mm_cmplt_ps(d2, r.roSq)),
                             _mm_cmpneq_ps(d2, zero));
    // Groups in the widened margins around the ring are common and need nothing.
    if (_mm_movemask_ps(ring) == 0) return {{_mm_setzero_si128(), _mm_setzero_si128()}, 0};
    const __m128 d = _mm_sqrt_ps(d2);
    ring = _mm_and_ps(ring, _mm_and_ps(_mm_cmpnlt_ps(d, r.ri), _mm_cmplt_ps(d, r.ro)));
    const __m128 nearOuter = _mm_cmpgt_ps(d, _mm_sub_ps(r.ro, one));
    const __m128 nearInner = _mm_cmplt_ps(d, _mm_add_ps(r.ri, one));
    const __m128 inner =
        _mm_or_ps(_mm_and_ps(nearInner, _mm_sub_ps(d, r.ri)), _mm_andnot_ps(nearInner, one));
    const __m128 radial =
        _mm_or_ps(_mm_and_ps(nearOuter, _mm_sub_ps(r.ro, d)), _mm_andnot_ps(nearOuter, inner));
    const __m128 w = _mm_add_ps(_mm_mul_ps(radial, _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f));
    const __m128 full = _mm_cmpge_ps(w, _mm_set1_ps(255.0f));
    const __m128i weight =
        _mm_and_si128(_mm_castps_si128(_mm_and_ps(ring, _mm_cmpge_ps(w, one))),
                      _mm_or_si128(_mm_and_si128(_mm_castps_si128(full), _mm_set1_epi32(255)),
                                   _mm_andnot_si128(_mm_castps_si128(full), _mm_cvttps_epi32(w))));
    const __m128 t = roughAngles(dy, dx);
    // A pixel near any arc's end takes the exact angle for every arc, so the arcs
    // still reach it in their order.
    __m128 exact = nearWrap(t);
    __m128 inside[2] = {zero, zero};
    for (std::size_t k = 0; k < N; ++k) {
        if (!bounds[k].draws) continue;
        const Verdict v = judge(bounds[k], t);
        inside[k] = v.inside;
        exact = _mm_or_ps(exact, v.exact);
    }
    RingGroup g{{_mm_setzero_si128(), _mm_setzero_si128()},
                _mm_movemask_ps(_mm_and_ps(ring, exact))};
    for (std::size_t k = 0; k < N; ++k)
        g.weight[k] = _mm_and_si128(weight, _mm_castps_si128(_mm_andnot_ps(exact, inside[k])));
    return g;
}

template <std::size_t N>
void drawArcs(const ImageView<RGBA>& view, float x, float y, float innerRadius, float outerRadius,
              const PreparedArc (&arcs)[N]) {
    if (!finite(x) || !finite(y) || !finite(innerRadius) || !finite(outerRadius)) return;
    bool any = false;
    for (const PreparedArc& arc : arcs) any = any || arc.draws;
    if (!any) return;
    const float ro = std::clamp(outerRadius, 0.0f, kCoordinateLimit);
    const float ri = std::clamp(innerRadius, 0.0f, ro);
    const float riSq = ri * ri, roSq = ro * ro;
    const Span s = square(view.drawableArea(), x, y, ro);
    if (s.x0 >= s.x1 || s.y0 >= s.y1) return;
    // The ramp at an end is 1/d wide, widest at the inner rim; with no hole every
    // pixel near an end takes the exact angle.
    const float kMax = ri > 0.0f ? 1.0f / ri : kCoordinateLimit;
    ArcBounds bounds[N];
    for (std::size_t k = 0; k < N; ++k) bounds[k] = ArcBounds(arcs[k], kMax);
    const float margin = spanMargin(ro);
    const Ring rings{_mm_set1_ps(x), _mm_set1_ps(ri), _mm_set1_ps(ro), _mm_set1_ps(riSq),
                     _mm_set1_ps(roSq)};
    static_assert(N <= 2, "a ring group carries two arcs' weights");
    const RgbaLanes lanes[2] = {RgbaLanes(arcs[0].color), RgbaLanes(arcs[N - 1].color)};
    for (std::int32_t j = s.y0; j < s.y1; ++j) {
        const float dy = static_cast<float>(j) - y;
        const float dy2 = dy * dy;
        if (!(dy2 <= roSq)) continue;
        // The row's pixels of the ring lie between the outer circle and the hole;
        // both bounds are widened by the margin and every pixel is still tested.
        const float outerHalf = std::sqrt(roSq - dy2) + margin;
        const float holeHalf = dy2 < riSq ? std::sqrt(riSq - dy2) - margin : -1.0f;
        const std::int32_t i0 = std::max(s.x0, toPixel(x - outerHalf));
        const std::int32_t i1 = std::min(s.x1, toPixel(x + outerHalf) + 1);
        std::int32_t holeStart = i1, holeEnd = i1;
        if (holeHalf > 0.0f) {
            holeStart = std::max(i0, toPixel(x - holeHalf) + 1);
            holeEnd = std::max(holeStart, std::min(i1, toPixel(x + holeHalf)));
        }
        RGBA* row = view.row(j);
        const float rowDy = dy;
        const auto onePixel = [&](std::int32_t i) {
            const float dx = static_cast<float>(i) - x;
            const float d2 = dx * dx + dy2;
            // The square root and the angle only for pixels of the ring itself.
            if (d2 < riSq || d2 >= roSq || d2 == 0.0f) return;
            const float d = std::sqrt(d2);
            if (d < ri || d >= ro) return;
            const float radial = d > ro - 1.0f ? ro - d : (d < ri + 1.0f ? d - ri : 1.0f);
            // Only views narrower than a group come here: the exact angle throughout.
            exactPixel(row[i], arcs, d, std::atan2(rowDy, dx), radial);
        };
        const __m128 vdy = _mm_set1_ps(dy), vdy2 = _mm_set1_ps(dy2);
        // Groups of four from `from` until `until` is passed; a group may run on into
        // the hole or past the ring, whose pixels it leaves as they are, but never
        // past what may be drawn.
        const auto run = [&](std::int32_t from, std::int32_t until) {
            for (; from < until; from += 4) {
                // The last group is the last four drawable pixels, those before
                // `from` (done already) with no weight.
                std::int32_t at = from;
                __m128i keep = _mm_set1_epi32(-1);
                int keepLanes = 0xF;
                if (from + 4 > s.x1) {
                    if (s.x1 - s.x0 < 4) {
                        for (; from < until; ++from) onePixel(from);
                        return from;
                    }
                    at = s.x1 - 4;
                    keep = lanesFrom(at, from);
                    keepLanes = _mm_movemask_ps(_mm_castsi128_ps(keep));
                    from = s.x1 - 4;
                }
                const RingGroup g = ringGroup(rings, bounds, vdy, vdy2, at);
                // Most groups lie outside one of the arcs.
                __m128i w[N];
                bool drawn[N];
                for (std::size_t k = 0; k < N; ++k) {
                    w[k] = _mm_and_si128(g.weight[k], keep);
                    drawn[k] =
                        _mm_movemask_epi8(_mm_cmpeq_epi32(w[k], _mm_setzero_si128())) != 0xFFFF;
                }
                if constexpr (N == 2) {
                    if (drawn[0] && drawn[1])
                        lanes[0].blend4Then(row + at, w[0], lanes[1], w[1]);
                    else if (drawn[0] || drawn[1])
                        lanes[drawn[0] ? 0 : 1].blend4(row + at, w[drawn[0] ? 0 : 1]);
                } else if (drawn[0]) {
                    lanes[0].blend4(row + at, w[0]);
                }
                const int exactLanes = g.exactLanes & keepLanes;
                if (exactLanes == 0) continue;
                for (std::int32_t lane = 0; lane < 4; ++lane)
                    if (exactLanes & (1 << lane)) {
                        const float dx = static_cast<float>(at + lane) - x;
                        const float d = std::sqrt(dx * dx + dy2);
                        const float radial =
                            d > ro - 1.0f ? ro - d : (d < ri + 1.0f ? d - ri : 1.0f);
                        exactPixel(row[at + lane], arcs, d, std::atan2(rowDy, dx), radial);
                    }
            }
            return from;
        };
        if (holeEnd > holeStart) {
            const std::int32_t afterLeft = run(i0, holeStart);
            run(std::max(afterLeft, holeEnd), i1);
        } else {
            run(i0, i1);
        }
    }
}

} // namespace

void annularArc(const ImageView<RGBA>& view, float x, float y, float innerRadius, float outerRadius,
                float a, float b, RGBA color) {
    const PreparedArc arcs[1] = {prepare(a, b, color)};
    drawArcs(view, x, y, innerRadius, outerRadius, arcs);
}

void annularArcPair(const ImageView<RGBA>& view, float x, float y, float innerRadius,
                    float outerRadius, const ArcSpan& first, const ArcSpan& second) {
    const PreparedArc arcs[2] = {prepare(first.a, first.b, first.color),
                                 prepare(second.a, second.b, second.color)};
    drawArcs(view, x, y, innerRadius, outerRadius, arcs);
}

} // namespace corvid
