#pragma once
// The image knob's body written once over the lanes of corvid/simd, one pixel per
// lane. Each
// lane samples the four layers of the turned picture bilinearly with the float
// operations of the one-pixel rule (the picture's own sampler at level 0, whose
// clamps come in the same order), so every pixel comes out as that rule gives it.
// Internal linkage only; no inline function of external linkage is called.

#include "corvid/simd/scalar.h"
#include "vireo/gui/imageknob_kernel.h"

#include <cstdint>

namespace vireo::imageknob_detail {
namespace {

template <class T>
struct BodyKernel {
    using VF = typename T::VF;
    using VI = typename T::VI;
    typedef CORVID_VECTOR(std::uint32_t, sizeof(VI)) VN;
    static constexpr int W = T::lanes;

    static VF select(VI mask, VF yes, VF no) { return (VF)((mask & (VI)yes) | (~mask & (VI)no)); }
    static VI selectI(VI mask, VI yes, VI no) { return (mask & yes) | (~mask & no); }
    // std::min and std::max as the sampler calls them: (b < a ? b : a), (a < b ? b : a).
    static VF smaller(VF a, VF b) { return select(b < a, b, a); }
    static VF larger(VF a, VF b) { return select(a < b, b, a); }

    // Where one layer is read: the corner texels' byte offsets and the fractions.
    struct Taps {
        VI o00, o10, o01, o11;
        VF fu, fv;
    };
    struct Columns {
        VI offset, nextOffset;
        VF fu;
    };

    // The sampler's column clamp keeps u at most width - 1.001, so for a picture at
    // least two pixels wide the right neighbour is always the next column (and
    // for one pixel wide, the same one); likewise every row has one below it, the
    // picture being at least four rows high.
    static Columns columnsOf(VF x, float widthLimit, std::int32_t width) {
        VF u = larger(smaller(x * T::splatF(1.0f) - T::splatF(0.5f), T::splatF(widthLimit)),
                      T::splatF(0.0f));
        u = select(u == u, u, T::splatF(0.0f));
        const VI i = T::truncate(u);
        const VI offset = i * T::splatI(4);
        return {offset, offset + T::splatI(width > 1 ? 4 : 0), u - T::toFloat(i)};
    }

    static Taps tapsOf(const Columns& col, VF y, float heightLimit, std::int32_t pitch) {
        VF v = larger(smaller(y * T::splatF(1.0f) - T::splatF(0.5f), T::splatF(heightLimit)),
                      T::splatF(0.0f));
        v = select(v == v, v, T::splatF(0.0f));
        const VI j = T::truncate(v);
        const VI r0 = T::mulWide(j, T::splatI(pitch));
        const VI r1 = r0 + T::splatI(pitch);
        return {r0 + col.offset, r0 + col.nextOffset, r1 + col.offset, r1 + col.nextOffset,
                col.fu,          v - T::toFloat(j)};
    }

    static VF channel(VI texel, int shift) { return T::toFloat((VI)(((VN)texel >> shift) & 255u)); }
    // (1 - fv)((1 - fu) p00 + fu p10) + fv((1 - fu) p01 + fu p11) of one channel.
    static VF lerp(const VI (&t)[4], int shift, VF fu, VF fv) {
        const VF one = T::splatF(1.0f);
        return (one - fv) * ((one - fu) * channel(t[0], shift) + fu * channel(t[1], shift)) +
               fv * ((one - fu) * channel(t[2], shift) + fu * channel(t[3], shift));
    }
    static void texels(const std::uint8_t* picture, const Taps& taps, VI (&t)[4]) {
        t[0] = T::gather(picture, taps.o00);
        t[1] = T::gather(picture, taps.o10);
        t[2] = T::gather(picture, taps.o01);
        t[3] = T::gather(picture, taps.o11);
    }
    // trunc(clamp(v + 0.5, 0, 255)).
    static VI toByte(VF v) {
        VF t = v + T::splatF(0.5f);
        t = select(t < T::splatF(0.0f), T::splatF(0.0f),
                   select(T::splatF(255.0f) < t, T::splatF(255.0f), t));
        return T::truncate(t);
    }
    // (src k + dst (255 - k)) / 255 for each channel of packed RGBA lanes, red and
    // blue in the 16-bit halves of one vector, green and alpha in another. The sums
    // stay at most 65025, where (n + (n >> 8) + 1) >> 8 is n / 255 exactly.
    static VI mixColour(const VI (&src)[4], VI dst, VI k) {
        using VU = typename T::VU;
        const VI low = T::splatI(0x00FF00FF);
        const VU kk = (VU)(k | (k << 16));
        const VU inv = T::splatU(255) - kk;
        const auto half = [&](VI s, VI d) {
            const VU n = (VU)s * kk + (VU)d * inv;
            return (VI)((n + (n >> 8) + T::splatU(1)) >> 8);
        };
        const VI rb = half(src[0] | (src[2] << 16), dst & low);
        const VI ga = half(src[1] | (src[3] << 16), (VI)((VN)dst >> 8) & low);
        return rb | (ga << 8);
    }

    static VI packColour(const VI (&src)[4]) {
        return src[0] | (src[1] << 8) | (src[2] << 16) | (src[3] << 24);
    }

