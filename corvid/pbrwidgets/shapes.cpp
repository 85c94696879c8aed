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

struct Run {
    std::int32_t begin, end;
};

// The columns of [lo, hi) whose squared distance is below limitSq. Float rounding
// keeps the squared distance monotone in |i - x| on each side of the centre, so they
// form one run around the nearest column; a square root guesses its ends and the
// per-pixel test itself moves them, so the run holds exactly the pixels that test
// would accept. An empty run sits at the nearest column.
inline Run runBelow(float x, float dy2, float limitSq, std::int32_t lo, std::int32_t hi,
                    std::int32_t nearest) {
    if (!(distanceSq(x, nearest, dy2) < limitSq)) return {nearest, nearest};
    const auto below = [&](std::int32_t i) { return distanceSq(x, i, dy2) < limitSq; };
    const float half = std::sqrt(std::max(limitSq - dy2, 0.0f));
    std::int32_t b = std::clamp(toPixel(x - half), lo, nearest);
    if (below(b))
        while (b > lo && below(b - 1)) --b;
    else
        while (!below(b)) ++b;
    std::int32_t e = std::clamp(toPixel(x + half), nearest, hi - 1);
    if (below(e))
        while (e + 1 < hi && below(e + 1)) ++e;
    else
        while (!below(e)) --e;
    return {b, e + 1};
}

