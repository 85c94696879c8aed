#pragma once
// The layer blend's row kernels, written once over the lanes of corvid/simd: one
// pixel (or depth) per 32-bit lane. Internal linkage only, like the compositor's
// kernel, so the copies built for different instruction sets never meet.
//
// Colour: (s o + d (255 - o) + 127) / 255 per byte. The sum stays at most 65152,
// below 65281, where (n + (n >> 8) + 1) >> 8 is n / 255 exactly; o = 0 gives d and
// o = 255 gives s, so those vectors are skipped or copied.
// Depth: (u s + (65535 - u) d + 32768) >> 16 with u = 257 o, at most
// 65535^2 + 32768, which fits 32 unsigned bits. o = 0 would lower a deep pixel, so
// those lanes keep d.

#include "corvid/core/compiler.h"
#include "corvid/gui/layerblend_kernel.h"

#include <cstdint>
#include <cstring>

namespace corvid::layerblend_detail {
namespace {

template <class T>
struct LayerBlend {
    using VI = typename T::VI;
    typedef CORVID_VECTOR(std::uint32_t, sizeof(VI)) VU;
    static constexpr int N = T::lanes;

    static std::uint8_t blendByte(unsigned s, unsigned d, unsigned o) {
        return static_cast<std::uint8_t>((s * o + d * (255u - o) + 127u) / 255u);
    }
    static std::uint16_t blendDepth(std::uint32_t s, std::uint32_t d, std::uint32_t o) {
        const std::uint32_t u = o * 257u;
        return static_cast<std::uint16_t>((u * s + (65535u - u) * d + 32768u) >> 16);
    }

    static VU channelBlend(VU s, VU d, VI o, VI inv, int shift) {
        const VI sc = (VI)((s >> shift) & 255u);
        const VI dc = (VI)((d >> shift) & 255u);
        const VU n = (VU)(T::mulSmall(sc, o) + T::mulSmall(dc, inv)) + 127u;
        return ((n + (n >> 8) + 1u) >> 8) << shift;
    }

    static void colour(std::uint8_t* dst, const std::uint8_t* src, const std::uint8_t* opacity,
                       std::int32_t count) {
        std::int32_t i = 0;
        for (; i + N <= count; i += N) {
            const VI o = T::loadU8(opacity + i);
            if (T::none(o)) continue;
            if (T::none(o != 255)) {
                std::memcpy(dst + 4 * i, src + 4 * i, 4 * N);
                continue;
            }
            const VU s = (VU)T::load(src + 4 * i);
            const VU d = (VU)T::load(dst + 4 * i);
            const VI inv = 255 - o;
            const VU out = channelBlend(s, d, o, inv, 0) | channelBlend(s, d, o, inv, 8) |
                           channelBlend(s, d, o, inv, 16) | channelBlend(s, d, o, inv, 24);
            T::store(dst + 4 * i, (VI)out);
        }
        for (; i < count; ++i) {
            const unsigned o = opacity[i];
            if (o == 0) continue;
            for (int c = 0; c < 4; ++c)
                dst[4 * i + c] = blendByte(src[4 * i + c], dst[4 * i + c], o);
        }
    }

    static void depth(std::uint16_t* dst, const std::uint16_t* src, const std::uint8_t* opacity,
                      std::int32_t count) {
        std::int32_t i = 0;
        for (; i + N <= count; i += N) {
            const VI o = T::loadU8(opacity + i);
            if (T::none(o)) continue;
            const VI u = o + (o << 8);
            const VI s = T::loadU16(src + i);
            const VI d = T::loadU16(dst + i);
            const VU n = (VU)T::mulWide(u, s) + (VU)T::mulWide(65535 - u, d) + 32768u;
            const VI blended = (VI)(n >> 16);
            T::storeU16(dst + i, o == 0 ? d : blended);
        }
        for (; i < count; ++i)
            if (opacity[i] != 0) dst[i] = blendDepth(src[i], dst[i], opacity[i]);
    }
};

} // namespace
} // namespace corvid::layerblend_detail
