#pragma once
// The ring and disc kernels written once over the lanes of corvid/simd. Each kernel
// source is built for its own instruction set and instantiates them with that set's
// lanes, to which it adds the moves between RGBA pixels and 16-bit channel lanes
// and the depth blend. Everything here has internal linkage and calls no inline
// function of external linkage, so the differently compiled copies never meet at
// link time.
//
// A ring is drawn row by row over the columns between its outer circle and its
// hole, a vector of pixels at a time. A cheap angle decides for most pixels that
// they lie well inside or well outside each arc; the pixels near an end take the
// exact angle one by one. The float operations are those of the one-pixel rule, so
// every pixel comes out as the rule gives it.

#include "corvid/pbrwidgets/shapes_kernel.h"
#include "corvid/simd/scalar.h"

#include <cstdint>

namespace corvid::shapes_detail {
namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 6.28318530717959f;
constexpr float kHalfPi = 1.57079632679490f;
// Far beyond any view, so converting a clamped coordinate cannot overflow.
constexpr float kCoordinateLimit = 1.0e7f;
// Far more than the cheap angle's error, so outside these bands its verdict on an
// arc is the exact angle's.
constexpr float kAngleMargin = 1.0e-3f;

inline std::int32_t toPixel(float v) {
    const float c =
        v < -kCoordinateLimit ? -kCoordinateLimit : (kCoordinateLimit < v ? kCoordinateLimit : v);
    return static_cast<std::int32_t>(c);
}
inline std::int32_t largerOf(std::int32_t a, std::int32_t b) {
    return a < b ? b : a;
}
inline std::int32_t smallerOf(std::int32_t a, std::int32_t b) {
    return b < a ? b : a;
}

// How far a row's span found with a square root is widened (or narrowed, for the
// inside of the ring) before every pixel in it is still tested one by one: a pixel
// for the rounding of a truncated bound, and the float error of the squares, which
// grows with the radius.
inline float spanMargin(float radius) {
    return 1.0f + radius * 0x1p-20f;
}

inline void blendPixel(RGBA& d, RGBA c, std::uint32_t w) {
    const std::uint32_t inv = 255u - w;
    d = {static_cast<std::uint8_t>((w * c.r + inv * d.r) / 255u),
         static_cast<std::uint8_t>((w * c.g + inv * d.g) / 255u),
         static_cast<std::uint8_t>((w * c.b + inv * d.b) / 255u),
         static_cast<std::uint8_t>((w * c.a + inv * d.a) / 255u)};
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
    blendPixel(pixel, arc.color, w >= 255.0f ? 255u : static_cast<std::uint32_t>(w));
}

// Every arc at one ring pixel, in order, with the exact angle.
inline void exactPixel(RGBA& pixel, const PreparedArc* arcs, int count, float dx, float dy,
                       float ri, float ro) {
    const float d = simd::sqrtf(dx * dx + dy * dy);
    const float radial = d > ro - 1.0f ? ro - d : (d < ri + 1.0f ? d - ri : 1.0f);
    const float angle = simd::atan2f(dy, dx);
    for (int k = 0; k < count; ++k)
        if (arcs[k].draws) plotArc(pixel, arcs[k], d, angle, radial);
}

// Colour pixels blended a vector at a time: (w c + (255 - w) d) / 255 per channel.
template <class T>
struct ColourLanes {
    using VI = typename T::VI;
    using VU = typename T::VU;
    // The sums stay below 65281, where (n + (n >> 8) + 1) >> 8 is n / 255 exactly.
    static VU mix(VU w, VU c, VU d) {
        const VU n = w * c + (T::splatU(255) - w) * d;
        return (n + (n >> 8) + T::splatU(1)) >> 8;
    }
    static void blend(RGBA* p, VI w, VU c) {
        VU lo, hi, wLo, wHi;
        T::loadChannels(p, lo, hi);
        T::spread(w, wLo, wHi);
        T::storeChannels(p, mix(wLo, c, lo), mix(wHi, c, hi));
    }
    // The first colour, then the second over it, with the pixels loaded and stored
    // once.
    static void blendTwice(RGBA* p, VI w0, VU c0, VI w1, VU c1) {
        VU lo, hi, aLo, aHi, bLo, bHi;
        T::loadChannels(p, lo, hi);
        T::spread(w0, aLo, aHi);
        T::spread(w1, bLo, bHi);
        T::storeChannels(p, mix(bLo, c1, mix(aLo, c0, lo)), mix(bHi, c1, mix(aHi, c0, hi)));
    }
};

template <class T>
struct RingKernel {
    using VF = typename T::VF;
    using VI = typename T::VI;
    using VU = typename T::VU;
    using Colours = ColourLanes<T>;
    static constexpr int W = T::lanes;

