#include "corvid/core/cpu.h"

#if defined(__x86_64__) || defined(_M_X64)
#include <cpuid.h>
#endif

namespace corvid {

namespace {

CpuFeatures probe() {
    CpuFeatures f;
#if defined(__x86_64__) || defined(_M_X64)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return f;
    f.sse41 = (c & (1u << 19)) != 0;
    const bool osxsave = (c & (1u << 27)) != 0;
    const bool avx = (c & (1u << 28)) != 0;
    unsigned xcr0 = 0;
    if (osxsave) {
        unsigned lo = 0, hi = 0;
        __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
        xcr0 = lo;
    }
    const bool ymmState = (xcr0 & 0x6) == 0x6;
    const bool zmmState = (xcr0 & 0xE6) == 0xE6;
    if (__get_cpuid_max(0, nullptr) >= 7) {
        __cpuid_count(7, 0, a, b, c, d);
        f.avx2 = avx && ymmState && (b & (1u << 5)) != 0;
        const bool avx512f = (b & (1u << 16)) != 0;
        const bool avx512dq = (b & (1u << 17)) != 0;
        const bool avx512bw = (b & (1u << 30)) != 0;
        const bool avx512vl = (b & (1u << 31)) != 0;
        f.avx512 = f.avx2 && zmmState && avx512f && avx512dq && avx512bw && avx512vl;
    }
#endif
    return f;
}

} // namespace

const CpuFeatures& cpuFeatures() {
    static const CpuFeatures features = probe();
    return features;
}

} // namespace corvid
