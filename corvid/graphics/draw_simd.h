#pragma once
// The blended fill's row kernel, written once over the lanes of corvid/simd: one
// pixel per 32-bit lane. Internal linkage only, so the copies built for different
// instruction sets never meet.
//
// Every channel's sum stays below 65536, where (s x 0x8081) >> 23 is exactly s / 255.

#include "corvid/core/compiler.h"
#include "corvid/graphics/draw_kernel.h"

#include <cstdint>

namespace corvid::draw_detail {
namespace {

template <class T>
struct BlendFill {
    using VI = typename T::VI;
    typedef CORVID_VECTOR(std::uint32_t, sizeof(VI)) VU;
    static constexpr int N = T::lanes;

    static std::uint32_t div255(std::uint32_t x) { return (x * 0x8081u) >> 23; }

    static VU channel(VU d, std::uint32_t premultiplied, VI inverse, int shift) {
        const VI dc = (VI)((d >> shift) & 255u);
        const VI sum = T::mulSmall(dc, inverse) + static_cast<std::int32_t>(premultiplied);
        return ((VU)T::mulWide(sum, T::splatI(0x8081)) >> 23) << shift;
    }

    static void row(std::uint8_t* pixels, std::int32_t count, const std::uint32_t* premultiplied,
                    std::uint32_t inverse) {
        const VI inv = T::splatI(static_cast<std::int32_t>(inverse));
        std::int32_t x = 0;
        for (; x + N <= count; x += N) {
            const VU d = (VU)T::load(pixels + 4 * x);
            const VU out =
                channel(d, premultiplied[0], inv, 0) | channel(d, premultiplied[1], inv, 8) |
                channel(d, premultiplied[2], inv, 16) | channel(d, premultiplied[3], inv, 24);
            T::store(pixels + 4 * x, (VI)out);
        }
        for (; x < count; ++x)
            for (int c = 0; c < 4; ++c) {
                std::uint8_t& p = pixels[4 * x + c];
                p = static_cast<std::uint8_t>(div255(premultiplied[c] + p * inverse));
            }
    }
};

} // namespace
} // namespace corvid::draw_detail