    static VF select(VI mask, VF yes, VF no) { return (VF)((mask & (VI)yes) | (~mask & (VI)no)); }

    // atan2 to within 1e-5 radians (a minimax polynomial of the octant's tangent),
    // several times cheaper than the exact one.
    static VF roughAngles(VF dy, VF dx) {
        const VI magnitude = T::splatI(0x7FFFFFFF);
        const VF ax = (VF)((VI)dx & magnitude), ay = (VF)((VI)dy & magnitude);
        const VF z = T::min(ax, ay) / T::max(ax, ay);
        const VF z2 = z * z;
        constexpr float kTerms[] = {0.05265332f, -0.11643287f, 0.19354346f, -0.33262347f,
                                    0.99997726f};
        VF p = T::splatF(-0.01172120f);
        for (int n = 0; n < 5; ++n) p = T::splatF(kTerms[n]) + z2 * p;
        VF a = z * p;
        a = select(ay > ax, T::splatF(kHalfPi) - a, a);
        a = select(dx < T::splatF(0.0f), T::splatF(kPi) - a, a);
        return (VF)((VI)a ^ ((dy < T::splatF(0.0f)) & ~magnitude));
    }

    // One arc's bounds for the cheap angle t, tested as the pixel rule goes (the
    // angle itself, then a full turn on): the pixel lies clear inside the arc, away
    // from both end ramps; clear outside it; or near an end, where the exact angle
    // must decide. Every bound is widened by the margin.
    struct Bounds {
        bool draws = false;
        VF touchLo{}, touchHi{}, clearLo{}, clearHi{};
    };
    // kMax is the widest end ramp, 1/d at the smallest distance drawn.
    static Bounds boundsOf(const PreparedArc& arc, float kMax) {
        return {arc.draws, T::splatF(arc.a - kAngleMargin), T::splatF(arc.b + kAngleMargin),
                T::splatF(arc.a + kMax + kAngleMargin), T::splatF(arc.b - kMax - kAngleMargin)};
    }
    struct Verdict {
        VI inside, exact;
    };
    static Verdict judge(const Bounds& arc, VF t) {
        const VF turned = t + T::splatF(kTwoPi);
        const VI touches = (t >= arc.touchLo) & (t <= arc.touchHi);
        const VI clear = (t >= arc.clearLo) & (t <= arc.clearHi);
        const VI touchesTurned = (turned >= arc.touchLo) & (turned <= arc.touchHi);
        const VI clearTurned = (turned >= arc.clearLo) & (turned <= arc.clearHi);
        // The angle itself decides when it touches the arc; a full turn on only if not.
        const VI byTurn = ~touches & touchesTurned;
        return {(touches & clear) | (byTurn & clearTurned),
                (touches & ~clear) | (byTurn & ~clearTurned)};
    }