// The column of [lo, hi) closest to x, where a row's squared distance is least.
std::int32_t nearestColumn(float x, float dy2, std::int32_t lo, std::int32_t hi) {
    const std::int32_t f = toPixel(std::floor(x));
    const std::int32_t n = distanceSq(x, f + 1, dy2) < distanceSq(x, f, dy2) ? f + 1 : f;
    return std::clamp(n, lo, hi - 1);
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

// (w c + (255 - w) d) / 255 per channel of four pixels; the sums stay below 65281,
// where (n + (n >> 8) + 1) >> 8 is n / 255 exactly.
struct RgbaLanes {
    using Pixel = RGBA;
    static constexpr std::uint32_t kMax = 255u;
    explicit RgbaLanes(RGBA c)
        : colour(_mm_setr_epi16(c.r, c.g, c.b, c.a, c.r, c.g, c.b, c.a)), value(c) {}
    void blend4(RGBA* p, __m128i w) const {
        const __m128i w16 = _mm_packs_epi32(w, w);
        const __m128i pairs = _mm_unpacklo_epi16(w16, w16);
        const __m128i wLo = _mm_unpacklo_epi32(pairs, pairs),
                      wHi = _mm_unpackhi_epi32(pairs, pairs);
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

// A soft disc row by row. Each row's pixels below the outer radius and below the
// full one are found as runs; the full run is filled, the fade on either side is
// weighted four pixels at a time, and nothing outside the disc is visited beyond
// the last group of four, whose extra pixels keep their values. The result is that
// of testing every pixel of the disc's square.
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
    const std::uint32_t fullWeight = discWeight<kMax>(0.0f, r1sq, r2sq, strength);
    const __m128 vx = _mm_set1_ps(x), vr1 = _mm_set1_ps(r1sq), vspan = _mm_set1_ps(r2sq - r1sq);
    for (std::int32_t j = s.y0; j < s.y1; ++j) {
        const float dy = y - static_cast<float>(j);
        const float dy2 = dy * dy;
        if (!(dy2 < r2sq)) continue;
        const std::int32_t nearest = nearestColumn(x, dy2, s.x0, s.x1);
        const Run outer = runBelow(x, dy2, r2sq, s.x0, s.x1, nearest);
        if (outer.begin == outer.end) continue;
        const Run inner = runBelow(x, dy2, r1sq, outer.begin, outer.end, nearest);
        Pixel* row = view.row(j);
        if (!fullStrength) {
            for (std::int32_t i = outer.begin; i < outer.end; ++i)
                lanes.blend(row[i], discWeight<kMax>(distanceSq(x, i, dy2), r1sq, r2sq, strength));
            continue;
        }
        const __m128 vdy2 = _mm_set1_ps(dy2);
        // Groups of four from `from`, stopping once `until` is passed; a group may run
        // on into the full run or past the disc, but never past what may be drawn.
        const auto fade = [&](std::int32_t from, std::int32_t until) {
            for (; from < until; from += 4) {
                if (from + 4 > s.x1) {
                    for (; from < until; ++from)
                        lanes.blend(row[from],
                                    discWeight<kMax>(distanceSq(x, from, dy2), r1sq, r2sq, 1.0f));
                    return from;
                }
                lanes.blend4(row + from, fadeWeights4<kMax>(vx, vdy2, vr1, vspan, from));
            }
            return from;
        };
        const std::int32_t afterLeft = fade(outer.begin, inner.begin);
        if (afterLeft < inner.end) {
            if (fullWeight == kMax)
                lanes.fill(row + afterLeft, inner.end - afterLeft);
            else
                for (std::int32_t i = afterLeft; i < inner.end; ++i)
                    lanes.blend(row[i], fullWeight);
        }
        fade(std::max(afterLeft, inner.end), outer.end);
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

// atan2 to within 1e-5 radians (a minimax polynomial of the octant's tangent),
// several times cheaper than the exact one. It only decides that a pixel lies well
// inside or well outside every arc; near an end the exact angle is taken.
inline float roughAngle(float dy, float dx) {
    const float ax = std::fabs(dx), ay = std::fabs(dy);
    const float z = std::min(ax, ay) / std::max(ax, ay);
    const float z2 = z * z;
    float a =
        z *
        (0.99997726f +
         z2 * (-0.33262347f +
               z2 * (0.19354346f + z2 * (-0.11643287f + z2 * (0.05265332f + z2 * -0.01172120f)))));
    if (ay > ax) a = kHalfPi - a;
    if (dx < 0.0f) a = kPi - a;
    return dy < 0.0f ? -a : a;
}

// Far more than the rough angle's error, so outside these bands its verdict on an
// arc is the exact angle's.
constexpr float kAngleMargin = 1.0e-3f;

// What the rough angle says about a pixel, looked up per slice of the full turn:
// inside which arcs it lies clear of their end ramps, or that the exact angle must
// decide (near an end, an end ramp or the half turn where atan2 wraps).
class AngleVerdicts {
public:
    static constexpr std::uint8_t kExact = 0x80;

    // kMax is the widest end ramp, 1/d at the smallest distance drawn.
    template <std::size_t N>
    AngleVerdicts(const PreparedArc (&arcs)[N], float outerRadius, float kMax) {
        // About eight slices per pixel of the outer rim, so few pixels share a slice
        // with an end; a power of two between 64 and the table's size.
        bins = 64;
        while (bins < kMaxBins && static_cast<float>(bins) < 8.0f * outerRadius) bins *= 2;
        width = kTwoPi / static_cast<float>(bins);
        scale = static_cast<float>(bins) / kTwoPi;
        for (std::int32_t n = 0; n < bins; ++n) {
            // The slice widened by a whole slice each way, so a rough angle whose index
            // rounded into a neighbour is still covered.
            const float lo = -kPi + static_cast<float>(n - 1) * width - kAngleMargin;
            const float hi = -kPi + static_cast<float>(n + 2) * width + kAngleMargin;
            std::uint8_t v = lo < -kPi + kAngleMargin || hi > kPi - kAngleMargin ? kExact : 0;
            for (std::size_t k = 0; k < N && v != kExact; ++k) {
                const PreparedArc& arc = arcs[k];
                if (!arc.draws) continue;
                // As the pixel test goes: the angle itself, then a full turn on.
                std::uint8_t arcVerdict = 0;
                for (const float shift : {0.0f, kTwoPi}) {
                    const float l = lo + shift, h = hi + shift;
                    if (h < arc.a || l > arc.b) continue;
                    const bool clear = l >= arc.a + kMax && h <= arc.b - kMax;
                    arcVerdict = clear ? static_cast<std::uint8_t>(1u << k) : kExact;
                    break;
                }
                v = static_cast<std::uint8_t>(v | arcVerdict);
                if (arcVerdict == kExact) v = kExact;
            }
            verdict[static_cast<std::size_t>(n)] = v;
        }
    }

    std::uint8_t at(float rough) const {
        const float t = (rough + kPi) * scale;
        const auto n = static_cast<std::int32_t>(std::clamp(t, 0.0f, static_cast<float>(bins - 1)));
        return verdict[static_cast<std::size_t>(n)];
    }

private:
    static constexpr std::int32_t kMaxBins = 1024;
    std::int32_t bins = 64;
    float width = 0.0f, scale = 0.0f;
    std::uint8_t verdict[kMaxBins] = {};
};

// A pixel clear of the arc's ends: its coverage is the radial one alone.
inline void plotInside(RGBA& pixel, RGBA color, float radialCoverage) {
    const float w = radialCoverage * 255.0f + 0.5f;
    if (!(w >= 1.0f)) return;
    blend(pixel, color, w >= 255.0f ? 255u : static_cast<std::uint32_t>(w));
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
    const AngleVerdicts verdicts(arcs, ro, ri > 0.0f ? 1.0f / ri : kCoordinateLimit);
    for (std::int32_t j = s.y0; j < s.y1; ++j) {
        const float dy = static_cast<float>(j) - y;
        const float dy2 = dy * dy;
        if (!(dy2 <= roSq)) continue;
        // The row's pixels of the ring lie between the outer circle and the hole;
        // both bounds are widened by two pixels and every pixel is still tested.
        const float outerHalf = std::sqrt(roSq - dy2) + 2.0f;
        const float holeHalf = dy2 < riSq ? std::sqrt(riSq - dy2) - 2.0f : -1.0f;
        const std::int32_t i0 = std::max(s.x0, toPixel(x - outerHalf));
        const std::int32_t i1 = std::min(s.x1, toPixel(x + outerHalf) + 1);
        std::int32_t holeStart = i1, holeEnd = i1;
        if (holeHalf > 0.0f) {
            holeStart = std::max(i0, toPixel(x - holeHalf) + 1);
            holeEnd = std::max(holeStart, std::min(i1, toPixel(x + holeHalf)));
        }
        RGBA* row = view.row(j);
        for (std::int32_t i = i0; i < i1; ++i) {
            if (i == holeStart && holeEnd > holeStart) {
                i = holeEnd - 1;
                continue;
            }
            const float dx = static_cast<float>(i) - x;
            const float d2 = dx * dx + dy2;
            // The square root and the angle only for pixels of the ring itself.
            if (d2 < riSq || d2 >= roSq || d2 == 0.0f) continue;
            const float d = std::sqrt(d2);
            if (d < ri || d >= ro) continue;
            const float radial = d > ro - 1.0f ? ro - d : (d < ri + 1.0f ? d - ri : 1.0f);
            const std::uint8_t verdict = verdicts.at(roughAngle(dy, dx));
            if (verdict == AngleVerdicts::kExact) {
                const float angle = std::atan2(dy, dx);
                for (const PreparedArc& arc : arcs)
                    if (arc.draws) plotArc(row[i], arc, d, angle, radial);
            } else {
                for (std::size_t k = 0; k < N; ++k)
                    if (verdict & (1u << k)) plotInside(row[i], arcs[k].color, radial);
            }
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
