// Baseline kernel: four lanes of SSE2, which every x86-64 processor has.
#include "corvid/core/compiler.h"
#include "corvid/gui/compositor_kernel.h"

#include <cstdint>
#include <cstring>

#include <emmintrin.h>

#include "corvid/gui/compositor_simd.h"

namespace corvid::compositor_detail {
namespace {

struct Sse2 {
    static constexpr int lanes = 4;
    typedef CORVID_VECTOR(float, 16) VF;
    typedef CORVID_VECTOR(int32_t, 16) VI;

    static VF sqrt(VF v) { return (VF)_mm_sqrt_ps((__m128)v); }
    static VF gatherF(const float* table, VI index) {
        return VF{table[index[0]], table[index[1]], table[index[2]], table[index[3]]};
    }
    static VI gather32(const void* base, VI offsets) {
        int32_t v[4];
        for (int i = 0; i < 4; ++i)
            std::memcpy(&v[i], static_cast<const std::byte*>(base) + offsets[i], 4);
        return VI{v[0], v[1], v[2], v[3]};
    }
    static VI gather32(const void* base, VI offsets, VI lanes) {
        int32_t v[4] = {0, 0, 0, 0};
        for (int i = 0; i < 4; ++i)
            if (lanes[i]) std::memcpy(&v[i], static_cast<const std::byte*>(base) + offsets[i], 4);
        return VI{v[0], v[1], v[2], v[3]};
    }
    static VF min(VF a, VF b) { return (VF)_mm_min_ps((__m128)a, (__m128)b); }
    static VF max(VF a, VF b) { return (VF)_mm_max_ps((__m128)a, (__m128)b); }
    static void gatherPair(const void* base, VI offsets, VI lanes, VI& first, VI& second) {
        int32_t a[4] = {0, 0, 0, 0};
        int32_t b[4] = {0, 0, 0, 0};
        for (int i = 0; i < 4; ++i) {
            if (!lanes[i]) continue;
            const std::byte* p = static_cast<const std::byte*>(base) + offsets[i];
            std::memcpy(&a[i], p, 4);
            std::memcpy(&b[i], p + 4, 4);
        }
        first = VI{a[0], a[1], a[2], a[3]};
        second = VI{b[0], b[1], b[2], b[3]};
    }
    // Lane i of the result is lane index[i] of v (indices 0..3). SSE2 has no
    // variable lane permutation, so it goes through memory.
    static VI permute(VI v, VI index) {
        int32_t lanes[4];
        std::memcpy(lanes, &v, sizeof lanes);
        return VI{lanes[index[0]], lanes[index[1]], lanes[index[2]], lanes[index[3]]};
    }
    static bool any(VI mask) { return _mm_movemask_ps((__m128)mask) != 0; }
};

} // namespace

void lightBlockSse2(const KernelInput& input, KernelScratch& scratch, int32_t minX, int32_t minY,
                    int32_t maxX, int32_t maxY) {
    Kernel<Sse2>::run(input, scratch, minX, minY, maxX, maxY);
}

} // namespace corvid::compositor_detail