    // The pixels of one row from column `col` on, read from and written to the
    // given lanes of the three maps.
    static void pixels(const BodyJob& job, float cdy, float sdy, std::int32_t col,
                       std::uint8_t* dif, std::uint8_t* dep, std::uint8_t* mat) {
        const float w = static_cast<float>(job.width);
        const float half = w / 2.0f;
        const VF dx = T::toFloat(T::iotaI() + T::splatI(col - job.originX)) - T::splatF(job.cx);
        const VF x = (T::splatF(cdy) - T::splatF(job.s) * dx) + T::splatF(half);
        VF y = (T::splatF(job.c) * dx + T::splatF(sdy)) + T::splatF(half);
        y = select(y < T::splatF(0.5f), T::splatF(0.5f),
                   select(T::splatF(w - 0.5f) < y, T::splatF(w - 0.5f), y));
        const std::int32_t pitch = static_cast<std::int32_t>(job.picturePitch);
        const float widthLimit = w - 1.001f;
        const float heightLimit = static_cast<float>(job.height) - 1.001f;
        const Columns cols = columnsOf(x, widthLimit, job.width);
        VI t[4];
        const Taps maskTaps = tapsOf(cols, y, heightLimit, pitch);
        texels(job.picture, maskTaps, t);
        const VI k = toByte(lerp(t, 0, maskTaps.fu, maskTaps.fv));
        // Most vectors off the picture's disc, or wholly on it, leave early or not at all.
        if (T::none(k)) return;
        VI colour[4], material[4];
        const Taps colourTaps = tapsOf(cols, y + T::splatF(w), heightLimit, pitch);
        texels(job.picture, colourTaps, t);
        for (int ch = 0; ch < 4; ++ch)
            colour[ch] = toByte(lerp(t, 8 * ch, colourTaps.fu, colourTaps.fv));
        const Taps heightTaps = tapsOf(cols, y + T::splatF(2.0f * w), heightLimit, pitch);
        texels(job.picture, heightTaps, t);
        const VF grey =
            (lerp(t, 0, heightTaps.fu, heightTaps.fv) + lerp(t, 8, heightTaps.fu, heightTaps.fv) +
             lerp(t, 16, heightTaps.fu, heightTaps.fv)) *
                T::splatF(257.0f) / T::splatF(3.0f) +
            T::splatF(0.5f);
        const Taps materialTaps = tapsOf(cols, y + T::splatF(3.0f * w), heightLimit, pitch);
        texels(job.picture, materialTaps, t);
        for (int ch = 0; ch < 4; ++ch)
            material[ch] = toByte(lerp(t, 8 * ch, materialTaps.fu, materialTaps.fv));

        // Inside the picture's disc every lane is opaque, and the mix gives the layer
        // itself: (src 255 + dst 0) / 255 = src.
        if (T::none(k ^ T::splatI(255))) {
            T::store(dif, packColour(colour));
            T::store(mat, packColour(material));
        } else {
            T::store(dif, mixColour(colour, T::load(dif), k));
            T::store(mat, mixColour(material, T::load(mat), k));
        }
        // trunc(clamp(grey, 0, 65535)), then (value u + (65535 - u) d + 32768) >> 16 with
        // u = 257 k; at most 65535^2 + 32768, which fits 32 unsigned bits.
        const VF g = select(grey < T::splatF(0.0f), T::splatF(0.0f),
                            select(T::splatF(65535.0f) < grey, T::splatF(65535.0f), grey));
        const VI value = T::truncate(g);
        const VI u = T::mulSmall(k, T::splatI(257));
        const VI d = T::loadU16(dep);
        const VN n = (VN)T::mulWide(value, u) + (VN)T::mulWide(T::splatI(65535) - u, d) + 32768u;
        // A pixel the picture does not cover keeps its depth.
        T::storeU16(dep, selectI(k == T::splatI(0), d, (VI)(n >> 16)));
    }

    static void draw(const BodyJob& job) {
        for (std::int32_t row = job.minY; row < job.maxY; ++row) {
            const float dy = static_cast<float>(row - job.originY) - job.cy;
            const float cdy = job.c * dy, sdy = job.s * dy;
            std::uint8_t* dif = job.diffuse + row * job.diffusePitch;
            std::uint8_t* dep = job.depth + row * job.depthPitch;
            std::uint8_t* mat = job.material + row * job.materialPitch;
            std::int32_t col = job.minX;
            for (; col + W <= job.maxX; col += W)
                pixels(job, cdy, sdy, col, dif + 4 * col, dep + 2 * col, mat + 4 * col);
            if (col == job.maxX) continue;
            // The last few pixels go through lanes of their own, and only those come
            // back: nothing beside the part being drawn is read or written.
            const std::int32_t n = job.maxX - col;
            std::uint8_t d[4 * W] = {}, z[2 * W] = {}, m[4 * W] = {};
            corvid::simd::copyBytes(d, dif + 4 * col, static_cast<std::size_t>(4 * n));
            corvid::simd::copyBytes(z, dep + 2 * col, static_cast<std::size_t>(2 * n));
            corvid::simd::copyBytes(m, mat + 4 * col, static_cast<std::size_t>(4 * n));
            pixels(job, cdy, sdy, col, d, z, m);
            corvid::simd::copyBytes(dif + 4 * col, d, static_cast<std::size_t>(4 * n));
            corvid::simd::copyBytes(dep + 2 * col, z, static_cast<std::size_t>(2 * n));
            corvid::simd::copyBytes(mat + 4 * col, m, static_cast<std::size_t>(4 * n));
        }
    }
};

} // namespace
} // namespace vireo::imageknob_detail