    struct Ring {
        VF x, ri, ro, riSq, roSq;
    };
    // A vector of pixels of a ring row: each arc's weight where the cheap angle
    // settles it, and the lanes whose angle must be found exactly (their weights are
    // 0). A pixel near any arc's end takes the exact angle for every arc, so the
    // arcs still reach it in their order.
    struct Group {
        VI weight[2];
        int exactLanes;
    };
    template <int N>
    static Group group(const Ring& r, const Bounds* bounds, VF dy, VF dy2, std::int32_t i) {
        const VF zero = T::splatF(0.0f), one = T::splatF(1.0f);
        const VF dx = (T::iotaF() + T::splatF(static_cast<float>(i))) - r.x;
        const VF d2 = dx * dx + dy2;
        VI ring = ~(d2 < r.riSq) & (d2 < r.roSq) & (d2 != zero);
        Group g{{T::splatI(0), T::splatI(0)}, 0};
        // Groups in the widened margins around the ring are common and need nothing.
        if (T::none(ring)) return g;
        const VF d = T::sqrt(d2);
        ring = ring & ~(d < r.ri) & (d < r.ro);
        const VF inner = select(d < r.ri + one, d - r.ri, one);
        const VF radial = select(d > r.ro - one, r.ro - d, inner);
        const VF w = radial * T::splatF(255.0f) + T::splatF(0.5f);
        const VI full = w >= T::splatF(255.0f);
        const VI weight = ring & (w >= one) & ((full & T::splatI(255)) | (~full & T::truncate(w)));
        const VF t = roughAngles(dy, dx);
        VI exact = (VI)(T::abs(t) > T::splatF(kPi - kAngleMargin)); // where atan2 wraps
        VI inside[2] = {T::splatI(0), T::splatI(0)};
        for (int k = 0; k < N; ++k) {
            if (!bounds[k].draws) continue;
            const Verdict v = judge(bounds[k], t);
            inside[k] = v.inside;
            exact = exact | v.exact;
        }
        g.exactLanes = T::mask(ring & exact);
        for (int k = 0; k < N; ++k) g.weight[k] = weight & ~exact & inside[k];
        return g;
    }

    template <int N>
    static void draw(const RingJob& job) {
        const PreparedArc* arcs = job.arcs;
        const float x = job.x, y = job.y, ro = job.outerRadius, ri = job.innerRadius;
        const float riSq = ri * ri, roSq = ro * ro;
        const std::int32_t x0 = largerOf(toPixel(x - ro - 1.0f), job.minX);
        const std::int32_t y0 = largerOf(toPixel(y - ro - 1.0f), job.minY);
        const std::int32_t x1 = smallerOf(toPixel(x + ro + 1.0f), job.maxX);
        const std::int32_t y1 = smallerOf(toPixel(y + ro + 1.0f), job.maxY);
        if (x0 >= x1 || y0 >= y1) return;
        // The ramp at an end is 1/d wide, widest at the inner rim; with no hole every
        // pixel near an end takes the exact angle.
        const float kMax = ri > 0.0f ? 1.0f / ri : kCoordinateLimit;
        Bounds bounds[N];
        VU colours[N];
        for (int k = 0; k < N; ++k) {
            bounds[k] = boundsOf(arcs[k], kMax);
            colours[k] = T::colour(arcs[k].color);
        }
        const float margin = spanMargin(ro);
        const Ring ring{T::splatF(x), T::splatF(ri), T::splatF(ro), T::splatF(riSq),
                        T::splatF(roSq)};
        for (std::int32_t j = y0; j < y1; ++j) {
            const float dy = static_cast<float>(j) - y;
            const float dy2 = dy * dy;
            if (!(dy2 <= roSq)) continue;
            // The row's pixels of the ring lie between the outer circle and the hole;
            // both bounds are widened by the margin and every pixel is still tested.
            const float outerHalf = simd::sqrtf(roSq - dy2) + margin;
            const float holeHalf = dy2 < riSq ? simd::sqrtf(riSq - dy2) - margin : -1.0f;
            const std::int32_t i0 = largerOf(x0, toPixel(x - outerHalf));
            const std::int32_t i1 = smallerOf(x1, toPixel(x + outerHalf) + 1);
            std::int32_t holeStart = i1, holeEnd = i1;
            if (holeHalf > 0.0f) {
                holeStart = largerOf(i0, toPixel(x - holeHalf) + 1);
                holeEnd = largerOf(holeStart, smallerOf(i1, toPixel(x + holeHalf)));
            }
            RGBA* row =
                reinterpret_cast<RGBA*>(job.pixels + static_cast<std::ptrdiff_t>(j) * job.pitch);
            const VF vdy = T::splatF(dy), vdy2 = T::splatF(dy2);
            // Vectors from `from` until `until` is passed; one may run on into the hole
            // or past the ring, whose pixels it leaves as they are, but never past what
            // may be drawn. Only a view narrower than a vector takes the pixels one by
            // one.
            const auto run = [&](std::int32_t from, std::int32_t until) {
                for (; from < until; from += W) {
                    // The last vector is the last drawable pixels, those before `from`
                    // (done already) with no weight.
                    std::int32_t at = from;
                    VI keep = T::splatI(-1);
                    if (from + W > job.maxX) {
                        if (job.maxX - job.minX < W) {
                            for (; from < until; ++from)
                                exactPixelIfRing(row[from], arcs, N, static_cast<float>(from) - x,
                                                 dy, dy2, ri, ro, riSq, roSq);
                            return from;
                        }
                        at = job.maxX - W;
                        keep = (T::iotaI() + T::splatI(at)) > T::splatI(from - 1);
                        from = at;
                    }
                    const Group g = group<N>(ring, bounds, vdy, vdy2, at);
                    VI w[N];
                    bool drawn[N];
                    for (int k = 0; k < N; ++k) {
                        w[k] = g.weight[k] & keep;
                        drawn[k] = !T::none(w[k]); // most vectors lie outside one arc
                    }
                    if constexpr (N == 2) {
                        if (drawn[0] && drawn[1])
                            Colours::blendTwice(row + at, w[0], colours[0], w[1], colours[1]);
                        else if (drawn[0] || drawn[1])
                            Colours::blend(row + at, w[drawn[0] ? 0 : 1],
                                           colours[drawn[0] ? 0 : 1]);
                    } else if (drawn[0]) {
                        Colours::blend(row + at, w[0], colours[0]);
                    }
                    const int exactLanes = g.exactLanes & T::mask(keep);
                    if (exactLanes == 0) continue;
                    for (int lane = 0; lane < W; ++lane)
                        if (exactLanes & (1 << lane))
                            exactPixel(row[at + lane], arcs, N, static_cast<float>(at + lane) - x,
                                       dy, ri, ro);
                }
                return from;
            };
            if (holeEnd > holeStart) {
                const std::int32_t afterLeft = run(i0, holeStart);
                run(largerOf(afterLeft, holeEnd), i1);
            } else {
                run(i0, i1);
            }
        }
    }

    // A pixel of a view narrower than a vector: the ring test and the exact angle.
    static void exactPixelIfRing(RGBA& pixel, const PreparedArc* arcs, int count, float dx,
                                 float dy, float dy2, float ri, float ro, float riSq, float roSq) {
        const float d2 = dx * dx + dy2;
        if (d2 < riSq || d2 >= roSq || d2 == 0.0f) return;
        const float d = simd::sqrtf(d2);
        if (d < ri || d >= ro) return;
        exactPixel(pixel, arcs, count, dx, dy, ri, ro);
    }

    static void run(const RingJob& job) {
        if (job.arcCount == 2)
            draw<2>(job);
        else
            draw<1>(job);
    }
};

// The disc's weight at one pixel: 1 - (d2 - r1^2) / (r2^2 - r1^2) scaled to Max and
// by the strength, full inside the full radius, nothing from the outer one on.
template <std::uint32_t Max>
std::uint32_t weightOf(float v) {
    if (!(v > 0.0f)) return 0;
    constexpr float m = static_cast<float>(Max);
    return v >= m ? Max : static_cast<std::uint32_t>(v);
}
template <std::uint32_t Max>
std::uint32_t discWeight(float d2, float r1sq, float r2sq, float strength) {
    constexpr float scale = static_cast<float>(Max);
    if (d2 < r1sq) return weightOf<Max>(1.0f * scale * strength + 0.5f);
    if (!(d2 < r2sq)) return 0;
    const float s = 1.0f - (d2 - r1sq) / (r2sq - r1sq);
    return s <= 0.0f ? 0u : weightOf<Max>(s * scale * strength + 0.5f);
}

inline void blendDepthPixel(L16& d, std::uint16_t value, std::uint32_t w) {
    d = L16(static_cast<std::uint16_t>((w * value + (65535u - w) * d.l) / 65535u));
}

// The weights of a vector of pixels at fade fraction s, scaled to Max, with the
// float operations of the one-pixel rule in its order. The fade also gives the
// right weight beyond its ring: above 1 inside the full radius (full weight) and at
// most 0 outside the disc (none).
template <class T, std::uint32_t Max>
typename T::VI fadeWeights(typename T::VF s) {
    using VF = typename T::VF;
    using VI = typename T::VI;
    const VF scale = T::splatF(static_cast<float>(Max));
    const VF v = s * scale + T::splatF(0.5f);
    const VI full = v >= scale;
    // No strength left (s <= 0) or a weight that truncates to nothing: untouched.
    const VI drawn = ~(s <= T::splatF(0.0f)) & (v > T::splatF(0.0f));
    return ((full & T::splatI(static_cast<std::int32_t>(Max))) | (~full & T::truncate(v))) & drawn;
}

// What a disc paints into one map: colour pixels weighted to 255, or depths
// weighted to 65535. A disc may paint both at once when they share their radii.
template <class T>
struct ColourPlane {
    explicit ColourPlane(const DiscPlane& plane)
        : pixels(plane.pixels), pitch(plane.pitch), lanes(T::colour(plane.color)),
          value(plane.color) {}
    void select(std::int32_t j) {
        row = reinterpret_cast<RGBA*>(pixels + static_cast<std::ptrdiff_t>(j) * pitch);
    }
    void blend(std::int32_t i, typename T::VF s, typename T::VI keep) const {
        ColourLanes<T>::blend(row + i, fadeWeights<T, 255u>(s) & keep, lanes);
    }
    void blendOne(std::int32_t i, float d2, float r1sq, float r2sq) const {
        blendPixel(row[i], value, discWeight<255u>(d2, r1sq, r2sq, 1.0f));
    }
    void fill(std::int32_t i, std::int32_t n) const {
        for (std::int32_t k = 0; k < n; ++k) row[i + k] = value;
    }
    std::byte* pixels;
    std::ptrdiff_t pitch;
    typename T::VU lanes;
    RGBA value;
    RGBA* row = nullptr;
};

template <class T>
struct DepthPlane {
    explicit DepthPlane(const DiscPlane& plane)
        : pixels(plane.pixels), pitch(plane.pitch), value(plane.depth) {}
    void select(std::int32_t j) {
        row = reinterpret_cast<L16*>(pixels + static_cast<std::ptrdiff_t>(j) * pitch);
    }
    void blend(std::int32_t i, typename T::VF s, typename T::VI keep) const {
        T::blendDepth(row + i, fadeWeights<T, 65535u>(s) & keep, value);
    }
    void blendOne(std::int32_t i, float d2, float r1sq, float r2sq) const {
        blendDepthPixel(row[i], value, discWeight<65535u>(d2, r1sq, r2sq, 1.0f));
    }
    void fill(std::int32_t i, std::int32_t n) const {
        for (std::int32_t k = 0; k < n; ++k) row[i + k] = L16(value);
    }
    std::byte* pixels;
    std::ptrdiff_t pitch;
    std::uint16_t value;
    L16* row = nullptr;
};

// A depth disc and a colour disc of the same radii, each pixel's fade found once.
template <class T>
struct DepthAndColourPlanes {
    DepthAndColourPlanes(const DiscPlane& d, const DiscPlane& c) : depth(d), colour(c) {}
    void select(std::int32_t j) {
        depth.select(j);
        colour.select(j);
    }
    void blend(std::int32_t i, typename T::VF s, typename T::VI keep) const {
        depth.blend(i, s, keep);
        colour.blend(i, s, keep);
    }
    void blendOne(std::int32_t i, float d2, float r1sq, float r2sq) const {
        depth.blendOne(i, d2, r1sq, r2sq);
        colour.blendOne(i, d2, r1sq, r2sq);
    }
    void fill(std::int32_t i, std::int32_t n) const {
        depth.fill(i, n);
        colour.fill(i, n);
    }
    DepthPlane<T> depth;
    ColourPlane<T> colour;
};

// A soft disc at full strength, row by row over the columns whose distance can fall
// inside the outer radius (a square root's span widened by the span margin, every
// pixel in it still weighted), a vector at a time. The columns the margin clear
// inside the full radius are filled instead. The result is that of weighting every
// pixel of the disc's square one by one.
template <class T, class Target>
struct DiscKernel {
    using VF = typename T::VF;
    using VI = typename T::VI;
    static constexpr int W = T::lanes;

    static void draw(const DiscJob& job, Target target) {
        const float x = job.x, y = job.y;
        const float r1sq = job.fullRadius * job.fullRadius;
        const float r2sq = job.outerRadius * job.outerRadius;
        const std::int32_t x0 = largerOf(toPixel(x - job.outerRadius - 1.0f), job.minX);
        const std::int32_t y0 = largerOf(toPixel(y - job.outerRadius - 1.0f), job.minY);
        const std::int32_t x1 = smallerOf(toPixel(x + job.outerRadius + 1.0f), job.maxX);
        const std::int32_t y1 = smallerOf(toPixel(y + job.outerRadius + 1.0f), job.maxY);
        if (x0 >= x1) return;
        const VF vx = T::splatF(x), vr1 = T::splatF(r1sq), vspan = T::splatF(r2sq - r1sq);
        const VI all = T::splatI(-1);
        const float margin = spanMargin(job.outerRadius);
        for (std::int32_t j = y0; j < y1; ++j) {
            const float dy = y - static_cast<float>(j);
            const float dy2 = dy * dy;
            if (!(dy2 < r2sq)) continue;
            const float outerHalf = simd::sqrtf(r2sq - dy2) + margin;
            const std::int32_t i0 = largerOf(x0, toPixel(x - outerHalf));
            const std::int32_t i1 = smallerOf(x1, toPixel(x + outerHalf) + 1);
            target.select(j);
            std::int32_t f0 = i1, f1 = i1;
            if (dy2 < r1sq) {
                const float fullHalf = simd::sqrtf(r1sq - dy2) - margin;
                if (fullHalf > 0.0f) {
                    f0 = smallerOf(largerOf(toPixel(simd::ceilf(x - fullHalf)), i0), i1);
                    f1 = smallerOf(largerOf(toPixel(simd::floorf(x + fullHalf)) + 1, f0), i1);
                }
                // A fill narrower than a vector would only split the fade in two; the
                // fade gives the full columns their full weight as well.
                if (f1 - f0 < W) f0 = f1 = i1;
            }
            const VF vdy2 = T::splatF(dy2);
            // 1 - (d2 - r1^2) / (r2^2 - r1^2) for the pixels from column i.
            const auto fade = [&](std::int32_t i) {
                const VF dx = vx - (T::iotaF() + T::splatF(static_cast<float>(i)));
                return T::splatF(1.0f) - ((dx * dx + vdy2) - vr1) / vspan;
            };
            // Vectors from `from` until `until` is passed. One may run on into the full
            // columns (full weight) or past the disc (no weight, values kept), but never
            // past what may be drawn.
            const auto run = [&](std::int32_t from, std::int32_t until) {
                for (; from < until; from += W) {
                    if (from + W > job.maxX) {
                        // The last drawable pixels, those before `from` (done already)
                        // with no weight.
                        if (job.maxX - job.minX < W) {
                            for (; from < until; ++from) {
                                const float dx = x - static_cast<float>(from);
                                target.blendOne(from, dx * dx + dy2, r1sq, r2sq);
                            }
                            return from;
                        }
                        const std::int32_t last = job.maxX - W;
                        target.blend(last, fade(last),
                                     (T::iotaI() + T::splatI(last)) > T::splatI(from - 1));
                        return job.maxX;
                    }
                    target.blend(from, fade(from), all);
                }
                return from;
            };
            const std::int32_t afterLeft = run(i0, f0);
            if (afterLeft < f1) target.fill(afterLeft, f1 - afterLeft);
            run(largerOf(afterLeft, f1), i1);
        }
    }
};

// The disc kernels of one instruction set: a colour disc, a depth disc, or both.
template <class T>
void drawDiscWith(const DiscJob& job) {
    if (job.depth.pixels != nullptr && job.colour.pixels != nullptr)
        DiscKernel<T, DepthAndColourPlanes<T>>::draw(
            job, DepthAndColourPlanes<T>(job.depth, job.colour));
    else if (job.depth.pixels != nullptr)
        DiscKernel<T, DepthPlane<T>>::draw(job, DepthPlane<T>(job.depth));
    else if (job.colour.pixels != nullptr)
        DiscKernel<T, ColourPlane<T>>::draw(job, ColourPlane<T>(job.colour));
}

} // namespace
} // namespace corvid::shapes_detail
